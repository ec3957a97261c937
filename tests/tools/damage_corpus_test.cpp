// A corpus of damaged disc sets, written byte by byte here (not by pack):
// two discs of a few hundred files in folders, every file cut into records
// of one size but its last, one file running on from disc 1 to disc 2, and
// in half the runs the uninstall manifest as the set's last file. Each kind
// of damage is put at a chosen place and at seeded random ones, on folders
// and on an ISO image that xorriso makes, and every salvage is judged by the
// same rules:
//  - the run is complete exactly when nothing was lost;
//  - no file is named lost as a whole while part of it was saved;
//  - every file that came out damaged is named, unless its own file record
//    was hit;
//  - every file whose records were not touched comes out whole, unnamed;
//  - every byte saved is the set's at its offset (zeros where the report
//    says it filled), and nothing is written outside the output folder.
// The test prints the accuracy table of the corpus (the README shows it).
#include "disc_fixture.h"
#include "disc_salvage.h"
#include "iso_medium.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

const int32_t kRecordSize = 8192;  // every record of a file but its last

// Where a file's records lie: its file record up to its close record, on
// one disc or two.
struct Span {
    int disc;  // 0-based
    int64_t first, end;
};

struct CorpusFile {
    std::string path;  // record path, "\d3\f17.bin"
    std::string bytes;
    std::vector<Span> spans;
    Span path_record;
};

struct Corpus {
    std::vector<CorpusFile> files;
    std::vector<std::string> discs;  // cd1 (with its header), cd2
};

uint32_t next_random(uint32_t* seed)
{
    *seed = *seed * 1103515245u + 12345u;
    return *seed >> 8;
}

// `count` files; with `manifest`, uninstall.lst lists them last.
Corpus make_corpus(int count, bool manifest, uint32_t seed)
{
    fixture::DiscSet set;
    Corpus c;
    auto offset = [&](int disc) {
        return (disc == 0 ? disc::kHeaderSize : 0) +
               (int64_t)((size_t)disc < set.streams.size() ? set.streams[disc].size() : 0);
    };
    int disc = 0;
    for (int i = 0; i < count; ++i) {
        CorpusFile f;
        f.path = "\\d" + std::to_string(i % 7) + "\\f" + std::to_string(i) + ".bin";
        size_t size = next_random(&seed) % (4 * kRecordSize);
        if (i == count / 2)
            size = 5 * kRecordSize + 100;  // runs on to disc 2
        for (size_t k = 0; k < size; ++k)
            f.bytes += (char)(next_random(&seed) & (k % 3 ? 0xFF : 0x0F));
        if (i < 7)
            set.add_dir(disc, "\\d" + std::to_string(i));
        int64_t first = offset(disc);
        set.add_file(disc, f.path);
        f.path_record = Span{disc, first, offset(disc)};
        for (size_t at = 0; at < f.bytes.size(); at += kRecordSize) {
            if (i == count / 2 && at == 3 * kRecordSize) {
                f.spans.push_back(Span{disc, first, offset(disc)});
                set.add_raw(disc, fixture::end_disc());
                disc = 1;
                first = 0;
            }
            set.add_data(disc, f.bytes.substr(at, kRecordSize));
        }
        set.add_raw(disc, fixture::close_file());
        f.spans.push_back(Span{disc, first, offset(disc)});
        c.files.push_back(f);
    }
    if (manifest) {
        std::vector<std::pair<std::string, std::string>> listed;
        for (const CorpusFile& f : c.files)
            listed.push_back({f.path, f.bytes});
        set.add_file(1, "\\uninstall.lst", fixture::manifest_text(listed));
        set.add_raw(1, fixture::close_file());
    }
    set.add_raw(1, fixture::end_disc());
    c.discs = set.files();
    return c;
}

