// The record reader and the header reader on their own: records, offsets,
// every way a stream can be cut short, and lengths that lie.
#include "disc_fixture.h"
#include "disc_header.h"
#include "record_reader.h"
#include "test_support.h"

#include "apkg_writer.h"
#include "file_object.h"

#include <gtest/gtest.h>

namespace {

struct Walk {
    std::vector<Record> records;
    std::vector<std::string> payloads;
    int status = kRecordRead;
    Record failed = {};
};

Walk walk(const std::string& win_path, int32_t start)
{
    Walk w;
    FileObject f;
    if (!f.open_read(win_path.c_str())) {
        ADD_FAILURE() << "cannot open " << win_path;
        return w;
    }
    std::vector<unsigned char> buffer(disc::kMaxCompressed);
    RecordReader reader;
    EXPECT_EQ(reader.start(&f, start, buffer.data(), (int32_t)buffer.size()), kRecordRead);
    Record r;
    while ((w.status = reader.next(&r)) == kRecordRead) {
        w.records.push_back(r);
        w.payloads.push_back(r.payload ? std::string((const char*)r.payload, (size_t)r.compressed_length) : "");
    }
    w.failed = r;
    // A finished reader stays finished.
    EXPECT_EQ(reader.next(&r), w.status);
    f.close();
    return w;
}

std::string inflate(const std::string& stream)
{
    Record r = {3, 0, (int32_t)stream.size(), (const unsigned char*)stream.data()};
    std::vector<unsigned char> out(disc::kMaxDecompressed);
    int32_t n = -1;
    if (!inflate_record(r, out.data(), (int32_t)out.size(), &n, nullptr))
        return "<damaged>";
    return std::string((const char*)out.data(), (size_t)n);
}

}  // namespace

TEST(RecordReader, ReadsTypesOffsetsAndPayloads)
{
    TempDir tmp;
    std::string stream = fixture::dir("\\d") + std::string(1, '\0') + fixture::file("\\d\\f") +
                         fixture::data("contents") + fixture::close_file() + std::string(1, '\x06') +
                         fixture::end_disc();
    write_file(tmp.path("cd2"), stream);
    Walk w = walk(tmp.path("cd2"), 0);
    EXPECT_EQ(w.status, kRecordEndOfFile);
    ASSERT_EQ(w.records.size(), 7u);
    std::vector<int32_t> types;
    for (const Record& r : w.records)
        types.push_back(r.type);
    EXPECT_EQ(types, (std::vector<int32_t>{1, 0, 2, 3, 4, 6, 5}));
    // Offsets are where each type byte sits.
    int64_t at = 0;
    for (const Record& r : w.records) {
        EXPECT_EQ(r.offset, at);
        EXPECT_EQ(stream[(size_t)at], (char)r.type);
        at += 1 + (record_has_payload(r.type) ? 4 + r.compressed_length : 0);
    }
    EXPECT_EQ(inflate(w.payloads[0]), std::string("\\d") + '\0');
    EXPECT_EQ(inflate(w.payloads[3]), "contents");
    EXPECT_EQ(w.records[1].payload, nullptr);
}

TEST(RecordReader, StartsAfterTheHeaderInTheFirstDisc)
{
    TempDir tmp;
    std::string cd1 = fixture::header("Co", "P", "K", "x.exe", 1, 9) + fixture::dir("\\a");
    write_file(tmp.path("cd1"), cd1);
    Walk w = walk(tmp.path("cd1"), disc::kHeaderSize);
    ASSERT_EQ(w.records.size(), 1u);
    EXPECT_EQ(w.records[0].offset, disc::kHeaderSize);
    EXPECT_EQ(w.records[0].type, 1);
}

TEST(RecordReader, EveryCutIsEitherACleanEndOrATruncatedRecordAtItsOffset)
{
    TempDir tmp;
    std::vector<std::string> records = {fixture::dir("\\d"), fixture::close_file(), fixture::file("\\d\\f"),
                                        fixture::data(random_bytes(300, 3)), fixture::end_disc()};
    std::string stream;
    std::vector<size_t> starts;
    for (const std::string& r : records) {
        starts.push_back(stream.size());
        stream += r;
    }
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        write_file(tmp.path("cd2"), stream.substr(0, cut));
        Walk w = walk(tmp.path("cd2"), 0);
        // The record the cut falls into (or the boundary it hits).
        size_t i = 0;
        while (i + 1 < starts.size() && starts[i + 1] <= cut)
            ++i;
        bool boundary = cut == stream.size() || cut == starts[i];
        if (boundary) {
            EXPECT_EQ(w.status, kRecordEndOfFile);
            EXPECT_EQ(w.records.size(), cut == stream.size() ? records.size() : i);
        } else if (!record_has_payload((unsigned char)stream[starts[i]])) {
            ADD_FAILURE() << "a one-byte record cannot be cut";
        } else {
            EXPECT_EQ(w.status, kRecordTruncated);
            EXPECT_EQ(w.records.size(), i);
            EXPECT_EQ(w.failed.offset, (int64_t)starts[i]);
            EXPECT_EQ(w.failed.type, (unsigned char)stream[starts[i]]);
        }
    }
}

