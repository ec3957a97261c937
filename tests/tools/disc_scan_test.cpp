// `list` and `test` over sound and damaged disc sets: each damage is named
// with its disc and the byte offset of the record it is in.
#include "disc_extract.h"
#include "disc_scan.h"
#include "disc_tree.h"
#include "test_support.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// A record as the test finds it by walking the bytes itself.
struct RawRecord {
    int type;
    size_t offset;
    size_t length;  // L for types 1-3
};

std::vector<RawRecord> raw_records(const std::string& disc, size_t start)
{
    std::vector<RawRecord> out;
    size_t p = start;
    while (p < disc.size()) {
        int type = (uint8_t)disc[p];
        RawRecord r{type, p, 0};
        if (type >= 1 && type <= 3) {
            r.length = (uint8_t)disc[p + 1] | (uint8_t)disc[p + 2] << 8 | (uint8_t)disc[p + 3] << 16 |
                       (size_t)(uint8_t)disc[p + 4] << 24;
            p += 5 + r.length;
        } else {
            p += 1;
        }
        out.push_back(r);
    }
    return out;
}

struct CheckFixture : TwoDiscSet {
    DiscSetSummary walk(std::vector<DiscFile>* discs = nullptr)
    {
        std::vector<DiscFile> local;
        std::string error;
        EXPECT_TRUE(collect_discs(disc_args(out, count), &local, &error)) << error;
        DiscSetSummary s;
        walk_disc_set(local, std::function<void(const TreeEntry&)>(), &s);
        if (discs)
            *discs = local;
        return s;
    }
};

TEST_F(CheckFixture, SoundSetPassesAndListsEveryEntry)
{
    std::vector<DiscFile> discs;
    std::string error;
    ASSERT_TRUE(collect_discs(disc_args(out, count), &discs, &error)) << error;
    DiscSetSummary s;
    std::map<std::string, int64_t> listed;
    EXPECT_EQ(walk_disc_set(
                  discs, [&](const TreeEntry& e) { listed[e.path] = e.is_directory ? -1 : e.size; }, &s),
              1);
    EXPECT_TRUE(s.damage.empty());
    EXPECT_EQ(utf8(s.header.product), "許功蓋大冒險");
    EXPECT_EQ(s.header.disc_count, 2);
    std::map<std::string, int64_t> expected;
    for (const auto& kv : snapshot(game)) {
        std::string path = "\\" + kv.first;
        std::replace(path.begin(), path.end(), '/', '\\');
        expected[path] = kv.second == kFolderMark ? -1 : (int64_t)kv.second.size();
    }
    EXPECT_EQ(listed, expected);
}