// One run's damage: the bytes it changed, per disc, and what a whole disc lost.
struct Damage {
    std::vector<std::pair<int64_t, int64_t>> hit[2];  // [first, end) per disc
    bool disc_lost[2] = {false, false};
    bool touches(const Span& s) const
    {
        if (disc_lost[s.disc])
            return true;
        for (const auto& h : hit[s.disc])
            if (h.first < s.end && s.first < h.second)
                return true;
        return false;
    }
};

void overwrite(std::string* disc, Damage* d, int n, int64_t at, const std::string& bytes)
{
    int64_t from = n == 0 ? std::max<int64_t>(at, disc::kHeaderSize) : at;
    int64_t to = std::min<int64_t>(at + (int64_t)bytes.size(), (int64_t)disc->size());
    bool changed = false;
    for (int64_t k = from; k < to; ++k) {
        changed = changed || (*disc)[(size_t)k] != bytes[(size_t)(k - at)];
        (*disc)[(size_t)k] = bytes[(size_t)(k - at)];
    }
    if (changed)
        d->hit[n].push_back({from, to});
}

enum Kind {
    kZeros16K,
    kZeroSectors,
    kFlippedBytes,
    kZeroedLength,
    kStreamByte,
    kCloseToEnd,
    kCutShort,
    kDiscMissing,
    kIsoZeros,
    kKinds
};
const char* const kKindNames[] = {"16 KiB of zeros",
                                  "three 2 KiB sectors zeroed",
                                  "four bytes flipped",
                                  "a record's length zeroed",
                                  "a byte of a stream changed",
                                  "close records turned into end",
                                  "disc 2 cut short",
                                  "disc 2 missing",
                                  "ISO image: 16 KiB zeroed in cd2"};

// Damages `c`'s discs in place: kind `k`, run `run` (0 the chosen place,
// then seeded random ones).
Damage damage(Corpus* c, Kind k, int run, uint32_t seed)
{
    Damage d;
    std::string& one = c->discs[0];
    std::string& two = c->discs[1];
    auto random_in = [&](int n, int64_t room) {
        int64_t start = n == 0 ? disc::kHeaderSize : 0;
        int64_t size = (int64_t)c->discs[n].size() - start - room;
        return start + (int64_t)(next_random(&seed) % (uint32_t)std::max<int64_t>(size, 1));
    };
    switch (k) {
    case kZeros16K:
    case kIsoZeros: {
        int n = k == kIsoZeros ? 1 : (run == 0 ? 0 : (int)(next_random(&seed) % 2));
        int64_t at = run == 0 ? (int64_t)c->discs[n].size() / 2 : random_in(n, 16384);
        overwrite(&c->discs[n], &d, n, at, std::string(16384, '\0'));
        break;
    }
    case kZeroSectors:
        for (int s = 0; s < 3; ++s) {
            int n = (int)(next_random(&seed) % 2);
            int64_t at = random_in(n, 2048) / 2048 * 2048;
            overwrite(&c->discs[n], &d, n, at, std::string(2048, '\0'));
        }
        break;
    case kFlippedBytes:
        for (int s = 0; s < 4; ++s) {
            int n = (int)(next_random(&seed) % 2);
            int64_t at = random_in(n, 1);
            overwrite(&c->discs[n], &d, n, at,
                      std::string(1, (char)(c->discs[n][(size_t)at] ^ (1 + next_random(&seed) % 255))));
        }
        break;
    case kZeroedLength:
    case kStreamByte: {
        // A data record of a file on disc 1: its length field, or one byte
        // in the middle of its stream.
        const CorpusFile& f = c->files[run == 0 ? 3 : 1 + next_random(&seed) % (c->files.size() / 2 - 1)];
        int64_t record = f.path_record.end;  // its first data record
        if (record + 1 >= f.spans[0].end - 1)
            record = f.path_record.first;  // no data: its file record
        int32_t length = (int32_t)((unsigned char)one[record + 1] | (unsigned char)one[record + 2] << 8 |
                                   (unsigned char)one[record + 3] << 16);
        if (k == kZeroedLength)
            overwrite(&one, &d, 0, record + 1, std::string(4, '\0'));
        else
            overwrite(&one, &d, 0, record + 5 + length / 2,
                      std::string(1, (char)(one[record + 5 + length / 2] ^ 0x55)));
        break;
    }
    case kCloseToEnd:  // three close records of each disc
        for (int n = 0; n < 2; ++n)
            for (int s = 0, k = 0; s < 3 && k < (int)c->files.size(); ++k) {
                const Span& last = c->files[(size_t)(run == 0 ? k : next_random(&seed) % c->files.size())].spans.back();
                if (last.disc == n && ++s)
                    overwrite(&c->discs[n], &d, n, last.end - 1, std::string(1, (char)disc::kEnd));
            }
        break;
    case kCutShort: {
        int64_t at = run == 0 ? (int64_t)two.size() / 2 : random_in(1, 1);
        d.hit[1].push_back({at, (int64_t)two.size()});
        two.resize((size_t)at);
        break;
    }
    case kDiscMissing:
        d.disc_lost[1] = true;
        break;
    default:
        break;
    }
    return d;
}

