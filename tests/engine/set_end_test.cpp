// How an installation ends: every output file must close (the runtime
// writes its buffered bytes then), and the set must have delivered the
// header's total of decompressed bytes. Either failure rolls back.
#include "engine_fixture.h"

#include "platform.h"

using fixture::DiscSet;

namespace {

const std::string kDamaged = "磁碟錯誤!|安裝資料損毀";
const std::string kCannotWrite = "磁碟錯誤!|無法寫入磁碟";

// Three files, each closed another way: by the next file record, by a
// close record on the next disc, and by the end of the set (no close
// record, no end record).
DiscSet three_closings()
{
    DiscSet set;
    set.add_dir(0, "\\d");
    set.add_file(0, "\\d\\next.txt", "closed by the next file");
    set.add_file(0, "\\across.bin", random_bytes(3000, 4));
    set.add_raw(0, fixture::end_disc());
    set.add_data(1, random_bytes(500, 5));
    set.add_raw(1, fixture::close_file());
    set.add_file(1, "\\open-at-end.txt", "the set ends here");
    return set;
}

// Three discs: a folder and a file on each, one file running from disc 1
// onto disc 2. `salt` changes the bytes and lengths of disc 2's data.
DiscSet three_discs(int salt)
{
    DiscSet set;
    set.add_dir(0, "\\a");
    set.add_file(0, "\\a\\one.bin", random_bytes(1500, 1));
    set.add_raw(0, fixture::close_file());
    set.add_file(0, "\\runs-on.bin", random_bytes(700, 2));
    set.add_data(0, random_bytes(300, 12));
    set.add_raw(0, fixture::end_disc());
    set.add_data(1, random_bytes(900 + salt, 3 + salt));
    set.add_raw(1, fixture::close_file());
    set.add_file(1, "\\two.bin", random_bytes(400 + salt, 5 + salt));
    set.add_raw(1, fixture::close_file());
    set.add_raw(1, fixture::end_disc());
    set.add_file(2, "\\three.bin", random_bytes(300, 7));
    set.add_raw(2, fixture::close_file());
    set.add_raw(2, fixture::end_disc());
    return set;
}

}  // namespace

TEST_F(EngineTest, FileThatFailsToCloseIsAWriteErrorAndRollsBack)
{
    write(three_closings());
    long closes_before = plat_close_count();
    ASSERT_EQ(run(), 1);
    long closes = plat_close_count() - closes_before;
    std::error_code ec;
    fs::remove_all(host_of(inst), ec);
    Snapshot before = snapshot(tmp.host);
    // Every close of the run fails once in turn: those of the disc files
    // read do not matter, each of the three output files' does.
    int failed_runs = 0;
    for (long close = 1; close <= closes; ++close) {
        SCOPED_TRACE("close " + std::to_string(close) + " fails");
        BoxRecorder::shown.clear();
        plat_fail_close_after(close - 1);
        int result = run();
        plat_fail_close_after(-1);
        if (result == 1) {
            fs::remove_all(host_of(inst), ec);
            continue;
        }
        ++failed_runs;
        EXPECT_EQ(box_texts(), std::vector<std::string>{kCannotWrite});
        EXPECT_TRUE(folder_is(before));
    }
    EXPECT_EQ(failed_runs, 3);
}

// A set whose records do not add up to the header's total is damaged data,
// however sound each record is.
struct ShortSet {
    const char* what;
    DiscSet (*make)();
};

const ShortSet kShortSets[] = {
    {"disc 1 cut at a record boundary (the file running on to disc 2 comes out short)",
     [] {
         DiscSet whole = three_discs(0);
         DiscSet cut = three_discs(0);
         // Disc 1 ends after \runs-on.bin's first data record: its second
         // and the end record are gone, and disc 2 goes on with the file.
         std::string first = fixture::dir("\\a") + fixture::file("\\a\\one.bin") +
                             fixture::data(random_bytes(1500, 1)) + fixture::close_file() +
                             fixture::file("\\runs-on.bin") + fixture::data(random_bytes(700, 2));
         EXPECT_EQ(cut.streams[0].compare(0, first.size(), first), 0);
         cut.streams[0] = first;
         cut.use_total_override = true;
         cut.total_override = (int32_t)whole.total;
         return cut;
     }},
    {"disc 2 of another pressing (its records sound, their lengths other)",
     [] {
         DiscSet mine = three_discs(0);
         DiscSet other = three_discs(40);
         mine.streams[1] = other.streams[1];
         mine.use_total_override = true;
         mine.total_override = (int32_t)three_discs(0).total;
         return mine;
     }},
    {"disc count 3 flipped to 2 (disc 3 never read)",
     [] {
         DiscSet set = three_discs(0);
         set.disc_count_override = 2;
         return set;
     }},
    {"a total one byte larger than the records",
     [] {
         DiscSet set = three_discs(0);
         set.use_total_override = true;
         set.total_override = (int32_t)set.total + 1;
         return set;
     }},
};

class ShortSetTest : public EngineTest, public ::testing::WithParamInterface<ShortSet> {};

TEST_P(ShortSetTest, IsDamagedDataAndRollsBack)
{
    Snapshot before = written(GetParam().make());
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kDamaged});
    EXPECT_TRUE(folder_is(before));
}

INSTANTIATE_TEST_SUITE_P(Sets, ShortSetTest, ::testing::ValuesIn(kShortSets),
                         [](const ::testing::TestParamInfo<ShortSet>& info) {
                             return "case" + std::to_string(info.index);
                         });

TEST_F(EngineTest, SetWhoseTotalMatchesInstallsWithoutEndRecordsOrCloses)
{
    // The end of each disc file acts as its end record, and the last file
    // is still open when the set ends: whole, since the total matches.
    DiscSet set;
    set.add_file(0, "\\a.bin", random_bytes(800, 9));
    set.add_data(1, random_bytes(200, 10));
    write(set);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read_file(inst + "\\a.bin"), random_bytes(800, 9) + random_bytes(200, 10));
    EXPECT_TRUE(BoxRecorder::shown.empty());
}
