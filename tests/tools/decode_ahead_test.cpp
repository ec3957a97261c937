// Decoding ahead of the engine: records reach it in disc order with the
// statuses inline reading gives, however the decoders finish; damage is
// reported at the first damaged record in order; a cancel stops the threads
// and rolls back; and the extracted trees do not depend on the thread count.
#include "decode_ahead.h"
#include "decoded_records.h"
#include "disc_fixture.h"
#include "disc_format.h"
#include "disc_tree.h"
#include "engine_fixture.h"
#include "file_object.h"

#include <gtest/gtest.h>

namespace {

// What a source says about one record.
struct Seen {
    int status;
    int type;
    int64_t offset;
    int32_t compressed_length;
    int inflated;
    std::string data;
    bool operator==(const Seen& o) const
    {
        return status == o.status && type == o.type && offset == o.offset && compressed_length == o.compressed_length &&
               inflated == o.inflated && data == o.data;
    }
};

// Every record of the disc file `path` from `offset`, read with `source`
// as the engine reads them, up to the end record or a final status, which
// is asked for once more.
std::vector<Seen> walk(const DecodedRecordSource* source, const std::string& path, int32_t offset)
{
    std::vector<Seen> seen;
    FileObject disc;
    EXPECT_EQ(disc.open_read(path.c_str()), 1) << path;
    EXPECT_EQ(source->start(source->context, &disc, offset), kRecordRead);
    for (int guard = 0; guard < 100000; ++guard) {
        DecodedRecord r;
        int status = source->next(source->context, &r);
        seen.push_back({status, r.record.type, r.record.offset, r.record.compressed_length, r.inflated,
                        r.inflated ? std::string((const char*)r.data, (size_t)r.length) : std::string()});
        if (status != kRecordRead || r.record.type == disc::kEnd)
            break;
    }
    if (!seen.empty() && seen.back().status != kRecordRead) {
        DecodedRecord again;
        int status = source->next(source->context, &again);
        seen.push_back({status, again.record.type, again.record.offset, again.record.compressed_length, 0, ""});
    }
    source->stop(source->context);
    disc.close();
    return seen;
}

std::string compressible(size_t n, unsigned seed)
{
    std::string words = "tile sprite level sound map npc ";
    std::string r = random_bytes(n / 8 + 1, seed), s;
    for (size_t i = 0; s.size() < n; ++i)
        s += (r[i % r.size()] & 3) ? words.substr((unsigned char)r[i % r.size()] % 20, 6)
                                   : std::string(1, r[i % r.size()]);
    s.resize(n);
    return s;
}

// Records of very different decoding cost side by side (large compressible
// ones, stored random ones, tiny ones), so that decoders finish out of order.
fixture::DiscSet mixed_set(int files)
{
    fixture::DiscSet set;
    set.add_dir(0, "\\d");
    for (int i = 0; i < files; ++i) {
        std::string name = "\\d\\f" + std::to_string(i);
        switch (i % 4) {
        case 0:
            set.add_file(0, name, compressible(disc::kMaxDecompressed, (unsigned)i));
            break;
        case 1:
            set.add_file(0, name, random_bytes(30000 + i, (unsigned)i));
            break;
        case 2:
            set.add_file(0, name, "x" + std::to_string(i));
            break;
        default:
            set.add_file(0, name, compressible(150000, (unsigned)i));
            set.add_data(0, compressible(1000, (unsigned)i + 7));
        }
        set.add_raw(0, fixture::close_file());
    }
    return set;
}

// Long runs of small records, which pass between the threads in batches:
// tiny files (three records each), stored ones of 3,000 bytes (a batch's
// compressed bytes fill up) and highly compressible ones of 100,000 bytes
// (its decompressed bytes fill up), with a large record now and then.
fixture::DiscSet small_records_set(int files)
{
    fixture::DiscSet set;
    set.add_dir(0, "\\s");
    for (int i = 0; i < files; ++i) {
        std::string name = "\\s\\g" + std::to_string(i);
        if (i % 50 == 49)
            set.add_file(0, name, compressible(disc::kMaxDecompressed, (unsigned)i));
        else if (i % 7 == 3)
            set.add_file(0, name, random_bytes(3000, (unsigned)i));
        else if (i % 7 == 5)
            set.add_file(0, name, std::string(100000, (char)('a' + i % 26)));
        else
            set.add_file(0, name, std::to_string(i));
        set.add_raw(0, fixture::close_file());
        if (i % 40 == 0)
            set.add_dir(0, "\\s\\d" + std::to_string(i));
    }
    return set;
}

// A zlib stream of `bytes` whose Adler-32 is wrong.
std::string bad_stream(const std::string& bytes)
{
    std::string z = fixture::zlib(bytes);
    z.back() ^= 0x55;
    return z;
}

struct DecodeAheadOrder : ::testing::Test {
    TempDir tmp;
    std::string folder = tmp.path("set");

