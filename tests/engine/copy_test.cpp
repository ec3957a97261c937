// copy_file and copy_tree: chunking, package members, overwriting, write
// failures, whole trees with odd names, and the current directory.
#include "copy_file.h"
#include "copy_tree.h"

#include "apkg_writer.h"
#include "file_object.h"
#include "platform.h"
#include "test_support.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

namespace {

// Open files and live heap blocks must be back where they were after every
// call; the current directory too.
struct Balance {
    int32_t files = open_count();
    int32_t blocks = tracked_stats().live;
    std::string cwd = current();

    static std::string current()
    {
        char buf[1024];
        EXPECT_EQ(plat_get_current_directory(buf, sizeof buf), 1);
        return buf;
    }
    void check(const char* after) const
    {
        EXPECT_EQ(open_count(), files) << "open files after " << after;
        EXPECT_EQ(tracked_stats().live, blocks) << "heap blocks after " << after;
        EXPECT_EQ(current(), cwd) << "current directory after " << after;
    }
};

struct WriteFaultOff {
    ~WriteFaultOff() { plat_fail_write_after(-1); }
};

}  // namespace

TEST(CopyFile, ChunksOf512000BytesWithOneWriteEach)
{
    TempDir dir;
    // size -> writes expected
    const std::pair<size_t, long> cases[] = {{0, 0}, {1, 1}, {512000, 1}, {512001, 2}, {1024000, 2}, {1100000, 3}};
    for (const auto& [size, writes] : cases) {
        SCOPED_TRACE(size);
        std::string bytes = random_bytes(size, (unsigned)size);
        write_file(dir.path("src"), bytes);
        Balance balance;
        long before = plat_write_count();
        EXPECT_EQ(copy_file(dir.path("src").c_str(), dir.path("dst").c_str()), 1);
        EXPECT_EQ(plat_write_count() - before, writes);
        balance.check("copy_file");
        ASSERT_TRUE(exists(dir.path("dst")));
        EXPECT_TRUE(read_file(dir.path("dst")) == bytes);
    }
}

TEST(CopyFile, PackageMemberArrivesDecoded)
{
    TempDir dir;
    std::string package, error;
    std::string big = random_bytes(700000, 7);  // two chunks
    ASSERT_TRUE(apkg_build({{"A.TXT", "first member"}, {big5("官方網頁.url"), big}, {"EMPTY", ""}}, &package, &error))
        << error;
    ASSERT_EQ(plat_create_directory(dir.path("pk").c_str()), 1);
    write_file(dir.path("pk.apkg"), package);

    Balance balance;
    // Member names are matched without regard to ASCII case.
    EXPECT_EQ(copy_file((dir.path("pk") + "\\a.txt").c_str(), dir.path("a.out").c_str()), 1);
    EXPECT_EQ(copy_file((dir.path("pk") + "\\" + big5("官方網頁.url")).c_str(), dir.path("web.out").c_str()), 1);
    EXPECT_EQ(copy_file((dir.path("pk") + "\\EMPTY").c_str(), dir.path("empty.out").c_str()), 1);
    EXPECT_EQ(copy_file((dir.path("pk") + "\\NONE").c_str(), dir.path("none.out").c_str()), 0);
    balance.check("member copies");
    EXPECT_EQ(read_file(dir.path("a.out")), "first member");
    EXPECT_TRUE(read_file(dir.path("web.out")) == big);
    EXPECT_TRUE(exists(dir.path("empty.out")));
    EXPECT_EQ(read_file(dir.path("empty.out")), "");
    EXPECT_FALSE(exists(dir.path("none.out")));
}

TEST(CopyFile, OpenFailuresLeaveTheDestinationAlone)
{
    TempDir dir;
    write_file(dir.path("dst"), "keep me");
    write_file(dir.path("src"), "data");
    Balance balance;
    // A source that is not there: the destination is not even opened.
    EXPECT_EQ(copy_file(dir.path("missing").c_str(), dir.path("dst").c_str()), 0);
    EXPECT_EQ(read_file(dir.path("dst")), "keep me");
    // A destination folder that is not there: the source is closed again.
    EXPECT_EQ(copy_file(dir.path("src").c_str(), dir.path("no\\dst").c_str()), 0);
    EXPECT_EQ(copy_file(nullptr, dir.path("dst").c_str()), 0);
    EXPECT_EQ(copy_file(dir.path("src").c_str(), nullptr), 0);
    balance.check("failed opens");
    EXPECT_EQ(read_file(dir.path("dst")), "keep me");
}