// Each case damages the set in one way; the report must name the disc and the
// offset where it is.
TEST_F(CheckFixture, DamageIsReportedWithDiscAndOffset)
{
    const std::string cd1 = host_bytes(cd(1)), cd2 = host_bytes(cd(2));
    const std::vector<RawRecord> r1 = raw_records(cd1, disc::kHeaderSize), r2 = raw_records(cd2, 0);
    auto first_of = [](const std::vector<RawRecord>& rs, int type) {
        for (const RawRecord& r : rs)
            if (r.type == type)
                return r;
        return RawRecord{0, 0, 0};
    };
    const RawRecord data2 = first_of(r2, disc::kData);
    const RawRecord dir1 = first_of(r1, disc::kDirectory);
    const RawRecord last1 = r1[r1.size() - 2];  // the record before disc 1's end record
    ASSERT_EQ(r2.back().type, disc::kEnd);
    ASSERT_GT(data2.length, 1000u);
    // Before the close and end records: a record that counts in the total.
    const RawRecord cut2 = r2[r2.size() - 3];
    ASSERT_TRUE(cut2.type >= disc::kDirectory && cut2.type <= disc::kData);

    struct Case {
        const char* what;
        std::function<void()> damage;
        int disc;
        int64_t offset;
        const char* says;
    };
    std::vector<Case> cases = {
        {"byte flipped inside compressed data",
         [&] {
             std::string b = cd2;
             b[data2.offset + 5 + data2.length / 2] ^= 0x01;
             put_host_bytes(cd(2), b);
         },
         2, (int64_t)data2.offset, "does not decompress"},
        {"Adler-32 trailer changed",
         [&] {
             std::string b = cd2;
             b[data2.offset + 5 + data2.length - 1] ^= 0x80;
             put_host_bytes(cd(2), b);
         },
         2, (int64_t)data2.offset, "does not decompress"},
        {"disc 1 cut inside a record", [&] { put_host_bytes(cd(1), cd1.substr(0, last1.offset + 3)); }, 1,
         (int64_t)last1.offset, "cut short"},
        {"length beyond the engine's buffer",
         [&] {
             std::string b = cd2;
             b[data2.offset + 4] = 0x7F;
             put_host_bytes(cd(2), b);
         },
         2, (int64_t)data2.offset, "length"},
        {"type byte changed to an unknown type",
         [&] {
             std::string b = cd2;
             b[data2.offset] = 9;
             put_host_bytes(cd(2), b);
         },
         2, (int64_t)data2.offset, "unknown record type 9"},
        {"data record turned into a directory record",
         [&] {
             std::string b = cd2;
             b[data2.offset] = disc::kDirectory;
             put_host_bytes(cd(2), b);
         },
         2, (int64_t)data2.offset, "path refused"},
        {"directory path made to climb out with ..",
         [&] {
             // Replace the first directory record with one whose path is "\.."
             // (compressed by zlib itself) of the same total length is not
             // possible, so rebuild disc 1 around it.
             std::string path = std::string("\\..") + '\0';
             std::vector<unsigned char> z(64);
             size_t zl = 0;
             RecordCompressor c;
             c.create(kCompressorZlib, 6);
             zl = c.compress(path.data(), path.size(), z.data(), z.size());
             c.release();
             std::string rec(1, (char)disc::kDirectory);
             for (int i = 0; i < 4; ++i)
                 rec += (char)((zl >> (8 * i)) & 0xFF);
             rec.append((const char*)z.data(), zl);
             std::string b = cd1.substr(0, dir1.offset) + rec + cd1.substr(dir1.offset + 5 + dir1.length);
             put_host_bytes(cd(1), b);
         },
         1, (int64_t)dir1.offset, "dot"},
        {"disc 2 cut at a record boundary (its last three records gone)",
         [&] { put_host_bytes(cd(2), cd2.substr(0, cut2.offset)); }, 2, (int64_t)cut2.offset, "without an end record"},
        {"bytes after the end record", [&] { put_host_bytes(cd(2), cd2 + "junk"); }, 2, (int64_t)cd2.size(),
         "after the end record"},
        {"header total changed",
         [&] {
             std::string b = cd1;
             b[disc::kTotalSizeAt] ^= 0x01;
             put_host_bytes(cd(1), b);
         },
         1, disc::kTotalSizeAt, "total size"},
        {"header text with garbage after its NUL",
         [&] {
             std::string b = cd1;
             b[disc::kRegkeyAt + 30] = 'x';
             put_host_bytes(cd(1), b);
         },
         1, disc::kRegkeyAt, "registry key"},
        {"header counts a third disc",
         [&] {
             std::string b = cd1;
             b[disc::kDiscCountAt] = 3;
             put_host_bytes(cd(1), b);
         },
         3, -1, "missing"},
        {"disc 1 shorter than the header", [&] { put_host_bytes(cd(1), cd1.substr(0, 100)); }, 1, 0, "header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put_host_bytes(cd(1), cd1);
        put_host_bytes(cd(2), cd2);
        c.damage();
        std::vector<DiscFile> discs;
        DiscSetSummary s = walk(&discs);
        ASSERT_FALSE(s.damage.empty());
        const DiscDamage& d = s.damage.front();
        EXPECT_EQ(d.disc, c.disc) << d.text;
        EXPECT_EQ(d.offset, c.offset) << d.text;
        EXPECT_NE(d.text.find(c.says), std::string::npos) << d.text;
        std::string line = describe_damage(d, discs);
        EXPECT_NE(line.find("disc " + std::to_string(c.disc)), std::string::npos) << line;
        if (c.offset >= 0) {
            EXPECT_NE(line.find("offset " + std::to_string(c.offset)), std::string::npos) << line;
        }
    }
}

// The end of the last disc file acts as its end record, and a file may
// still be open there: with the header's total matching, that set is sound.
TEST_F(CheckFixture, LastDiscWithoutEndOrCloseRecordIsSoundWhenTheTotalMatches)
{
    std::string cd2 = host_bytes(cd(2));
    std::vector<RawRecord> r2 = raw_records(cd2, 0);
    ASSERT_EQ(r2.back().type, disc::kEnd);
    ASSERT_EQ(r2[r2.size() - 2].type, disc::kClose);
    std::map<std::string, int64_t> sound;
    std::vector<DiscFile> discs;
    std::string error;
    ASSERT_TRUE(collect_discs(disc_args(out, count), &discs, &error)) << error;
    DiscSetSummary s;
    auto list = [&](std::map<std::string, int64_t>* into) {
        return walk_disc_set(
            discs, [&](const TreeEntry& e) { (*into)[e.path] = e.size; }, &s);
    };
    ASSERT_EQ(list(&sound), 1);
    put_host_bytes(cd(2), cd2.substr(0, r2[r2.size() - 2].offset));  // close and end records gone
    std::map<std::string, int64_t> listed;
    EXPECT_EQ(list(&listed), 1);
    EXPECT_TRUE(s.damage.empty()) << s.damage.front().text;
    EXPECT_EQ(listed, sound);  // the file open at the end is listed, whole
}

// Damage inside a file that runs on to disc 2 is reported once: the rest of
// that file's records on disc 2 are not damage of their own.
TEST_F(CheckFixture, DamageBeforeADiscBoundaryIsReportedOnce)
{
    std::string b = host_bytes(cd(1));
    std::vector<RawRecord> rs = raw_records(b, disc::kHeaderSize);
    const RawRecord* last_data = nullptr;
    for (const RawRecord& r : rs)
        if (r.type == disc::kData)
            last_data = &r;
    ASSERT_TRUE(last_data);
    ASSERT_EQ(raw_records(host_bytes(cd(2)), 0).front().type, disc::kData);  // the file continues
    b[last_data->offset + 5 + last_data->length / 2] ^= 0x10;
    put_host_bytes(cd(1), b);
    DiscSetSummary s = walk();
    ASSERT_EQ(s.damage.size(), 1u) << s.damage.back().text;
    EXPECT_EQ(s.damage[0].disc, 1);
    EXPECT_EQ(s.damage[0].offset, (int64_t)last_data->offset);
}

// What `test` calls damaged, the engine refuses too, and leaves nothing.
TEST_F(CheckFixture, DamagedSetDoesNotExtract)
{
    std::string b = host_bytes(cd(2));
    std::vector<RawRecord> rs = raw_records(b, 0);
    for (const RawRecord& r : rs)
        if (r.type == disc::kData) {
            b[r.offset + 5 + r.length / 2] ^= 0x40;
            break;
        }
    put_host_bytes(cd(2), b);
    fs::path dest = tmp.host / "dest";
    std::string error;
    EXPECT_FALSE(disc_extract(disc_args(out, count), dest, ExtractOptions(), &error));
    EXPECT_TRUE(!fs::exists(dest) || fs::is_empty(dest));
}

TEST_F(CheckFixture, DiscsAreNamedByFoldersOrFiles)
{
    std::vector<DiscFile> discs;
    std::string error;
    // One folder holding every disc file.
    fs::path all = tmp.host / "all";
    fs::create_directories(all);
    fs::copy_file(cd(1), all / "cd1");
    fs::copy_file(cd(2), all / "cd2");
    put_host_bytes(all / "cd02", "not a disc name");
    ASSERT_TRUE(collect_discs({utf8_of(all)}, &discs, &error)) << error;
    ASSERT_EQ(discs.size(), 2u);
    EXPECT_EQ(discs[0].number, 1);
    EXPECT_EQ(discs[1].number, 2);
    DiscSetSummary s;
    EXPECT_EQ(walk_disc_set(discs, std::function<void(const TreeEntry&)>(), &s), 1);
    // Files given directly, in any order.
    ASSERT_TRUE(collect_discs({utf8_of(cd(2)), utf8_of(cd(1))}, &discs, &error)) << error;
    EXPECT_EQ(discs[0].number, 1);
    // The same disc twice, and things that are no disc.
    EXPECT_FALSE(collect_discs({utf8_of(all), utf8_of(cd(1))}, &discs, &error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;
    EXPECT_FALSE(collect_discs({utf8_of(game)}, &discs, &error));
    EXPECT_FALSE(collect_discs({utf8_of(tmp.host / "nothing")}, &discs, &error));
}

}  // namespace
