// Files that were in the install folder before and that the set replaces:
// moved aside while the installation runs, given back byte for byte when it
// stops, and their backups deleted when it succeeds.
#include "engine_fixture.h"

#include "file_object.h"
#include "platform.h"
#include "tracked_memory.h"

using fixture::DiscSet;

namespace {

const std::string kCreateFileFail = "Error|Create File Fail";

// A progress callback that also takes a snapshot of a folder at one call.
fs::path g_watched;
size_t g_watch_at = 0;
Snapshot g_seen;

int32_t watch_progress(int32_t percent)
{
    int32_t go_on = record_progress(percent);
    if (Calls::progress.size() == g_watch_at)
        g_seen = snapshot(g_watched);
    return go_on;
}

std::string rel(const std::string& name)
{
    return (fs::path("inst") / fs::u8path(name)).u8string();
}

}  // namespace

TEST_F(EngineTest, SecondFileRecordOfTheSamePathDoesNotBackUpTheInstallationsOwnFile)
{
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    write_file(inst + "\\game.cfg", "old");
    DiscSet set;
    set.add_file(0, "\\game.cfg");
    set.add_data(0, "v1");
    set.add_file(0, "\\game.cfg");
    set.add_data(0, "v2");
    set.add_raw(0, fixture::close_file());
    set.add_raw(0, std::string(1, '\x06'));
    write(set);
    Snapshot before = snapshot(tmp.host);

    // After the second file is written and closed: one backup, the user's.
    g_watched = tmp.host;
    g_watch_at = 5;
    Calls::cancel_at = 6;
    int32_t live = tracked_stats().live;
    int32_t open = open_count();
    EXPECT_EQ(install_disc_set(inst.c_str(), src.c_str(), "u", record_prompt, watch_progress), 0);
    EXPECT_EQ(tracked_stats().live, live);
    EXPECT_EQ(open_count(), open);
    Snapshot expected_mid = before;
    expected_mid[rel("game.cfg")] = "v2";
    expected_mid[rel("game.cfg.~bak1")] = "old";
    EXPECT_EQ(g_seen, expected_mid) << describe(g_seen);
    EXPECT_EQ(snapshot(tmp.host), before) << describe(snapshot(tmp.host));

    Calls::reset();
    EXPECT_EQ(run(), 1);
    Snapshot expected = before;
    expected[rel("game.cfg")] = "v2";
    EXPECT_EQ(snapshot(tmp.host), expected) << describe(snapshot(tmp.host));
}

TEST_F(EngineTest, BackupNameTakenByAUserFileIsSkippedAndThatFileKept)
{
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    write_file(inst + "\\game.cfg", "old");
    write_file(inst + "\\game.cfg.~bak1", "the user's own");
    DiscSet set;
    set.add_file(0, "\\game.cfg");
    set.add_data(0, "new");
    set.add_raw(0, std::string(1, '\x06'));
    write(set);
    Snapshot before = snapshot(tmp.host);
    expect_every_cancel_restores(3, before);
    Calls::reset();
    EXPECT_EQ(run(), 1);
    Snapshot expected = before;
    expected[rel("game.cfg")] = "new";  // no game.cfg.~bak2 is left either
    EXPECT_EQ(snapshot(tmp.host), expected) << describe(snapshot(tmp.host));
}

TEST_F(EngineTest, SetFileNamedLikeABackupIsKeptAndTheUsersFileGivenBack)
{
    // The set's second file takes the name the first one's backup got.
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    write_file(inst + "\\game.cfg", "old");
    DiscSet set;
    set.add_file(0, "\\game.cfg");
    set.add_data(0, "new");
    set.add_file(0, "\\game.cfg.~bak1");
    set.add_data(0, "the set's");
    set.add_raw(0, std::string(1, '\x06'));
    write(set);
    Snapshot before = snapshot(tmp.host);
    expect_every_cancel_restores(5, before);
    Calls::reset();
    EXPECT_EQ(run(), 1);
    Snapshot expected = before;
    expected[rel("game.cfg")] = "new";
    expected[rel("game.cfg.~bak1")] = "the set's";
    EXPECT_EQ(snapshot(tmp.host), expected) << describe(snapshot(tmp.host));
}