    // The records of cd1 as the inline source and as decode-ahead sources
    // of 1, 2 and 5 decoders give them: all the same.
    void expect_same_walks(const fixture::DiscSet& set, size_t at_least)
    {
        fs::create_directories(tmp.host / "set");
        fixture::write_set(set, folder);
        std::string cd1 = folder + "\\cd1";
        std::vector<Seen> inline_walk = walk(inline_record_source(), cd1, disc::kHeaderSize);
        ASSERT_GE(inline_walk.size(), at_least);
        for (int decoders : {1, 2, 5}) {
            SCOPED_TRACE(std::to_string(decoders) + " decoders");
            DecodeAhead ahead;
            ASSERT_EQ(ahead.create(decoders), 1);
            ASSERT_LT(ahead.slot_count(), (int)inline_walk.size() / 4);  // the ring wraps many times
            std::vector<Seen> ahead_walk = walk(ahead.source(), cd1, disc::kHeaderSize);
            ASSERT_EQ(ahead_walk.size(), inline_walk.size());
            for (size_t i = 0; i < inline_walk.size(); ++i)
                ASSERT_TRUE(ahead_walk[i] == inline_walk[i])
                    << "record " << i << " at offset " << inline_walk[i].offset << ": status " << ahead_walk[i].status
                    << "/" << inline_walk[i].status << ", type " << ahead_walk[i].type << "/" << inline_walk[i].type
                    << ", inflated " << ahead_walk[i].inflated << "/" << inline_walk[i].inflated << ", "
                    << ahead_walk[i].data.size() << "/" << inline_walk[i].data.size() << " bytes";
            // The same source again on the same disc: nothing left over.
            EXPECT_TRUE(walk(ahead.source(), cd1, disc::kHeaderSize) == inline_walk);
            ahead.release();
        }
    }
};

TEST_F(DecodeAheadOrder, CleanDiscComesInOrderUpToItsEndRecord)
{
    fixture::DiscSet set = mixed_set(60);
    set.add_raw(0, fixture::end_disc());
    set.add_file(0, "\\after\\the\\end", "never read");
    expect_same_walks(set, 150);
}

// A damaged stream is reported in its own place; the reader's later
// failures (a length outside the buffer, then a file cut short) only where
// they are, after every record before them.
TEST_F(DecodeAheadOrder, DamageAndReaderFailuresKeepTheirPlaces)
{
    fixture::DiscSet set = mixed_set(30);
    set.add_raw(0, fixture::raw_record(disc::kData, bad_stream(compressible(100000, 3))));
    set.add_raw(0, fixture::raw_record(disc::kFile, "not a zlib stream at all"));
    fixture::DiscSet more = mixed_set(20);
    set.add_raw(0, more.streams[0]);
    set.add_raw(0, fixture::raw_record(disc::kData, disc::kMaxCompressed + 1, "xx"));
    expect_same_walks(set, 100);

    fixture::DiscSet cut = mixed_set(30);
    std::string last = fixture::data(random_bytes(5000, 9));
    cut.add_raw(0, last.substr(0, last.size() / 2));
    expect_same_walks(cut, 80);
}

// Batches of small records: every record in its place, a damaged small
// stream in the middle of a batch, a bad length after it, and a disc cut
// off inside a run of small records.
TEST_F(DecodeAheadOrder, BatchesOfSmallRecordsKeepOrderAndDamage)
{
    fixture::DiscSet set = small_records_set(400);
    set.add_raw(0, fixture::end_disc());
    expect_same_walks(set, 1200);

    fixture::DiscSet damaged = small_records_set(150);
    damaged.add_raw(0, fixture::raw_record(disc::kFile, bad_stream("\\s\\damaged")));
    fixture::DiscSet more = small_records_set(60);
    for (const std::string& r : more.streams)
        damaged.add_raw(0, r);
    damaged.add_raw(0, fixture::raw_record(disc::kData, disc::kMaxCompressed + 1, "xx"));
    expect_same_walks(damaged, 600);

    fixture::DiscSet cut = small_records_set(200);
    std::string last = fixture::data("tail");
    cut.add_raw(0, last.substr(0, last.size() - 2));
    expect_same_walks(cut, 600);
}

struct DecodeAheadEngine : EngineTest {
    // Runs the installation with the inline source instead of the program's
    // decode-ahead one.
    int run_inline()
    {
        const DecodedRecordSource* saved = records;
        records = nullptr;
        int ok = run();
        records = saved;
        return ok;
    }

