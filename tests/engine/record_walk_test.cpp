// The shared record walk on its own: how it sorts the records of a disc
// into steps, reads on from the offset its caller names, stops, and stops
// its source on every way out.
#include "disc_fixture.h"
#include "record_walk.h"
#include "test_support.h"

#include "file_object.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

const char* kKindNames[] = {"", "folder", "file", "data", "close", "end", "other", "damaged"};

// Every step as "offset kind detail"; damaged records are read on past
// their frame when it holds (`read_on`), and the walk is stopped at step
// `stop_at` (1-based; 0: never).
struct Caller {
    std::vector<std::string> steps;
    bool read_on = true;
    size_t stop_at = 0;
};

int64_t note_step(void* context, const WalkStep& s)
{
    Caller* c = (Caller*)context;
    std::string detail;
    if (s.kind == kWalkFolder || s.kind == kWalkFile)
        detail = std::string(s.path) + " " + std::to_string(s.length);
    else if (s.kind == kWalkData)
        detail = std::string((const char*)s.data, (size_t)s.length);
    else if (s.kind == kWalkDamaged)
        detail = s.path_problem            ? "path"
                 : s.status != kRecordRead ? "status " + std::to_string(s.status)
                                           : "zlib " + std::to_string(s.zlib_status);
    c->steps.push_back(std::to_string(s.record.offset) + " " + kKindNames[s.kind] + (detail.empty() ? "" : " ") +
                       detail);
    if (c->stop_at && c->steps.size() == c->stop_at)
        return kWalkStop;
    if (s.kind == kWalkDamaged && c->read_on && s.status == kRecordRead)
        return s.record.offset + 1 + disc::kLengthSize + s.record.compressed_length;
    return kWalkGoOn;
}

// The inline source, counting its starts and stops.
struct CountedSource {
    InlineRecords inner;
    DecodedRecordSource ops;
    int starts = 0, stops = 0;
    CountedSource()
    {
        inner.create(nullptr, nullptr, 1);
        ops = {this,
               [](void* c, FileObject* f, int32_t at) {
                   CountedSource* s = (CountedSource*)c;
                   ++s->starts;
                   return s->inner.ops.start(&s->inner, f, at);
               },
               [](void* c, DecodedRecord* out) {
                   CountedSource* s = (CountedSource*)c;
                   return s->inner.ops.next(&s->inner, out);
               },
               [](void* c) {
                   CountedSource* s = (CountedSource*)c;
                   ++s->stops;
                   s->inner.ops.stop(&s->inner);
               }};
    }
};

struct RecordWalkTest : ::testing::Test {
    TempDir tmp;
    std::string path = tmp.path("cd2");
    FileObject disc;
    CountedSource source;

    int walk(const std::string& bytes, Caller* caller)
    {
        write_file(path, bytes);
        EXPECT_TRUE(disc.open_read(path.c_str()));
        RecordWalk w = {&source.ops, &disc, 3};
        int end = w.run(0, note_step, caller);
        disc.close();
        EXPECT_EQ(source.starts, source.stops);
        return end;
    }
};

// Offsets of records written one after the other.
std::vector<int64_t> offsets(const std::vector<std::string>& records)
{
    std::vector<int64_t> at;
    int64_t n = 0;
    for (const std::string& r : records) {
        at.push_back(n);
        n += (int64_t)r.size();
    }
    return at;
}

}  // namespace

TEST_F(RecordWalkTest, SortsEveryRecordAndReadsOnWhereTheCallerSays)
{
    std::vector<std::string> records = {
        fixture::dir("\\d"), fixture::file("\\d\\f"), fixture::data("abc"),
        // zlib header, a stored block whose length field is cut short
        fixture::raw_record(disc::kData, std::string("\x78\x9c\x01\x02", 4)), fixture::file("\\d\\.."),
        fixture::close_file(), std::string(1, '\x06'), fixture::end_disc(),
        fixture::raw_record(disc::kFile, 100, "short"),  // L past the end of the file
    };
    std::vector<int64_t> at = offsets(records);
    std::string bytes;
    for (const std::string& r : records)
        bytes += r;
    Caller caller;
    EXPECT_EQ(walk(bytes, &caller), kWalkStopped);  // the last record is cut: nothing to read on from
    std::vector<std::string> expected = {
        std::to_string(at[0]) + " folder \\d 3",
        std::to_string(at[1]) + " file \\d\\f 5",
        std::to_string(at[2]) + " data abc",
        std::to_string(at[3]) + " damaged zlib " + std::to_string(Z_DATA_ERROR),
        std::to_string(at[4]) + " damaged path",
        std::to_string(at[5]) + " close",
        std::to_string(at[6]) + " other",
        std::to_string(at[7]) + " end",
        std::to_string(at[8]) + " damaged status " + std::to_string(kRecordTruncated),
    };
    EXPECT_EQ(caller.steps, expected);
}

TEST_F(RecordWalkTest, EndsAtTheEndOfTheFileOrWhereTheCallerStops)
{
    std::string bytes = fixture::dir("\\a") + fixture::dir("\\b") + fixture::dir("\\c");
    Caller whole;
    EXPECT_EQ(walk(bytes, &whole), kWalkEndOfFile);
    EXPECT_EQ(whole.steps.size(), 3u);
    Caller stopped;
    stopped.stop_at = 2;
    EXPECT_EQ(walk(bytes, &stopped), kWalkStopped);
    EXPECT_EQ(stopped.steps.size(), 2u);
    // A damaged record the caller does not read past stops nothing by
    // itself: the walk goes on with the next record.
    Caller on;
    on.read_on = false;
    std::string damaged = fixture::raw_record(disc::kData, std::string("\x78\x9c\x01\x02", 4));
    EXPECT_EQ(walk(fixture::dir("\\a") + damaged + fixture::dir("\\b"), &on), kWalkEndOfFile);
    EXPECT_EQ(on.steps.size(), 3u);
    // A source that cannot start: no step, and still stopped.
    RecordWalk w = {&source.ops, &disc, 3};
    Caller none;
    EXPECT_EQ(w.run(0, note_step, &none), kWalkNotStarted);
    EXPECT_TRUE(none.steps.empty());
    EXPECT_EQ(source.starts, source.stops);
}