TEST_F(EngineTest, ReadOnlyFileIsNotReplacedAndTheInstallationStops)
{
    // Opening a read-only file for writing has always failed on Windows;
    // moving it aside would get around the user's protection. Both systems
    // refuse it the same way.
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    write_file(inst + "\\game.cfg", "protected");
    ASSERT_TRUE(plat_set_read_only((inst + "\\game.cfg").c_str(), 1));
    DiscSet set;
    set.add_file(0, "\\first.txt");
    set.add_data(0, "x");
    set.add_file(0, "\\game.cfg");
    set.add_data(0, "new");
    write(set);
    Snapshot before = snapshot(tmp.host);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kCreateFileFail});
    EXPECT_EQ(snapshot(tmp.host), before) << describe(snapshot(tmp.host));
    EXPECT_NE(plat_file_attributes((inst + "\\game.cfg").c_str()) & PLAT_ATTR_READONLY, 0u);
    ASSERT_TRUE(plat_set_read_only((inst + "\\game.cfg").c_str(), 0));
}

TEST_F(EngineTest, FileWhoseBackupNameDoesNotFitThePathBufferIsNotReplaced)
{
    // Install path + record path is at most 259 bytes; the backup name adds
    // ".~bak1" (6 bytes) and must fit as well.
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    size_t fits = 259 - 6 - inst.size() - 1;  // name length whose backup name just fits
    ASSERT_GT(fits, 10u);
    for (size_t length : {fits, fits + 1}) {
        SCOPED_TRACE("name of " + std::to_string(length) + " bytes");
        std::string name = std::string(length - 4, 'n') + ".cfg";
        write_file(inst + "\\" + name, "old");
        DiscSet set;
        set.add_file(0, "\\first.txt");
        set.add_data(0, "x");
        set.add_file(0, "\\" + name);
        set.add_data(0, "new");
        write(set);
        Snapshot before = snapshot(tmp.host);
        Calls::reset();
        BoxRecorder::shown.clear();
        if (length == fits) {
            Calls::cancel_at = 4;
            EXPECT_EQ(run(), 0);
            EXPECT_TRUE(BoxRecorder::shown.empty());
        } else {
            EXPECT_EQ(run(), 0);
            EXPECT_EQ(box_texts(), std::vector<std::string>{kCreateFileFail});
        }
        Snapshot after = snapshot(tmp.host);
        EXPECT_EQ(after, before) << describe(after);
        ASSERT_TRUE(plat_remove_file((inst + "\\" + name).c_str()));
    }
}

TEST_F(EngineTest, FolderWhereTheSetPutsAFileIsNotMovedAside)
{
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    ASSERT_TRUE(plat_create_directory((inst + "\\thing").c_str()));
    write_file(inst + "\\thing\\keep.txt", "mine");
    DiscSet set;
    set.add_file(0, "\\thing");
    set.add_data(0, "a file");
    write(set);
    Snapshot before = snapshot(tmp.host);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kCreateFileFail});
    EXPECT_EQ(snapshot(tmp.host), before) << describe(snapshot(tmp.host));
}

TEST_F(EngineTest, ReplacedFileWithABig5NameComesBack)
{
    // 許功蓋 ends its bytes in 0x5C three times; the backup name keeps them.
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    std::string name = big5("\\許功蓋.sav");
    write_file(inst + name, random_bytes(3000, 5));
    DiscSet set;
    set.add_file(0, name);
    set.add_data(0, "new");
    set.add_raw(0, std::string(1, '\x06'));
    write(set);
    Snapshot before = snapshot(tmp.host);
    Calls::cancel_at = 3;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(snapshot(tmp.host), before) << describe(snapshot(tmp.host));
    Calls::reset();
    EXPECT_EQ(run(), 1);
    Snapshot expected = before;
    expected[rel("許功蓋.sav")] = "new";
    EXPECT_EQ(snapshot(tmp.host), expected) << describe(snapshot(tmp.host));
}
