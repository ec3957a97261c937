// How an installation ends: every output file must close (the runtime
// writes its buffered bytes then), and the records must add up to the
// header's total. Either failure rolls back.
#include "engine_fixture.h"

#include "platform.h"

using fixture::DiscSet;

namespace {

// Three discs, one file running from disc 1 onto disc 2, which closes by a
// close record; the last file closes by the end of the set. `salt` changes
// disc 2's data, as another pressing would.
DiscSet three_discs(int salt)
{
    DiscSet set;
    set.add_file(0, "\\one.bin", random_bytes(1500, 1));
    set.add_file(0, "\\runs-on.bin", random_bytes(700, 2));  // closes one.bin
    set.add_data(0, random_bytes(300, 3));
    set.add_raw(0, fixture::end_disc());
    set.add_data(1, random_bytes(900 + salt, 4 + salt));
    set.add_raw(1, fixture::close_file());
    set.add_file(2, "\\three.bin", random_bytes(300, 7));
    return set;
}

}  // namespace

TEST_F(EngineTest, FileThatFailsToCloseIsAWriteErrorAndRollsBack)
{
    Snapshot before = written(three_discs(0));
    long closes_before = plat_close_count();
    ASSERT_EQ(run(), 1);
    long closes = plat_close_count() - closes_before;
    std::error_code ec;
    fs::remove_all(host_of(inst), ec);
    // Each close fails once in turn: the disc files' do not matter, each of
    // the three output files' fails the run.
    int failed = 0;
    for (long close = 1; close <= closes; ++close) {
        BoxRecorder::shown.clear();
        plat_fail_close_after(close - 1);
        int result = run();
        plat_fail_close_after(-1);
        if (result == 1) {
            fs::remove_all(host_of(inst), ec);
            continue;
        }
        ++failed;
        EXPECT_EQ(box_texts(), std::vector<std::string>{"磁碟錯誤!|無法寫入磁碟"});
        EXPECT_TRUE(folder_is(before)) << "close " << close;
    }
    EXPECT_EQ(failed, 3);
}

TEST_F(EngineTest, SetWhoseRecordsMissTheHeadersTotalIsDamaged)
{
    const int32_t whole = (int32_t)three_discs(0).total;
    std::vector<std::pair<const char*, DiscSet>> cases;
    DiscSet cut = three_discs(0);  // disc 1 cut before runs-on.bin's second data record
    cut.streams[0].resize(cut.streams[0].size() - fixture::data(random_bytes(300, 3)).size() - 1);
    cases.push_back({"disc 1 cut at a record boundary", cut});
    DiscSet mixed = three_discs(0);
    mixed.streams[1] = three_discs(40).streams[1];
    cases.push_back({"disc 2 of another pressing", mixed});
    DiscSet flipped = three_discs(0);
    flipped.disc_count_override = 2;
    cases.push_back({"disc count 3 flipped to 2", flipped});
    for (auto& c : cases) {
        SCOPED_TRACE(c.first);
        c.second.use_total_override = true;
        c.second.total_override = whole;
        Snapshot before = written(c.second);
        BoxRecorder::shown.clear();
        EXPECT_EQ(run(), 0);
        EXPECT_EQ(box_texts(), std::vector<std::string>{"磁碟錯誤!|安裝資料損毀"});
        EXPECT_TRUE(folder_is(before));
    }
}
