// The platform layer as every backend must behave: directories, listing,
// attributes, the current directory, message boxes, text conversion and the
// write fault.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>

TEST(Directories, CreateListRemove)
{
    TempDir dir;
    std::string sub = dir.path("子目錄");
    EXPECT_EQ(plat_create_directory(sub.c_str()), 1);
    EXPECT_EQ(plat_create_directory(sub.c_str()), 0);  // exists already
    write_file(sub + "\\" + big5("許功蓋.txt"), "x");
    write_file(sub + "\\noext", "");
    EXPECT_EQ(plat_file_attributes(sub.c_str()) & PLAT_ATTR_DIRECTORY, (uint32_t)PLAT_ATTR_DIRECTORY);
    EXPECT_EQ(plat_file_attributes((sub + "\\noext").c_str()) & PLAT_ATTR_DIRECTORY, 0u);
    EXPECT_EQ(plat_file_attributes((sub + "\\missing").c_str()), PLAT_ATTR_INVALID);

    std::vector<std::string> names;
    DirListing l;
    DirEntry e;
    for (int ok = l.open(sub.c_str(), &e); ok; ok = l.next(&e))
        names.push_back(e.name);
    l.close();
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {".", "..", "noext", big5("許功蓋.txt")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);

    EXPECT_EQ(plat_remove_directory(sub.c_str()), 0);  // not empty
    EXPECT_EQ(plat_remove_file(sub.c_str()), 0);       // a folder is no file
    EXPECT_EQ(plat_remove_file((sub + "\\" + big5("許功蓋.txt")).c_str()), 1);
    EXPECT_EQ(plat_remove_file((sub + "\\noext").c_str()), 1);
    EXPECT_EQ(plat_remove_directory(sub.c_str()), 1);
    EXPECT_FALSE(exists(sub));
}

// The listing and plat_file_attributes report the same bits for one entry:
// remove_tree and copy_tree decide by the listing, the install and uninstall
// steps by the attributes, and both must see the same file system.
TEST(Attributes, TheListingReportsWhatFileAttributesReports)
{
    TempDir dir;
    std::string read_only = dir.path("許功蓋.ro");
    write_file(dir.path("plain.txt"), "x");
    write_file(read_only, "x");
    ASSERT_EQ(plat_set_read_only(read_only.c_str(), 1), 1);
    write_file(dir.path(".dotted"), "x");
    ASSERT_EQ(plat_create_directory(dir.path("sub").c_str()), 1);

    std::map<std::string, uint32_t> listed;
    DirListing l;
    DirEntry e;
    for (int ok = l.open(dir.win.c_str(), &e); ok; ok = l.next(&e))
        if (strcmp(e.name, ".") != 0 && strcmp(e.name, "..") != 0)
            listed[utf8(e.name)] = e.attrib;
    l.close();
    ASSERT_EQ(listed.size(), 4u);
    for (const auto& entry : listed)
        EXPECT_EQ(entry.second, plat_file_attributes(dir.path(entry.first).c_str())) << entry.first;
    EXPECT_EQ(listed["sub"] & PLAT_ATTR_DIRECTORY, (uint32_t)PLAT_ATTR_DIRECTORY);
    EXPECT_EQ(listed["plain.txt"] & (PLAT_ATTR_DIRECTORY | PLAT_ATTR_READONLY | PLAT_ATTR_REPARSE_POINT), 0u);
    EXPECT_EQ(listed["許功蓋.ro"] & (PLAT_ATTR_DIRECTORY | PLAT_ATTR_READONLY), (uint32_t)PLAT_ATTR_READONLY);
    ASSERT_EQ(plat_set_read_only(read_only.c_str(), 0), 1);
}

TEST(Files, RenameMovesAFileButNeverReplacesOne)
{
    TempDir dir;
    std::string from = dir.path("許功蓋.cfg");  // trail bytes 0x5C inside the name
    std::string to = dir.path("許功蓋.cfg.~bak1");
    std::string other = dir.path("other");
    write_file(from, "original");
    write_file(other, "someone else's");

    EXPECT_EQ(plat_rename_file(from.c_str(), other.c_str()), 0);  // target exists
    EXPECT_EQ(read_file(from), "original");
    EXPECT_EQ(read_file(other), "someone else's");

    EXPECT_EQ(plat_rename_file(from.c_str(), to.c_str()), 1);
    EXPECT_FALSE(exists(from));
    EXPECT_EQ(read_file(to), "original");
    EXPECT_EQ(plat_rename_file(from.c_str(), dir.path("x").c_str()), 0);  // source gone
    EXPECT_FALSE(exists(dir.path("x")));
    EXPECT_EQ(plat_rename_file(to.c_str(), dir.path("no-folder\\x").c_str()), 0);
    EXPECT_EQ(read_file(to), "original");

    // A read-only file moves, and stays read-only.
    ASSERT_EQ(plat_set_read_only(to.c_str(), 1), 1);
    EXPECT_EQ(plat_rename_file(to.c_str(), from.c_str()), 1);
    EXPECT_EQ(read_file(from), "original");
    EXPECT_NE(plat_file_attributes(from.c_str()) & PLAT_ATTR_READONLY, 0u);
    ASSERT_EQ(plat_set_read_only(from.c_str(), 0), 1);

    // An existing folder as the target is refused as well.
    std::string sub = dir.path("sub");
    ASSERT_EQ(plat_create_directory(sub.c_str()), 1);
    EXPECT_EQ(plat_rename_file(from.c_str(), sub.c_str()), 0);
    EXPECT_EQ(read_file(from), "original");
}