struct Tally {
    int runs = 0;
    int64_t damaged = 0;    // files whose records the damage touched
    int64_t whole = 0;      // of which came out whole
    int64_t partly = 0;     // came out in part (cut, or with zeros where the report says)
    int64_t named = 0;      // damaged files that came out other than whole, named in the report
    int64_t nameable = 0;   // damaged files that came out other than whole, their file record intact
    int64_t untouched = 0;  // files the damage did not touch
    int64_t untouched_whole = 0;
    int64_t saved_bytes = 0, damaged_bytes = 0;
};

struct DamageCorpus : ::testing::Test {
    TempDir tmp;
    Tally tally[kKinds];

    // Salvages `c` (damaged by `d`) from folders, or from an ISO image of
    // disc 2, and judges the result.
    void judge(const Corpus& c, const Damage& d, Kind kind, const std::string& label)
    {
        SCOPED_TRACE(label);
        fs::path where = tmp.host / label;
        fs::create_directories(where / "disc1");
        fs::create_directories(where / "disc2");
        put_host_bytes(where / "disc1" / "cd1", c.discs[0]);
        std::vector<std::string> args{utf8_of(where / "disc1")};
        if (!d.disc_lost[1]) {
            put_host_bytes(where / "disc2" / "cd2", c.discs[1]);
            args.push_back(utf8_of(where / "disc2"));
        }
        if (kind == kIsoZeros) {
            std::string error;
            ASSERT_TRUE(make_iso(where / "disc2", where / "disc2.iso", "CORPUS_2", &error)) << error;
            args.back() = utf8_of(where / "disc2.iso");
        }
        std::vector<DiscFile> discs;
        std::string error;
        ASSERT_EQ(collect_discs(args, &discs, &error), 1) << error;
        fs::path out = where / "out";
        SalvageOptions options;
        SalvageResult result;
        ASSERT_EQ(salvage_disc_set(discs, out, options, &result, &error), 1) << error;

        std::map<std::string, std::vector<std::pair<int64_t, int64_t>>> named;
        for (const SalvageLoss& l : result.losses)
            if (!l.path.empty()) {
                named[l.path];
                if (l.filled_from >= 0)
                    named[l.path].push_back({l.filled_from, l.filled_to});
                // Nothing is named lost as a whole: what was saved stays.
                EXPECT_TRUE(l.kept >= 0 || l.filled_from >= 0) << describe_loss(l);
            }
        Snapshot saved = snapshot(out);
        Tally& t = tally[kind];
        ++t.runs;
        bool anything_lost = false;
        for (const CorpusFile& f : c.files) {
            bool touched = false;
            for (const Span& s : f.spans)
                touched = touched || d.touches(s);
            std::string rel = f.path.substr(1);
            std::replace(rel.begin(), rel.end(), '\\', '/');
            auto got = saved.find(rel);
            bool whole = got != saved.end() && got->second == f.bytes && !named.count(f.path);
            anything_lost = anything_lost || !whole;
            if (!touched) {
                ++t.untouched;
                t.untouched_whole += whole;
                EXPECT_TRUE(whole) << f.path << " was not touched, yet "
                                   << (named.count(f.path) ? "is named" : "did not come out whole");
                continue;
            }
            ++t.damaged;
            t.damaged_bytes += (int64_t)f.bytes.size();
            if (whole) {
                ++t.whole;
                t.saved_bytes += (int64_t)f.bytes.size();
                continue;
            }
            bool path_intact = !d.touches(f.path_record);
            t.nameable += path_intact;
            t.named += path_intact && named.count(f.path);
            if (path_intact) {
                EXPECT_TRUE(named.count(f.path)) << f.path << " came out damaged and is not named";
            }
            if (got == saved.end())
                continue;
            // Every byte saved is the set's, but where the report says zeros.
            std::string want = f.bytes;
            for (const auto& z : named[f.path])
                for (int64_t k = z.first; k <= z.second && k < (int64_t)want.size(); ++k)
                    want[(size_t)k] = '\0';
            EXPECT_LE(got->second.size(), want.size()) << f.path;
            EXPECT_EQ(want.compare(0, got->second.size(), got->second), 0) << f.path << " holds bytes not its own";
            ++t.partly;
            int64_t right = 0;
            for (size_t k = 0; k < got->second.size() && k < f.bytes.size(); ++k)
                right += got->second[k] == f.bytes[k];
            t.saved_bytes += right;
        }
        EXPECT_EQ(result.complete() == 1, !anything_lost && result.losses.empty());
        EXPECT_FALSE(result.complete()) << "damaged, yet complete";
        // Nothing outside the output folder.
        for (const auto& e : fs::directory_iterator(where)) {
            std::string name = utf8_of(e.path().filename());
            EXPECT_TRUE(name == "disc1" || name == "disc2" || name == "disc2.iso" || name == "out") << name;
        }
        fs::remove_all(where);
    }
};

