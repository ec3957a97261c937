// File objects over plain files: reading, writing, positions, closing, and
// the open-file count with its exit warning.
#include "child_run.h"
#include "file_object.h"
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

TEST(PlainFile, WriteThenReadBack)
{
    TempDir dir;
    std::string path = dir.path("a.bin");
    std::string data = random_bytes(70000, 1);
    int32_t opened = open_count();

    FileObject out;
    ASSERT_EQ(out.open_write(path.c_str()), 1);
    EXPECT_EQ(open_count(), opened + 1);
    EXPECT_EQ(out.write(data.data(), (int32_t)data.size()), 1);
    EXPECT_EQ(out.close(), 1);
    EXPECT_EQ(open_count(), opened);

    FileObject in;
    ASSERT_EQ(in.open_read(path.c_str()), 1);
    EXPECT_EQ(in.is_member, 0);
    EXPECT_EQ(in.size(), 70000);
    std::string back(80000, '\0');
    EXPECT_EQ(in.read(&back[0], 80000), 70000);
    back.resize(70000);
    EXPECT_EQ(back, data);
    EXPECT_EQ(in.read(&back[0], 10), 0);
    EXPECT_EQ(in.close(), 1);
    EXPECT_EQ(open_count(), opened);
}

TEST(PlainFile, SizeLeavesThePositionAndSeekIsAbsolute)
{
    TempDir dir;
    std::string path = dir.path("s.bin");
    write_file(path, "0123456789");
    FileObject f;
    ASSERT_EQ(f.open_read(path.c_str()), 1);
    char c[4] = {};
    ASSERT_EQ(f.read(c, 3), 3);
    EXPECT_EQ(f.size(), 10);
    ASSERT_EQ(f.read(c, 1), 1);
    EXPECT_EQ(c[0], '3');
    ASSERT_EQ(f.seek(8), 1);
    ASSERT_EQ(f.read(c, 4), 2);
    EXPECT_EQ(std::string(c, 2), "89");
    f.close();
}

TEST(PlainFile, RefusedOperations)
{
    TempDir dir;
    std::string path = dir.path("w.bin");
    FileObject f;
    char buf[8];
    // Closed object: nothing works, nothing is counted.
    EXPECT_EQ(f.read(buf, 8), 0);
    EXPECT_EQ(f.write("x", 1), 0);
    EXPECT_EQ(f.seek(0), 0);
    EXPECT_EQ(f.close(), 0);
    // Writing zero bytes is a failure, not a success.
    ASSERT_EQ(f.open_write(path.c_str()), 1);
    EXPECT_EQ(f.write("x", 0), 0);
    EXPECT_EQ(f.close(), 1);
    EXPECT_EQ(f.close(), 0);
    // A missing file without a package does not open and is not counted.
    int32_t opened = open_count();
    EXPECT_EQ(f.open_read(dir.path("missing.bin").c_str()), 0);
    EXPECT_EQ(f.handle, nullptr);
    EXPECT_EQ(open_count(), opened);
    // A folder that does not exist cannot take a new file.
    EXPECT_EQ(f.open_write(dir.path("no\\such\\x.bin").c_str()), 0);
}

TEST(PlainFile, FailedWriteIsReported)
{
    TempDir dir;
    FileObject f;
    ASSERT_EQ(f.open_write(dir.path("f.bin").c_str()), 1);
    EXPECT_EQ(f.write("abc", 3), 1);
    plat_fail_write_after(0);
    EXPECT_EQ(f.write("def", 3), 0);
    EXPECT_EQ(f.write("ghi", 3), 1);
    f.close();
    EXPECT_EQ(read_file(dir.path("f.bin")), "abcghi");
}

TEST(UppercaseDbcs, AsciiLettersOnlyAndBig5CharactersKeptWhole)
{
    // 地 is A6 61: its second byte is 'a' and must stay lower case.
    // 許 is B3 5C: its second byte is a backslash and must stay.
    std::string s = "abc" + big5("地許") + "xyz.Map";
    std::string expected = "ABC" + big5("地許") + "XYZ.MAP";
    std::vector<char> buf(s.begin(), s.end());
    buf.push_back('\0');
    uppercase_dbcs(buf.data());
    EXPECT_EQ(std::string(buf.data()), expected);
    // A lone lead byte at the end neither crashes nor reads past the NUL.
    char lone[] = {'a', (char)0xA6, '\0', 'b', '\0'};
    uppercase_dbcs(lone);
    EXPECT_EQ(lone[0], 'A');
    EXPECT_EQ(lone[3], 'b');
}

TEST(OpenFileWarning, ShownOnceForFilesLeftOpenAndNeverForClosedOnes)
{
    TempDir dir;
    ChildRun one = run_exit_check_child("file-left-open", dir.win);
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.boxes, "error|Some file is not close\n");
    // Two files left open: still one box.
    ChildRun two = run_exit_check_child("files-left-open", dir.win);
    EXPECT_EQ(two.status, 0);
    EXPECT_EQ(two.boxes, "error|Some file is not close\n");
    // The same two files closed: the warning was registered by the first
    // open, and stays silent.
    ChildRun closed = run_exit_check_child("files-closed", dir.win);
    EXPECT_EQ(closed.status, 0);
    EXPECT_EQ(closed.boxes, "");
}
