// The platform layer as every backend must behave: directories, listing,
// attributes, the current directory, message boxes, text conversion and the
// write fault.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    EXPECT_EQ(plat_remove_file(sub.c_str()), 0);        // a folder is no file
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
        EXPECT_EQ(plat_utf8_to_cp950("\xE8\xA8", out, sizeof out), 0);  // cut inside a character
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
