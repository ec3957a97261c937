// Tracked memory: the counters in this process, and the boxes that a child
// process shows at its end.
#include "child_run.h"
#include "test_support.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

namespace {

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
    ChildRun none = run_exit_check_child("nothing");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.boxes, "");
    ChildRun balanced = run_exit_check_child("balanced");
    EXPECT_EQ(balanced.status, 0);
    EXPECT_EQ(balanced.boxes, "");
}

TEST(TrackedMemoryExitCheck, OneLeakedBlockShowsBothBoxesInOrder)
{
    ChildRun r = run_exit_check_child("leak");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.boxes, kBothLeakBoxes);
}

TEST(TrackedMemoryExitCheck, ReleaseWhileNothingIsLiveIsReportedWithLowerCaseHex)
{
    ChildRun r = run_exit_check_child("free-unknown");
    EXPECT_EQ(r.status, 0);
    // The child printed the pointer as the box must show it.
    std::string ptr = r.out.substr(0, r.out.find_first_of("\r\n"));
    ASSERT_EQ(ptr.rfind("ptr:", 0), 0u) << r.out;
    EXPECT_EQ(ptr.find_first_of("ABCDEF", 4), std::string::npos);
    // The heap knew the block, so it was released after the box.
    EXPECT_NE(r.out.find("releases:1 bytes:all"), std::string::npos) << r.out;
    // The exit check is registered by the first allocation; this process
    // made none, so the box is all it shows.
    EXPECT_EQ(r.boxes, "free unknown memory|" + ptr + "\n");
}

TEST(TrackedMemoryExitCheck, FailedAllocationShowsCountersAndEndsWithStatusOne)
{
    ChildRun r = run_exit_check_child("alloc-failure");
    EXPECT_EQ(r.status, 1);
    // size is printed as a signed 32-bit number: SIZE_MAX shows as -1.
    // The 5-byte block is still live, so the exit check reports it too.
    EXPECT_EQ(r.boxes, std::string("alloc failure|size=-1 an=1 as=1\n") + kBothLeakBoxes);
}