    // `set` written, then cancelled at each progress call of `cancels`: each
    // run stops after exactly that record and rolls everything back; then
    // the whole set installs (1 when it did).
    int cancels_roll_back(const fixture::DiscSet& set, std::initializer_list<int32_t> cancels)
    {
        Snapshot before = written(set);
        for (int32_t at : cancels) {
            SCOPED_TRACE("cancel at progress call " + std::to_string(at));
            Calls::reset();
            Calls::cancel_at = at;
            EXPECT_EQ(run(), 0);
            EXPECT_EQ((int32_t)Calls::progress.size(), at);
            EXPECT_TRUE(folder_is(before));
        }
        Calls::reset();
        return run();
    }
};

// The first damaged record in disc order stops the installation, whatever
// the decoders ahead of it found: the same progress calls and messages as
// inline, and everything rolled back.
TEST_F(DecodeAheadEngine, DamageAheadStopsAtTheFirstDamagedRecordInOrder)
{
    fixture::DiscSet set = mixed_set(24);
    set.add_file(0, "\\d\\damaged");
    set.add_raw(0, fixture::raw_record(disc::kData, bad_stream(compressible(120000, 5))));
    set.add_raw(0, fixture::close_file());
    fixture::DiscSet more = mixed_set(24);
    set.add_raw(0, more.streams[0]);
    set.add_raw(0, fixture::raw_record(disc::kData, -5, "x"));
    write(set);
    Snapshot before = snapshot(tmp.host);

    EXPECT_EQ(run_inline(), 0);
    std::vector<int32_t> inline_progress = Calls::progress;
    std::vector<std::string> inline_boxes = box_texts();
    ASSERT_GT(inline_progress.size(), 60u);
    EXPECT_TRUE(folder_is(before));

    Calls::reset();
    BoxRecorder::shown.clear();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(Calls::progress, inline_progress);
    EXPECT_EQ(box_texts(), inline_boxes);
    ASSERT_EQ(box_texts().size(), 1u);
    EXPECT_NE(box_texts()[0].find("安裝資料損毀"), std::string::npos) << box_texts()[0];
    EXPECT_TRUE(folder_is(before));
}

// A cancel while decoders are records ahead stops after exactly that record
// and rolls back; the same source then installs the whole set.
TEST_F(DecodeAheadEngine, CancelWhileDecodersAreAheadStopsCleanly)
{
    ASSERT_EQ(cancels_roll_back(mixed_set(40), {1, 2, 5, 17}), 1);
    EXPECT_EQ(read_file(inst + "\\d\\f0"), compressible(disc::kMaxDecompressed, 0));
    EXPECT_EQ(read_file(inst + "\\d\\f39"), compressible(150000, 39) + compressible(1000, 46));
    EXPECT_EQ(read_file(inst + "\\d\\f38"), "x38");
}

// A cancel in the middle of a batch of small records stops after exactly
// that record and rolls back; the whole set then installs.
TEST_F(DecodeAheadEngine, CancelInsideABatchOfSmallRecords)
{
    ASSERT_EQ(cancels_roll_back(small_records_set(300), {3, 40, 130, 611}), 1);
    EXPECT_EQ(read_file(inst + "\\s\\g298"), "298");
    EXPECT_EQ(read_file(inst + "\\s\\g297"), random_bytes(3000, 297));
    EXPECT_EQ(read_file(inst + "\\s\\g292"), std::string(100000, (char)('a' + 292 % 26)));
    EXPECT_EQ(read_file(inst + "\\s\\g249"), compressible(disc::kMaxDecompressed, 249));
}

// The toolkit's extract gives the same tree for every thread count, over a
// disc boundary that a file continues across.
TEST_F(TwoDiscSet, ExtractedTreesAreIdenticalForEveryThreadCount)
{
    Snapshot expected = snapshot(game);
    ASSERT_GT(expected.size(), 5u);
    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        fs::path dest = tmp.host / ("x" + std::to_string(threads));
        ExtractOptions options;
        options.threads = threads;
        std::string error;
        ASSERT_TRUE(disc_extract(disc_args(out, count), dest, options, &error)) << error;
        EXPECT_EQ(snapshot(dest), expected);
    }
}

// The second disc is asked for while no decoder runs: named on the terminal
// it is extracted; missing, the extraction fails and leaves nothing.
TEST_F(TwoDiscSet, MissingDiscIsAskedForBetweenDiscsWhenDecodingAhead)
{
    fs::path answers = tmp.host / "answers.txt";
    put_host_bytes(answers, utf8_of(out / "disc2") + "\n");
    TerminalPrompts terminal(answers);
    ASSERT_TRUE(terminal.opened());
    terminal.options.threads = 3;
    std::string error;
    fs::path dest = tmp.host / "asked";
    EXPECT_TRUE(disc_extract(disc_args(out, 1), dest, terminal.options, &error)) << error;
    EXPECT_NE(terminal.said_text().find("Insert disc 2"), std::string::npos);
    EXPECT_EQ(snapshot(dest), snapshot(game));

    ExtractOptions options;
    options.threads = 3;
    fs::path none = tmp.host / "none";
    EXPECT_FALSE(disc_extract(disc_args(out, 1), none, options, &error));
    EXPECT_NE(error.find("disc 2"), std::string::npos) << error;
    EXPECT_TRUE(!fs::exists(none) || fs::is_empty(none));
}

}  // namespace