TEST_F(DamageCorpus, EveryKindOfDamageIsJudgedAndTabulated)
{
    const int kRuns = 6;
    for (int k = 0; k < kKinds; ++k) {
        if (k == kIsoZeros && !xorriso_available())
            continue;
        for (int run = 0; run < (k == kIsoZeros ? 2 : kRuns); ++run) {
            uint32_t seed = 1000u * (uint32_t)k + (uint32_t)run;
            Corpus c = make_corpus(120, run % 2 == 1, seed);
            Damage d = damage(&c, (Kind)k, run, seed * 7u + 1u);
            if (d.hit[0].empty() && d.hit[1].empty() && !d.disc_lost[1])
                continue;  // the bytes were already what the damage writes
            judge(c, d, (Kind)k, "k" + std::to_string(k) + "r" + std::to_string(run));
        }
    }
    printf(
        "| Damage | Runs | Files damaged | Recovered whole | Recovered in part | Named (of nameable) | Untouched files "
        "whole | Bytes of damaged files saved |\n");
    printf("|---|---|---|---|---|---|---|---|\n");
    for (int k = 0; k < kKinds; ++k) {
        const Tally& t = tally[k];
        if (!t.runs)
            continue;
        printf("| %s | %d | %lld | %lld | %lld | %lld / %lld | %lld / %lld | %.1f %% |\n", kKindNames[k], t.runs,
               (long long)t.damaged, (long long)t.whole, (long long)t.partly, (long long)t.named, (long long)t.nameable,
               (long long)t.untouched_whole, (long long)t.untouched,
               t.damaged_bytes ? 100.0 * (double)t.saved_bytes / (double)t.damaged_bytes : 100.0);
    }
}

}  // namespace