TEST(RecordReader, LengthsOutsideTheBufferAreRefusedBeforeAnyRead)
{
    TempDir tmp;
    const int32_t lengths[] = {-1, INT32_MIN, disc::kMaxCompressed + 1, INT32_MAX};
    for (int32_t L : lengths) {
        std::string stream = fixture::close_file() + fixture::raw_record(3, L, std::string(64, 'x'));
        write_file(tmp.path("cd2"), stream);
        Walk w = walk(tmp.path("cd2"), 0);
        EXPECT_EQ(w.status, kRecordBadLength) << L;
        EXPECT_EQ(w.records.size(), 1u);
        EXPECT_EQ(w.failed.offset, 1);
        EXPECT_EQ(w.failed.compressed_length, L);
    }
    // A smaller buffer is the limit for its reader.
    write_file(tmp.path("cd3"), fixture::raw_record(3, 11, std::string(11, 'x')));
    FileObject f;
    ASSERT_TRUE(f.open_read(tmp.path("cd3").c_str()));
    unsigned char small[10];
    RecordReader reader;
    reader.start(&f, 0, small, sizeof small);
    Record r;
    EXPECT_EQ(reader.next(&r), kRecordBadLength);
    f.close();
}

TEST(RecordReader, StartBeyondTheFileEndsAtOnceAndBadStartsFail)
{
    TempDir tmp;
    write_file(tmp.path("cd2"), fixture::dir("\\x"));
    Walk w = walk(tmp.path("cd2"), 1000);
    EXPECT_EQ(w.status, kRecordEndOfFile);
    EXPECT_TRUE(w.records.empty());

    RecordReader reader;
    unsigned char buf[4];
    FileObject closed;
    EXPECT_EQ(reader.start(&closed, 0, buf, sizeof buf), kRecordSeekFailed);
    Record r;
    EXPECT_EQ(reader.next(&r), kRecordSeekFailed);
}

TEST(RecordReader, ReadsAPackageMemberLikeAPlainFile)
{
    TempDir tmp;
    std::string stream = fixture::file("\\f") + fixture::data("packed");
    std::string package, error;
    ASSERT_TRUE(apkg_build({{"cd2", stream}, {"other", "zzz"}}, &package, &error)) << error;
    write_file(tmp.path("discs.apkg"), package);
    write_file(tmp.path("plain"), stream);
    Walk a = walk(tmp.win + "\\discs\\cd2", 0);
    Walk b = walk(tmp.path("plain"), 0);
    EXPECT_EQ(a.status, kRecordEndOfFile);
    EXPECT_EQ(a.payloads, b.payloads);
    // A member ends where it ends, not where the package does.
    std::string cut_package;
    ASSERT_TRUE(apkg_build({{"cd2", stream.substr(0, stream.size() - 2)}, {"after", "\x03\x03\x03\x03"}}, &cut_package,
                           &error));
    write_file(tmp.path("cut.apkg"), cut_package);
    Walk c = walk(tmp.win + "\\cut\\cd2", 0);
    EXPECT_EQ(c.status, kRecordTruncated);
}

TEST(RecordReader, InflateRefusesDamageAndOverflow)
{
    EXPECT_EQ(inflate(fixture::zlib("abc")), "abc");
    EXPECT_EQ(inflate(fixture::zlib("")), "");
    EXPECT_EQ(inflate("definitely not zlib"), "<damaged>");
    EXPECT_EQ(inflate(""), "<damaged>");
    EXPECT_EQ(inflate(fixture::zlib(std::string(disc::kMaxDecompressed + 1, 'q'))), "<damaged>");
    std::string s = fixture::zlib("abcdef");
    EXPECT_EQ(inflate(s.substr(0, s.size() - 1)), "<damaged>");
    int status = 0;
    int32_t n = 5;
    std::string big = fixture::zlib(std::string(100, 'q'));
    Record r = {3, 0, (int32_t)big.size(), (const unsigned char*)big.data()};
    unsigned char out[99];
    EXPECT_EQ(inflate_record(r, out, sizeof out, &n, &status), 0);
    EXPECT_EQ(n, 0);
    EXPECT_NE(status, 0);
}

TEST(DiscHeader, ReadsEveryFieldAndKeepsFullTextsTerminated)
{
    TempDir tmp;
    std::string forty(40, 'C');
    write_file(tmp.path("cd1"),
               fixture::header(forty, big5("遊戲"), "Key", "bin\\game.exe", -3, 123456789) + "records follow");
    FileObject f;
    ASSERT_TRUE(f.open_read(tmp.path("cd1").c_str()));
    DiscHeader h;
    ASSERT_EQ(read_disc_header(&f, &h), 1);
    char next = 0;
    EXPECT_EQ(f.read(&next, 1), 1);  // the reader stops right after the header
    EXPECT_EQ(next, 'r');
    f.close();
    EXPECT_EQ(std::string(h.company), forty);
    EXPECT_EQ(std::string(h.product), big5("遊戲"));
    EXPECT_EQ(std::string(h.regkey), "Key");
    EXPECT_EQ(std::string(h.exe), "bin\\game.exe");
    EXPECT_EQ(h.disc_count, -3);
    EXPECT_EQ(h.total_size, 123456789);
}

TEST(DiscHeader, ShortHeaderFailsAndLeavesZeros)
{
    TempDir tmp;
    std::string full = fixture::header("Co", "P", "K", "e", 2, 5);
    for (size_t n : {(size_t)0, (size_t)50, full.size() - 1}) {
        write_file(tmp.path("cd1"), full.substr(0, n));
        FileObject f;
        ASSERT_TRUE(f.open_read(tmp.path("cd1").c_str()));
        DiscHeader h;
        memset(&h, 0x55, sizeof h);
        EXPECT_EQ(read_disc_header(&f, &h), 0) << n;
        EXPECT_EQ(h.company[0], 0);
        EXPECT_EQ(h.disc_count, 0);
        f.close();
    }
}