TEST(CopyFile, OverwritesAndDropsReadOnly)
{
    TempDir dir;
    write_file(dir.path("src"), "short");
    ASSERT_EQ(plat_set_read_only(dir.path("src").c_str(), 1), 1);
    write_file(dir.path("dst"), "a much longer old content");
    EXPECT_EQ(copy_file(dir.path("src").c_str(), dir.path("dst").c_str()), 1);
    EXPECT_EQ(read_file(dir.path("dst")), "short");
    uint32_t attributes = plat_file_attributes(dir.path("dst").c_str());
    ASSERT_NE(attributes, PLAT_ATTR_INVALID);
    EXPECT_EQ(attributes & PLAT_ATTR_READONLY, 0u);
}

// A full disk at any write: the copy reports failure and leaves no
// truncated file behind.
TEST(CopyFile, FailedWriteRemovesThePartialCopy)
{
    TempDir dir;
    WriteFaultOff off;
    std::string bytes = random_bytes(1100000, 3);  // three writes
    write_file(dir.path("src"), bytes);
    for (long fail_at = 0; fail_at < 3; ++fail_at) {
        SCOPED_TRACE(fail_at);
        write_file(dir.path("dst"), "old");
        Balance balance;
        plat_fail_write_after(fail_at);
        EXPECT_EQ(copy_file(dir.path("src").c_str(), dir.path("dst").c_str()), 0);
        plat_fail_write_after(-1);
        balance.check("failed write");
        EXPECT_FALSE(exists(dir.path("dst")));
    }
    // The injector is off again: the same copy goes through.
    EXPECT_EQ(copy_file(dir.path("src").c_str(), dir.path("dst").c_str()), 1);
    EXPECT_TRUE(read_file(dir.path("dst")) == bytes);
}

namespace {

// A source tree with nested and empty folders, a hidden file, a file without
// extension, a read-only file, a package file and Big5 names whose second
// bytes are 0x5C.
void make_tree(const TempDir& dir, const std::string& root)
{
    auto mk = [&](const std::string& utf8_rel) {
        ASSERT_EQ(plat_create_directory((root + "\\" + big5(utf8_rel)).c_str()), 1);
    };
    auto put = [&](const std::string& utf8_rel, const std::string& bytes) {
        write_file(root + "\\" + big5(utf8_rel), bytes);
    };
    ASSERT_EQ(plat_create_directory(root.c_str()), 1);
    put("README", "no extension");
    put(".hidden", "hidden file");
    put("許功蓋.txt", random_bytes(600000, 11));
    put("locked.dat", "read-only");
    ASSERT_EQ(plat_set_read_only((root + "\\locked.dat").c_str(), 1), 1);
    std::string package, error;
    ASSERT_TRUE(apkg_build({{"M", "member"}}, &package, &error)) << error;
    put("pk.apkg", package);
    mk("empty");
    mk("資料");
    put("資料\\a.bin", random_bytes(1000, 12));
    mk("資料\\深層");
    put("資料\\深層\\b", "deep");
    mk("資料\\深層\\空");
    mk("資料\\空的");
    (void)dir;
}

}  // namespace

TEST(CopyTree, RecreatesNestedTreeAndRestoresTheCurrentDirectory)
{
    TempDir dir;
    std::string src = dir.path("src");
    make_tree(dir, src);
    std::string dst = dir.path("dst");
    Balance outside;  // the current directory is somewhere else entirely
    copy_tree(src.c_str(), dst.c_str());
    outside.check("copy_tree with an absolute source");
    EXPECT_EQ(snapshot(host_of(dst)), snapshot(host_of(src)));
    EXPECT_EQ(plat_file_attributes((dst + "\\locked.dat").c_str()) & PLAT_ATTR_READONLY, 0u);

    // A source relative to the current directory, into a destination that
    // holds files of its own: those stay, same-named ones are overwritten.
    ASSERT_EQ(plat_set_current_directory(dir.win.c_str()), 1);
    std::string dst2 = dir.path("dst2");
    ASSERT_EQ(plat_create_directory(dst2.c_str()), 1);
    write_file(dst2 + "\\README", "old content, longer than the new one");
    write_file(dst2 + "\\extra", "mine");
    Balance inside;
    copy_tree("src", dst2.c_str());
    inside.check("copy_tree with a relative source");
    EXPECT_EQ(read_file(dst2 + "\\README"), "no extension");
    EXPECT_EQ(read_file(dst2 + "\\extra"), "mine");
    EXPECT_EQ(read_file(dst2 + "\\" + big5("資料\\深層\\b")), "deep");
    ASSERT_EQ(plat_set_current_directory(outside.cwd.c_str()), 1);
}

