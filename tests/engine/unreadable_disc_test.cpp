// Discs that cannot be read: a read that fails is never taken for the end
// of a disc, by the record reader or by the engine, whether the disc is a
// plain file or a package member; an installation stopped by one leaves the
// folder as it was.
#include "engine_fixture.h"

#include "apkg_writer.h"
#include "disc_format.h"
#include "file_object.h"
#include "platform.h"
#include "record_reader.h"

using fixture::DiscSet;

namespace {

const std::string kCannotRead = "磁碟錯誤!|無法讀取磁碟";

struct ReadFaultOff {
    ~ReadFaultOff() { plat_fail_read_after(-1); }
};

// Walks the records of `path` from `start`, with the read that follows
// `fail_after` successful reads of the walk failing (-1: none); the final
// status.
int walk_status(const std::string& path, int32_t start, long fail_after = -1)
{
    FileObject f;
    if (!f.open_read(path.c_str())) {
        ADD_FAILURE() << "cannot open " << path;
        return kRecordRead;
    }
    // Opening a member has read its package's directory already.
    plat_fail_read_after(fail_after);
    std::vector<unsigned char> buffer(disc::kMaxCompressed);
    RecordReader reader;
    int status = reader.start(&f, start, buffer.data(), (int32_t)buffer.size());
    Record r;
    while (status == kRecordRead)
        status = reader.next(&r);
    plat_fail_read_after(-1);
    f.close();
    return status;
}

// A disc with records of every kind, ending without an end record, so that
// its clean end is the end of the file.
std::string record_stream()
{
    return fixture::dir("\\d") + fixture::file("\\d\\f") + fixture::data(random_bytes(3000, 5)) +
           std::string(1, '\x06') + fixture::close_file();
}

// Fails each read of a walk in turn: every one is a read error, whether it
// hits a type byte (where a clean read would find the next record or the
// end), a length or compressed data.
void expect_every_failed_read_is_an_error(const std::string& path)
{
    // Reads of the opening alone (a member's package directory), then of
    // opening and walk: at least one per record.
    FileObject probe;
    long before = plat_read_count();
    ASSERT_EQ(probe.open_read(path.c_str()), 1);
    long opening = plat_read_count() - before;
    probe.close();
    before = plat_read_count();
    ASSERT_EQ(walk_status(path, 0), kRecordEndOfFile);
    long reads = plat_read_count() - before - opening;
    ASSERT_GE(reads, 6);
    for (long k = 0; k < reads; ++k) {
        SCOPED_TRACE("read " + std::to_string(k) + " of " + std::to_string(reads) + " fails");
        EXPECT_EQ(walk_status(path, 0, k), kRecordReadError);
    }
    EXPECT_EQ(walk_status(path, 0), kRecordEndOfFile);
}

}  // namespace

TEST(UnreadableDisc, RecordReaderReportsEveryFailedReadOfAPlainFile)
{
    TempDir dir;
    ReadFaultOff off;
    write_file(dir.path("cd2"), record_stream());
    expect_every_failed_read_is_an_error(dir.path("cd2"));
}

TEST(UnreadableDisc, RecordReaderReportsEveryFailedReadOfAPackageMember)
{
    TempDir dir;
    ReadFaultOff off;
    std::string package, error;
    ASSERT_TRUE(apkg_build({{"cd2", record_stream()}}, &package, &error)) << error;
    write_file(dir.path("src.apkg"), package);
    expect_every_failed_read_is_an_error(dir.path("src\\cd2"));
}

TEST(UnreadableDisc, StatusIsDescribed)
{
    EXPECT_STRNE(record_status_text(kRecordReadError), record_status_text(12345));
    EXPECT_NE(std::string(record_status_text(kRecordReadError)).find("read error"), std::string::npos);
}

// A read that fails anywhere in a two-disc set stops the installation with
// the read error and rolls it back; the set must not be taken as complete.
TEST_F(EngineTest, FailedReadAnywhereRollsBackWithTheReadError)
{
    ReadFaultOff off;
    DiscSet set;
    set.add_dir(0, "\\save");
    set.add_file(0, "\\save\\a.txt", "first part ");
    set.add_raw(0, fixture::end_disc());
    set.add_data(1, "second part");
    set.add_raw(1, fixture::close_file());
    set.add_file(1, "\\b.bin", random_bytes(5000, 9));
    Snapshot before = written(set);

    long start = plat_read_count();
    ASSERT_EQ(run(), 1);
    long reads = plat_read_count() - start;
    ASSERT_EQ(read_file(inst + "\\save\\a.txt"), "first part second part");
    ASSERT_EQ(plat_remove_file((inst + "\\save\\a.txt").c_str()), 1);
    ASSERT_EQ(plat_remove_file((inst + "\\b.bin").c_str()), 1);
    ASSERT_EQ(plat_remove_directory((inst + "\\save").c_str()), 1);
    ASSERT_EQ(plat_remove_directory(inst.c_str()), 1);
    ASSERT_EQ(snapshot(tmp.host), before);

    for (long k = 0; k < reads; ++k) {
        SCOPED_TRACE("read " + std::to_string(k) + " of " + std::to_string(reads) + " fails");
        BoxRecorder::shown.clear();
        Calls::reset();
        plat_fail_read_after(k);
        EXPECT_EQ(run(), 0);
        plat_fail_read_after(-1);
        EXPECT_TRUE(folder_is(before));
        // The header of cd1 included: nothing has been created yet, and the
        // read error is named, not taken for a short (damaged) header.
        EXPECT_EQ(box_texts(), std::vector<std::string>{kCannotRead});
    }
}