TEST(Directories, ListingAMissingFolderFails)
{
    TempDir dir;
    DirListing l;
    DirEntry e;
    EXPECT_EQ(l.open(dir.path("nothing-here").c_str(), &e), 0);
    EXPECT_EQ(l.next(&e), 0);
    l.close();
}

TEST(CurrentDirectory, SetAndGetRoundTrip)
{
    TempDir dir;
    char before[4096];
    ASSERT_EQ(plat_get_current_directory(before, sizeof before), 1);
    std::string sub = dir.path("cwd");
    ASSERT_EQ(plat_create_directory(sub.c_str()), 1);
    ASSERT_EQ(plat_set_current_directory(sub.c_str()), 1);
    char now[4096];
    ASSERT_EQ(plat_get_current_directory(now, sizeof now), 1);
    // Relative names now land in the new directory.
    write_file("rel.txt", "here");
    EXPECT_EQ(read_file(sub + "\\rel.txt"), "here");
    char tiny[4];
    EXPECT_EQ(plat_get_current_directory(tiny, sizeof tiny), 0);
    ASSERT_EQ(plat_set_current_directory(before), 1);
    EXPECT_EQ(plat_set_current_directory(dir.path("missing").c_str()), 0);
    char after[4096];
    ASSERT_EQ(plat_get_current_directory(after, sizeof after), 1);
    EXPECT_STREQ(after, before);
    // The directory read back names the same place.
    EXPECT_EQ(fs::equivalent(host_of(now), host_of(sub)), true);
}

// Plain files and folders, Big5 names with a trail byte 0x5C among them,
// are no links (a link is seen through its attribute or, on Windows, where
// opening it leads).
TEST(Links, PlainEntriesAreNoLinks)
{
    TempDir dir;
    const std::string folder = dir.path("許功蓋"), file = folder + "\\" + big5("功.txt");
    ASSERT_EQ(plat_create_directory(folder.c_str()), 1);
    write_file(file, "x");
    for (const std::string& path : {dir.win, folder, file, folder + "\\" + big5("蓋")})
        EXPECT_EQ(plat_is_link(path.c_str()), 0) << path;
}

// One holder of a lock at a time, in this process as between processes.
TEST(Lock, OneHolderAtATime)
{
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string name = "DiLockTest-" + std::to_string(stamp);
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(plat_lock(name.c_str(), &first), 1);
    EXPECT_EQ(plat_lock(name.c_str(), &second), 0);
    plat_unlock(first);
    ASSERT_EQ(plat_lock(name.c_str(), &second), 1);
    plat_unlock(second);
    EXPECT_EQ(plat_lock("no\\such", &first), 0);
}

TEST(MessageBoxes, HandlerSeesEveryBoxAndAnswers)
{
    BoxRecorder boxes;
    BoxRecorder::answers = {PLAT_IDCANCEL};
    EXPECT_EQ(plat_message_box(nullptr, big5("磁碟錯誤!").c_str(), "Error", PLAT_MB_OKCANCEL), PLAT_IDCANCEL);
    EXPECT_EQ(plat_message_box(nullptr, "second", "cap", PLAT_MB_OK), PLAT_IDOK);
    ASSERT_EQ(BoxRecorder::shown.size(), 2u);
    EXPECT_EQ(BoxRecorder::shown[0].text, "磁碟錯誤!");
    EXPECT_EQ(BoxRecorder::shown[0].caption, "Error");
    EXPECT_EQ(BoxRecorder::shown[0].type, (unsigned)PLAT_MB_OKCANCEL);
    EXPECT_EQ(BoxRecorder::shown[1].text, "second");
}

TEST(Text, Big5RoundTripKeepsTrailBackslashes)
{
    std::string b = big5("許功蓋");
    EXPECT_EQ(b, "\xB3\x5C\xA5\x5C\xBB\x5C");
    char back[64];
    ASSERT_EQ(plat_cp950_to_utf8(b.c_str(), back, sizeof back), 1);
    EXPECT_STREQ(back, "許功蓋");
    // Too small an output buffer fails rather than cutting a character.
    char small[4];
    EXPECT_EQ(plat_cp950_to_utf8(b.c_str(), small, sizeof small), 0);
    // A lead byte without its trail byte is not text.
    EXPECT_EQ(plat_cp950_to_utf8("\xB3", back, sizeof back), 0);
}