TEST(CopyTree, MissingSourceCopiesNothing)
{
    TempDir dir;
    // The current directory has files that must not be taken for the source.
    write_file(dir.path("bystander"), "x");
    ASSERT_EQ(plat_set_current_directory(dir.win.c_str()), 1);
    Balance balance;
    copy_tree(dir.path("data").c_str(), dir.path("out").c_str());
    copy_tree("data", dir.path("out").c_str());
    copy_tree(nullptr, dir.path("out").c_str());
    balance.check("missing source");
    EXPECT_FALSE(exists(dir.path("out")));
    ASSERT_EQ(plat_set_current_directory(fs::temp_directory_path().u8string().c_str()), 1);
}

TEST(CopyTree, EmptySourceGivesEmptyDestination)
{
    TempDir dir;
    ASSERT_EQ(plat_create_directory(dir.path("src").c_str()), 1);
    Balance balance;
    copy_tree(dir.path("src").c_str(), dir.path("dst").c_str());
    balance.check("empty source");
    EXPECT_EQ(plat_file_attributes(dir.path("dst").c_str()) & PLAT_ATTR_DIRECTORY, (uint32_t)PLAT_ATTR_DIRECTORY);
    EXPECT_TRUE(snapshot(host_of(dir.path("dst"))).empty());
}

// One file that cannot be written is left out, the others are copied, and
// the result says the tree is not whole.
TEST(CopyTree, FailedFileIsSkippedAndTheRestCopied)
{
    TempDir dir;
    WriteFaultOff off;
    std::string src = dir.path("src");
    ASSERT_EQ(plat_create_directory(src.c_str()), 1);
    for (const char* name : {"a", "b", "c"})
        write_file(src + "\\" + name, std::string("content ") + name);
    Balance balance;
    plat_fail_write_after(1);  // the second file's write fails
    EXPECT_EQ(copy_tree(src.c_str(), dir.path("dst").c_str()), 0);
    plat_fail_write_after(-1);
    balance.check("copy_tree with a failed write");
    int copied = 0;
    for (const char* name : {"a", "b", "c"}) {
        std::string d = dir.path("dst") + "\\" + name;
        if (exists(d)) {
            ++copied;
            EXPECT_EQ(read_file(d), std::string("content ") + name);
        }
    }
    EXPECT_EQ(copied, 2);
}

// Destination paths that would not fit 260 bytes are not used; the entries
// that fit are copied.
TEST(CopyTree, OverlongDestinationPathsAreRefused)
{
    TempDir dir;
    std::string src = dir.path("src");
    ASSERT_EQ(plat_create_directory(src.c_str()), 1);
    write_file(src + "\\a", "short name");
    std::string long_name(40, 'n');
    write_file(src + "\\" + long_name, "long name");
    ASSERT_EQ(plat_create_directory((src + "\\" + long_name + "d").c_str()), 1);
    write_file(src + "\\" + long_name + "d\\x", "inside");

    // A destination of 240 bytes: "\a" fits, "\nnn..." (41 more) does not.
    size_t pad = 240 - dir.win.size() - 1;
    ASSERT_LT(pad, 250u);  // one host name component
    std::string dst = dir.win + "\\" + std::string(pad, 'd');
    ASSERT_EQ(dst.size(), 240u);
    Balance balance;
    copy_tree(src.c_str(), dst.c_str());
    balance.check("copy_tree with long names");
    EXPECT_EQ(read_file(dst + "\\a"), "short name");
    auto copied = snapshot(host_of(dst));
    EXPECT_EQ(copied.size(), 1u);
}

// A current directory too long for the 260-byte buffer cannot be remembered,
// so the walk does not start: nothing is copied and the directory stays.
TEST(CopyTree, UnrememberableCurrentDirectoryCopiesNothing)
{
    TempDir dir;
    std::string src = dir.path("src");
    ASSERT_EQ(plat_create_directory(src.c_str()), 1);
    write_file(src + "\\a", "x");
    std::string deep = dir.win;
    for (int i = 0; i < 3; ++i) {
        deep += "\\" + std::string(100, (char)('a' + i));
        if (!plat_create_directory(deep.c_str()))
            GTEST_SKIP() << "this platform cannot make a directory of " << deep.size() << " bytes";
    }
    char before[1024];
    ASSERT_EQ(plat_get_current_directory(before, sizeof before), 1);
    if (!plat_set_current_directory(deep.c_str()))
        GTEST_SKIP() << "this platform cannot enter a directory of " << deep.size() << " bytes";
    copy_tree(src.c_str(), dir.path("dst").c_str());
    char after[1024];
    EXPECT_EQ(plat_get_current_directory(after, sizeof after), 1);
    EXPECT_EQ(std::string(after), deep);
    ASSERT_EQ(plat_set_current_directory(before), 1);
    EXPECT_FALSE(exists(dir.path("dst")));
}
