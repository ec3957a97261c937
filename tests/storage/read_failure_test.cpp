// File objects when the runtime fails: a read error told from the end of
// the file (plain files and package members), a member closed after its
// package's stream refused to close, and telling whether a path names the
// file an object reads.
#include "apkg_writer.h"
#include "file_object.h"
#include "platform.h"
#include "test_support.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

struct ReadFaultOff {
    ~ReadFaultOff() { plat_fail_read_after(-1); }
};

// A folder "pk" and the package "pk.apkg" beside it holding `members`.
void make_package(const TempDir& dir, const std::vector<ApkgInput>& members)
{
    std::string bytes, error;
    ASSERT_TRUE(apkg_build(members, &bytes, &error)) << error;
    write_file(dir.path("pk.apkg"), bytes);
}

// Closes the descriptor under a stream behind the runtime's back, so that
// its fclose then fails.
void break_stream(FILE* f)
{
#ifdef _WIN32
    _close(_fileno(f));
#else
    close(fileno(f));
#endif
}

// Opens `path` with `f`, reads it to its end and closes it: the bytes read,
// or -1 when it does not open or its reads failed.
long clean_read_size(FileObject& f, const std::string& path)
{
    if (!f.open_read(path.c_str()))
        return -1;
    char buf[64];
    long total = 0;
    for (int32_t n; (n = f.read(buf, sizeof buf)) > 0;)
        total += n;
    long result = f.read_failed() ? -1 : total;
    f.close();
    return result;
}

}  // namespace

TEST(ReadFailure, PlainFileTellsAFailedReadFromItsEnd)
{
    TempDir dir;
    ReadFaultOff off;
    write_file(dir.path("a.bin"), "0123456789");
    char buf[32];

    FileObject f;
    ASSERT_EQ(f.open_read(dir.path("a.bin").c_str()), 1);
    EXPECT_EQ(f.read(buf, sizeof buf), 10);
    EXPECT_EQ(f.read(buf, sizeof buf), 0);
    EXPECT_EQ(f.read_failed(), 0) << "the end of the file is no failure";
    ASSERT_EQ(f.seek(2), 1);
    plat_fail_read_after(0);
    EXPECT_EQ(f.read(buf, 4), 0);
    EXPECT_EQ(f.read_failed(), 1);
    // The injector is spent, but the stream stays failed until it is closed.
    EXPECT_EQ(f.read(buf, 4), 4);
    EXPECT_EQ(f.read_failed(), 1);
    EXPECT_EQ(f.close(), 1);
    EXPECT_EQ(f.read_failed(), 0) << "a closed object has no failure";

    // A new stream, even at the same address, starts without one.
    EXPECT_EQ(clean_read_size(f, dir.path("a.bin")), 10);
}

TEST(ReadFailure, MemberReportsTheFailureOfItsPackage)
{
    TempDir dir;
    ReadFaultOff off;
    make_package(dir, {{"A", "member bytes"}, {"B", ""}});
    char buf[32];

    FileObject m;
    ASSERT_EQ(m.open_read(dir.path("pk\\a").c_str()), 1);
    ASSERT_EQ(m.is_member, 1);
    EXPECT_EQ(m.read(buf, 6), 6);
    plat_fail_read_after(0);
    EXPECT_EQ(m.read(buf, sizeof buf), 0);
    EXPECT_EQ(m.read_failed(), 1);
    EXPECT_EQ(m.close(), 1);

    // A member read to its end, and an empty member, have not failed.
    EXPECT_EQ(clean_read_size(m, dir.path("pk\\a")), 12);
    EXPECT_EQ(clean_read_size(m, dir.path("pk\\b")), 0);
}

// A real read error, without the injector: on POSIX a folder opens as a
// stream, and reading it fails.
TEST(ReadFailure, FolderOpenedAsAFileFailsToRead)
{
    TempDir dir;
    ASSERT_EQ(plat_create_directory(dir.path("cd2").c_str()), 1);
    FileObject f;
    if (!f.open_read(dir.path("cd2").c_str()))
        GTEST_SKIP() << "this runtime does not open a folder as a file";
    char c;
    EXPECT_EQ(f.read(&c, 1), 0);
    EXPECT_EQ(f.read_failed(), 1);
    f.close();
}

