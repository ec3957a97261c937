// Tracked memory: the counters in this process, and the boxes that a child
// process shows at its end.
#include "test_support.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

struct ChildRun {
    int status;
    std::string boxes;  // "caption|text" lines, in the order shown
    std::string out;    // what the child printed
};

ChildRun run_child(const std::string& mode, const std::string& folder_win = ".")
{
    TempDir dir;
    std::string box_file = (dir.host / "boxes.txt").string();
    std::string out_file = (dir.host / "out.txt").string();
#ifdef _WIN32
    std::string cmd = std::string(".\\") + EXIT_CHECK_CHILD + " \"" + box_file + "\" " + mode + " \"" + folder_win +
                      "\" > \"" + out_file + "\"";
    int status = std::system(cmd.c_str());
#else
    std::string cmd = std::string("./") + EXIT_CHECK_CHILD + " '" + box_file + "' " + mode + " '" + folder_win +
                      "' > '" + out_file + "'";
    int raw = std::system(cmd.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    ChildRun r;
    r.status = status;
    std::ifstream b(dir.host / "boxes.txt", std::ios::binary), o(dir.host / "out.txt", std::ios::binary);
    std::stringstream bs, os;
    bs << b.rdbuf();
    os << o.rdbuf();
    r.boxes = bs.str();
    r.out = os.str();
    return r;
}

const char kBothLeakBoxes[] = "Memory Error !!|alloc_sum != free_sum\nMemory Error !!|alloc_size != free_size\n";

}  // namespace

TEST(TrackedMemory, CountsEveryAllocationAndRelease)
{
    TrackedStats before = tracked_stats();
    void* a = tracked_alloc(100);
    void* b = tracked_alloc(0);  // still a real, releasable block
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(a, b);
    TrackedStats mid = tracked_stats();
    EXPECT_EQ(mid.live, before.live + 2);
    EXPECT_EQ(mid.allocations, before.allocations + 2);
    EXPECT_GE(mid.bytes_allocated - before.bytes_allocated, 101);
    tracked_free(a);
    tracked_free(b);
    TrackedStats after = tracked_stats();
    EXPECT_EQ(after.live, before.live);
    EXPECT_EQ(after.releases, before.releases + 2);
    EXPECT_EQ(after.bytes_allocated - before.bytes_allocated, after.bytes_released - before.bytes_released);
}

TEST(TrackedMemory, NullReleaseIsIgnored)
{
    TrackedStats before = tracked_stats();
    tracked_free(nullptr);
    TrackedStats after = tracked_stats();
    EXPECT_EQ(after.releases, before.releases);
    EXPECT_EQ(after.live, before.live);
}

TEST(TrackedMemoryExitCheck, QuietWhenNothingOrEverythingWasReleased)
{
    ChildRun none = run_child("nothing");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.boxes, "");
    ChildRun balanced = run_child("balanced");
    EXPECT_EQ(balanced.status, 0);
    EXPECT_EQ(balanced.boxes, "");
}

TEST(TrackedMemoryExitCheck, OneLeakedBlockShowsBothBoxesInOrder)
{
    ChildRun r = run_child("leak");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.boxes, kBothLeakBoxes);
}

TEST(TrackedMemoryExitCheck, ReleaseWhileNothingIsLiveIsReportedWithLowerCaseHex)
{
    ChildRun r = run_child("free-unknown");
    EXPECT_EQ(r.status, 0);
    // The child printed the pointer as the box must show it.
    std::string ptr = r.out.substr(0, r.out.find_first_of("\r\n"));
    ASSERT_EQ(ptr.rfind("ptr:", 0), 0u) << r.out;
    EXPECT_EQ(ptr.find_first_of("ABCDEF", 4), std::string::npos);
    // The exit check is registered by the first allocation; this process
    // made none, so the box is all it shows.
    EXPECT_EQ(r.boxes, "free unknown memory|" + ptr + "\n");
}

TEST(TrackedMemoryExitCheck, FailedAllocationShowsCountersAndEndsWithStatusOne)
{
    ChildRun r = run_child("alloc-failure");
    EXPECT_EQ(r.status, 1);
    // size is printed as a signed 32-bit number: 1 << 62 truncates to 0.
    // The 5-byte block is still live, so the exit check reports it too.
    EXPECT_EQ(r.boxes, std::string("alloc failure|size=0 an=1 as=1\n") + kBothLeakBoxes);
}