// Conversions share state between calls (the POSIX backend keeps its iconv
// descriptors): a failed conversion leaves nothing behind for the next, in
// either direction and on any thread.
TEST(Text, FailedConversionsDoNotAffectTheNextOnes)
{
    std::string b = big5("許功蓋");
    char out[64];
    char small[4];
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(plat_cp950_to_utf8("\xB3", out, sizeof out), 0);
        EXPECT_EQ(plat_cp950_to_utf8(b.c_str(), small, sizeof small), 0);
        ASSERT_EQ(plat_cp950_to_utf8(b.c_str(), out, sizeof out), 1);
        EXPECT_STREQ(out, "許功蓋");
        EXPECT_EQ(plat_utf8_to_cp950("\xE8\xA8", out, sizeof out), 0);          // cut inside a character
        EXPECT_EQ(plat_utf8_to_cp950("\xF0\x9F\x98\x80", out, sizeof out), 0);  // no Big5 form
        ASSERT_EQ(plat_utf8_to_cp950("許功蓋", out, sizeof out), 1);
        EXPECT_EQ(std::string(out), b);
    }
    std::string from_thread;
    std::thread([&] {
        char t[64];
        if (plat_cp950_to_utf8(b.c_str(), t, sizeof t))
            from_thread = t;
    }).join();
    EXPECT_EQ(from_thread, "許功蓋");
}

TEST(WriteFault, TheChosenWriteFailsOnceThenWritesGoOn)
{
    TempDir dir;
    FILE* f = plat_fopen(dir.path("w").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    long before = plat_write_count();
    plat_fail_write_after(2);
    EXPECT_EQ(plat_fwrite("a", 1, 1, f), 1u);
    EXPECT_EQ(plat_fwrite("b", 1, 1, f), 1u);
    EXPECT_EQ(plat_fwrite("c", 1, 1, f), 0u);
    EXPECT_EQ(plat_fwrite("d", 1, 1, f), 1u);
    EXPECT_EQ(plat_write_count() - before, 3);
    plat_fail_write_after(-1);
    fclose(f);
    EXPECT_EQ(read_file(dir.path("w")), "abd");
}

TEST(Drives, FreeSpaceOfTheTemporaryFolder)
{
    TempDir dir;
    uint64_t free_bytes = 0;
    ASSERT_EQ(plat_disk_free_bytes(dir.win.c_str(), &free_bytes), 1);
    EXPECT_GT(free_bytes, 0u);
}

namespace {
std::vector<std::string> g_utf8_boxes;  // "caption|type|text"
int g_utf8_answer = PLAT_IDOK;
int record_utf8_box(void*, const char* text, const char* caption, unsigned type)
{
    g_utf8_boxes.push_back(std::string(caption) + "|" + std::to_string(type) + "|" + text);
    return g_utf8_answer;
}
}  // namespace

TEST(CodePage, AnyCodePageButBig5sIsWarnedOfOnceAndSetupMayStop)
{
    // code page, may stop, answer -> the box's type (0: none), go on
    const int cases[][5] = {{950, 0, PLAT_IDOK, 0, 1},      {950, 1, PLAT_IDNO, 0, 1},
                            {1252, 0, PLAT_IDOK, 0x30, 1},  {936, 0, 0, 0x30, 1},  // no box shown: on
                            {1252, 1, PLAT_IDYES, 0x34, 1}, {1252, 1, PLAT_IDNO, 0x34, 0},
                            {65001, 1, 0, 0x34, 1}};
    MessageBoxHandler previous = plat_set_utf8_message_box_handler(record_utf8_box);
    for (const auto& c : cases) {
        plat_set_ansi_code_page((unsigned)c[0]);
        if (plat_ansi_code_page() != (unsigned)c[0])
            continue;  // Windows reports its own (950 under the tests' Wine)
        g_utf8_boxes.clear();
        g_utf8_answer = c[2];
        EXPECT_EQ(plat_check_code_page(c[1]), c[4]) << c[0] << " " << c[1];
        ASSERT_EQ(g_utf8_boxes.size(), c[3] ? 1u : 0u) << c[0];
        if (!c[3])
            continue;
        const std::string& box = g_utf8_boxes[0];
        EXPECT_EQ(box.rfind("語言設定 Language setting|" + std::to_string(c[3]) + "|", 0), 0u) << box;
        for (const char* part : {"「非 Unicode 程式的語言」設為「中文 (繁體,台灣)」", "亂碼", "garbled",
                                 "\"Language for non-Unicode programs\" to Chinese (Traditional, Taiwan)"})
            EXPECT_NE(box.find(part), std::string::npos) << part;
        EXPECT_EQ(box.find("Continue the installation anyway?") != std::string::npos, c[1] == 1);
    }
    plat_set_ansi_code_page(950);
    plat_set_utf8_message_box_handler(previous);
}

#ifdef _WIN32
#include "shell_registry.h"

TEST(ShellUser, TheTestsRunAsTheDesktopsOwnUser)
{
    EXPECT_EQ(plat_runs_as_other_user(), 0);  // shell window, its process, both tokens read
}
#endif