// The package's stream refuses to close: the member is closed all the same,
// its record released and both counted as closed once, so nothing is left
// for a retry to uncount again.
TEST(MemberClose, FailedCloseOfThePackageStillReleasesTheMemberOnce)
{
    TempDir dir;
    make_package(dir, {{"A", "member bytes"}});
    int32_t opened = open_count();
    int32_t live = tracked_stats().live;

    FileObject m;
    ASSERT_EQ(m.open_read(dir.path("pk\\a").c_str()), 1);
    ASSERT_EQ(m.is_member, 1);
    EXPECT_EQ(open_count(), opened + 2);
    PackageMember* record = (PackageMember*)m.handle;
    break_stream((FILE*)record->package.handle);

    EXPECT_EQ(m.close(), 0) << "the runtime's failure is reported";
    EXPECT_EQ(m.handle, nullptr);
    EXPECT_EQ(open_count(), opened);
    EXPECT_EQ(tracked_stats().live, live);
    // A retry finds the object closed and changes nothing.
    EXPECT_EQ(m.close(), 0);
    EXPECT_EQ(open_count(), opened);
    // The object is as good as new.
    ASSERT_EQ(m.open_read(dir.path("pk\\a").c_str()), 1);
    EXPECT_EQ(m.close(), 1);
    EXPECT_EQ(open_count(), opened);
}

TEST(IsFile, NamesTheFileUnderTheObjectWhateverTheSpelling)
{
    TempDir dir;
    write_file(dir.path("a.bin"), "a");
    write_file(dir.path("b.bin"), "b");
    ASSERT_EQ(plat_create_directory(dir.path("sub").c_str()), 1);
    make_package(dir, {{"A", "member"}});

    FileObject f;
    EXPECT_EQ(f.is_file(dir.path("a.bin").c_str()), 0) << "closed";
    ASSERT_EQ(f.open_read(dir.path("a.bin").c_str()), 1);
    EXPECT_EQ(f.is_file(dir.path("a.bin").c_str()), 1);
    EXPECT_EQ(f.is_file(dir.path("sub\\..\\a.bin").c_str()), 1);
    EXPECT_EQ(f.is_file(dir.path("b.bin").c_str()), 0);
    EXPECT_EQ(f.is_file(dir.path("missing").c_str()), 0);
    EXPECT_EQ(f.is_file(dir.path("sub").c_str()), 0);
    f.close();

    // A member is read from its package file: that is the file under it.
    ASSERT_EQ(f.open_read(dir.path("pk\\A").c_str()), 1);
    EXPECT_EQ(f.is_file(dir.path("pk.apkg").c_str()), 1);
    EXPECT_EQ(f.is_file(dir.path("pk\\A").c_str()), 0);
    EXPECT_EQ(f.is_file(dir.path("a.bin").c_str()), 0);
    f.close();

    // The same for a file opened for writing (on a fresh object: opening
    // for writing leaves the member flag as it was).
    FileObject w;
    ASSERT_EQ(w.open_write(dir.path("new.bin").c_str()), 1);
    EXPECT_EQ(w.is_file(dir.path("new.bin").c_str()), 1);
    w.close();
}

TEST(SameFile, TwoSpellingsOfOneFileOrFolder)
{
    TempDir dir;
    write_file(dir.path("a.bin"), "a");
    write_file(dir.path("b.bin"), "a");
    ASSERT_EQ(plat_create_directory(dir.path("sub").c_str()), 1);
    EXPECT_EQ(plat_same_file(dir.path("a.bin").c_str(), dir.path("sub\\..\\a.bin").c_str()), 1);
    EXPECT_EQ(plat_same_file(dir.path("a.bin").c_str(), dir.path("b.bin").c_str()), 0) << "same content, two files";
    EXPECT_EQ(plat_same_file(dir.path("sub").c_str(), (dir.win + "\\sub\\.").c_str()), 1);
    EXPECT_EQ(plat_same_file(dir.path("sub").c_str(), dir.win.c_str()), 0);
    EXPECT_EQ(plat_same_file(dir.path("missing").c_str(), dir.path("missing").c_str()), 0);
}
