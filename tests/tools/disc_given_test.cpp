// extract reads exactly the discs the user named; a missing one is asked
// for, and a relative path typed then is taken from where the user started.
#include "disc_extract.h"
#include "disc_fixture.h"
#include "disc_tree.h"
#include "platform.h"

#include <csignal>

namespace {

// One file per disc, \1.bin, \2.bin, ...; `salt` changes the bytes, not the
// lengths, as another pressing would.
std::vector<std::string> pressing(int discs, unsigned salt)
{
    fixture::DiscSet set;
    for (int i = 0; i < discs; ++i)
        set.add_file(i, "\\" + std::to_string(i + 1) + ".bin", random_bytes(2000, salt * 10 + (unsigned)i));
    return set.files();
}

struct GivenDiscs : ::testing::Test {
    TempDir tmp;
    fs::path dest = tmp.host / "out";
    std::string error;
    // Disc file n of `files` as `folder`/cdn below the test folder.
    std::string put(const std::vector<std::string>& files, int n, const std::string& folder)
    {
        fs::path p = tmp.host / folder / ("cd" + std::to_string(n));
        put_host_bytes(p, files[(size_t)n - 1]);
        return utf8_of(p);
    }
};

}  // namespace

TEST_F(GivenDiscs, OnlyTheNamedDiscsAreRead)
{
    std::vector<std::string> mine = pressing(3, 1), other = pressing(3, 2);
    std::string cd1 = put(mine, 1, "a"), cd2 = put(mine, 2, "b");
    put(other, 2, "a");  // beside the named cd1: another pressing's cd2
    put(mine, 3, "a");   // and a cd3 that was not named
    EXPECT_FALSE(disc_extract({cd1, cd2}, dest, ExtractOptions(), &error));
    EXPECT_NE(error.find("disc 3 (cd3) is in none of the given discs"), std::string::npos) << error;
    EXPECT_TRUE(!fs::exists(dest) || fs::is_empty(dest));
    // Disc 3 named: the named cd2 is the one read, not the one beside cd1.
    ASSERT_TRUE(disc_extract({cd1, cd2, put(mine, 3, "c")}, dest, ExtractOptions(), &error)) << error;
    EXPECT_EQ(host_bytes(dest / "2.bin"), random_bytes(2000, 11));
    // A disc past the header's count is of another set.
    fs::remove_all(dest);
    std::vector<std::string> four = pressing(4, 3);
    EXPECT_FALSE(disc_extract({cd1, cd2, put(mine, 3, "c"), put(four, 4, "d")}, dest, ExtractOptions(), &error));
    EXPECT_NE(error.find("disc 4 (" + utf8_of(tmp.host / "d" / "cd4") + ") is not part of the set"), std::string::npos)
        << error;
}

TEST_F(GivenDiscs, RelativePathTypedAtThePromptIsTakenFromTheStartingFolder)
{
    std::vector<std::string> set = pressing(3, 1);
    std::string cd1 = put(set, 1, "set");
    put(set, 2, "set/d2");
    put(set, 3, "d3");
    put_host_bytes(tmp.host / "answers.txt", "set/d2\nd3/cd3\n");
    std::error_code ec;
    fs::path saved = fs::current_path(ec);
    fs::current_path(tmp.host, ec);
    bool ok;
    {
        TerminalPrompts terminal(tmp.host / "answers.txt");
        ok = disc_extract({cd1}, dest, terminal.options, &error);
        EXPECT_EQ(terminal.said_text().find("holds no"), std::string::npos) << terminal.said_text();
    }
    fs::current_path(saved, ec);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(host_bytes(dest / "3.bin"), random_bytes(2000, 12));
}

namespace {
FILE* decline_open(const char*, const char*)
{
    return nullptr;
}
void ignore_interrupt(int) {}
}  // namespace

// Two extractions in one process, one that fails on damage and one with a
// selection: each tells its messages in its result, not to the process's
// handler, and leaves the current folder, the file-open, message-box and
// Ctrl-C handlers as they were.
TEST_F(GivenDiscs, ExtractionLeavesTheProcessAsItFoundIt)
{
    std::vector<std::string> set = pressing(2, 1);
    std::string cd1 = put(set, 1, "a");
    std::string cd2 = put(set, 2, "b");
    std::string cut = put(std::vector<std::string>{set[0], set[1].substr(0, set[1].size() - 3)}, 2, "cut");
    BoxRecorder boxes;
    std::error_code ec;
    fs::path saved = fs::current_path(ec);
    fs::current_path(tmp.host / "b", ec);
    FileOpenHandler open_before = plat_set_file_open_handler(decline_open);
    void (*interrupt_before)(int) = std::signal(SIGINT, ignore_interrupt);
    auto expect_as_before = [&] {
        EXPECT_EQ(fs::current_path(ec), tmp.host / "b");
        EXPECT_EQ(plat_set_file_open_handler(decline_open), decline_open);
        EXPECT_EQ(std::signal(SIGINT, ignore_interrupt), ignore_interrupt);
        EXPECT_TRUE(BoxRecorder::shown.empty());
    };

    EXPECT_FALSE(disc_extract({cd1, cut}, dest, ExtractOptions(), &error));
    EXPECT_NE(error.find("安裝資料損毀"), std::string::npos) << error;
    expect_as_before();
    PathSelection only_second;
    ASSERT_EQ(only_second.add("2.bin", &error), 1) << error;
    ExtractOptions options;
    options.selection = &only_second;
    ASSERT_TRUE(disc_extract({cd1, cd2}, dest, options, &error)) << error;
    EXPECT_FALSE(fs::exists(dest / "1.bin"));
    EXPECT_EQ(host_bytes(dest / "2.bin"), random_bytes(2000, 11));
    expect_as_before();

    std::signal(SIGINT, interrupt_before == SIG_ERR ? SIG_DFL : interrupt_before);
    plat_set_file_open_handler(open_before);
    fs::current_path(saved, ec);
}
