// copy_file and copy_tree where a plain loop would lose data: a source that
// cannot be read to its end, and a destination that is the source itself.
#include "copy_file.h"
#include "copy_tree.h"

#include "apkg_writer.h"
#include "file_object.h"
#include "platform.h"
#include "test_support.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

namespace {

struct ReadFaultOff {
    ~ReadFaultOff() { plat_fail_read_after(-1); }
};

// Open files and heap blocks are back where they were.
struct Balance {
    int32_t files = open_count();
    int32_t blocks = tracked_stats().live;
    void check() const
    {
        EXPECT_EQ(open_count(), files);
        EXPECT_EQ(tracked_stats().live, blocks);
    }
};

}  // namespace

// A source that fails at any of its reads (the three chunks, or the read
// that would find its end) is not copied: 0, and no short copy is left.
TEST(CopyFileReadError, FailedReadRemovesThePartialCopy)
{
    TempDir dir;
    ReadFaultOff off;
    std::string bytes = random_bytes(1100000, 4);  // chunks of 512000, 512000, 76000
    write_file(dir.path("src"), bytes);
    for (long fail_at = 0; fail_at < 4; ++fail_at) {
        SCOPED_TRACE(fail_at);
        Balance balance;
        plat_fail_read_after(fail_at);
        EXPECT_EQ(copy_file(dir.path("src").c_str(), dir.path("dst").c_str()), 0);
        plat_fail_read_after(-1);
        balance.check();
        EXPECT_FALSE(exists(dir.path("dst")));
        EXPECT_TRUE(read_file(dir.path("src")) == bytes);
    }
    EXPECT_EQ(copy_file(dir.path("src").c_str(), dir.path("dst").c_str()), 1);
    EXPECT_TRUE(read_file(dir.path("dst")) == bytes);
}

TEST(CopyFileReadError, FailedReadOfAPackageMember)
{
    TempDir dir;
    ReadFaultOff off;
    std::string package, error;
    std::string bytes = random_bytes(600000, 6);
    ASSERT_TRUE(apkg_build({{"BIG", bytes}}, &package, &error)) << error;
    write_file(dir.path("pk.apkg"), package);
    // Opening the member reads the package's header and directory first.
    FileObject probe;
    long before = plat_read_count();
    ASSERT_EQ(probe.open_read(dir.path("pk\\BIG").c_str()), 1);
    long opening = plat_read_count() - before;
    probe.close();

    Balance balance;
    plat_fail_read_after(opening + 1);  // the second chunk
    EXPECT_EQ(copy_file(dir.path("pk\\BIG").c_str(), dir.path("out").c_str()), 0);
    plat_fail_read_after(-1);
    balance.check();
    EXPECT_FALSE(exists(dir.path("out")));
}

// The destination is the source under another spelling: copying would
// truncate the one file it reads. Both stay as they were.
TEST(CopyFileOntoItself, LeavesTheFileAlone)
{
    TempDir dir;
    std::string bytes = random_bytes(700000, 8);
    write_file(dir.path("a.bin"), bytes);
    ASSERT_EQ(plat_create_directory(dir.path("sub").c_str()), 1);
    Balance balance;
    EXPECT_EQ(copy_file(dir.path("a.bin").c_str(), dir.path("a.bin").c_str()), 0);
    EXPECT_EQ(copy_file(dir.path("a.bin").c_str(), dir.path("sub\\..\\a.bin").c_str()), 0);
    balance.check();
    EXPECT_TRUE(read_file(dir.path("a.bin")) == bytes);

    // A member copied onto the package that holds it.
    std::string package, error;
    ASSERT_TRUE(apkg_build({{"M", "member"}}, &package, &error)) << error;
    write_file(dir.path("pk.apkg"), package);
    EXPECT_EQ(copy_file(dir.path("pk\\M").c_str(), dir.path("pk.apkg").c_str()), 0);
    balance.check();
    EXPECT_TRUE(read_file(dir.path("pk.apkg")) == package);
    // Copying it anywhere else still works.
    EXPECT_EQ(copy_file(dir.path("pk\\M").c_str(), dir.path("m.txt").c_str()), 1);
    EXPECT_EQ(read_file(dir.path("m.txt")), "member");
}

namespace {

// The folder `src` with the files "a" and "inner\b".
void make_source(const std::string& src)
{
    ASSERT_EQ(plat_create_directory(src.c_str()), 1);
    ASSERT_EQ(plat_create_directory((src + "\\inner").c_str()), 1);
    write_file(src + "\\a", "file a");
    write_file(src + "\\inner\\b", "file b");
}

}  // namespace

TEST(CopyTreeOntoItself, SourceAsDestinationKeepsEveryFile)
{
    TempDir dir;
    std::string src = dir.path("src");
    ASSERT_NO_FATAL_FAILURE(make_source(src));
    Balance balance;
    copy_tree(src.c_str(), src.c_str());
    copy_tree(src.c_str(), (dir.win + "\\src\\.").c_str());
    balance.check();
    EXPECT_EQ(read_file(src + "\\a"), "file a");
    EXPECT_EQ(read_file(src + "\\inner\\b"), "file b");
}

// A destination inside the source gets the source's entries once; it is
// not copied into itself level after level.
TEST(CopyTreeOntoItself, DestinationInsideTheSourceIsNotCopiedIntoItself)
{
    TempDir dir;
    std::string src = dir.path("src");
    ASSERT_NO_FATAL_FAILURE(make_source(src));
    Balance balance;
    copy_tree(src.c_str(), (src + "\\copy").c_str());
    balance.check();
    EXPECT_EQ(read_file(src + "\\copy\\a"), "file a");
    EXPECT_EQ(read_file(src + "\\copy\\inner\\b"), "file b");
    EXPECT_FALSE(exists(src + "\\copy\\copy"));
    EXPECT_EQ(read_file(src + "\\a"), "file a");
}
