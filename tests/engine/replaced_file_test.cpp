// Files that were in the install folder before and that the set replaces:
// moved aside into a backup folder of the installation while it runs, given
// back byte for byte when it stops, and their backups and that folder deleted
// when it succeeds.
#include "engine_fixture.h"

#include "file_object.h"
#include "platform.h"
#include "tracked_memory.h"

#include <cstring>
#if !defined(_WIN32)
#include <unistd.h>
#endif

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

}  // namespace

TEST_F(EngineTest, SecondFileRecordOfTheSamePathDoesNotBackUpTheInstallationsOwnFile)
{
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    write_file(inst + "\\game.cfg", "old");
    DiscSet set;
    set.add_file(0, "\\game.cfg", "v1");
    set.add_file(0, "\\game.cfg", "v2");
    set.add_raw(0, fixture::close_file());
    set.add_raw(0, std::string(1, '\x06'));
    Snapshot before = written(set);

    // After the second file is written and closed: one backup, the user's,
    // numbered in the installation's backup folder.
    g_watched = tmp.host;
    g_watch_at = 5;
    Calls::cancel_at = 6;
    int32_t live = tracked_stats().live;
    int32_t open = open_count();
    EXPECT_EQ(install_with(record_prompt, watch_progress), 0);
    EXPECT_EQ(tracked_stats().live, live);
    EXPECT_EQ(open_count(), open);
    Snapshot expected_mid = with_installed(before, {{"game.cfg", "v2"}, {"~bak1", kFolderMark}, {"~bak1/1", "old"}});
    EXPECT_EQ(g_seen, expected_mid) << describe(g_seen);
    EXPECT_TRUE(folder_is(before));

    Calls::reset();
    EXPECT_EQ(run(), 1);
    Snapshot expected = with_installed(before, {{"game.cfg", "v2"}});
    EXPECT_TRUE(folder_is(expected));
}

TEST_F(EngineTest, BackupsLeftByAKilledInstallationAreKept)
{
    // What an installation that was killed while replacing game.cfg and
    // save.dat leaves: its new (here partial) files at their names, and the
    // user's files in its backup folder. A file the user named like a backup
    // folder is left alone as well.
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    write_file(inst + "\\game.cfg", "partial");
    write_file(inst + "\\save.dat", "partial");
    ASSERT_TRUE(plat_create_directory((inst + "\\~bak1").c_str()));
    write_file(inst + "\\~bak1\\1", "the user's game.cfg");
    write_file(inst + "\\~bak1\\2", "the user's save.dat");
    write_file(inst + "\\~bak2", "the user's own file");
    DiscSet set;
    set.add_file(0, "\\game.cfg", "new");
    set.add_file(0, "\\save.dat", "new save");
    set.add_raw(0, fixture::close_file());
    set.add_raw(0, std::string(1, '\x06'));
    Snapshot before = written(set);

    // Mid-way the new backups are in a folder of their own.
    g_watched = tmp.host;
    g_watch_at = 5;
    EXPECT_EQ(install_with(record_prompt, watch_progress), 1);
    Snapshot expected_mid = with_installed(before, {{"game.cfg", "new"},
                                                    {"save.dat", "new save"},
                                                    {"~bak3", kFolderMark},
                                                    {"~bak3/1", "partial"},
                                                    {"~bak3/2", "partial"}});
    EXPECT_EQ(g_seen, expected_mid) << describe(g_seen);
    // At the end only those are gone; the old backups are untouched.
    Snapshot expected = with_installed(before, {{"game.cfg", "new"}, {"save.dat", "new save"}});
    EXPECT_TRUE(folder_is(expected));

    // A stopped run over that gives back what was there, old backups included.
    before = snapshot(tmp.host);
    expect_every_cancel_restores(6, before);
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
namespace {

// Ends the process in the middle of an installation, as a kill would.
int32_t die_at_third_record(int32_t)
{
    if (Calls::progress.size() == 2)
        _exit(3);
    Calls::progress.push_back(0);
    return 1;
}

}  // namespace

TEST_F(EngineTest, KilledInstallationLosesNoReplacedFile)
{
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    write_file(inst + "\\game.cfg", "the user's");
    DiscSet set;
    set.add_file(0, "\\game.cfg", "new");
    set.add_raw(0, fixture::close_file());  // flushed before the end
    set.add_raw(0, std::string(1, '\x06'));
    write(set);
    // "fast": the child is a fork at this point, in this test's folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(install_with(record_prompt, die_at_third_record), ::testing::ExitedWithCode(3), "");
    // The killed run left the user's file in its backup folder.
    Snapshot left = snapshot(tmp.host);
    EXPECT_EQ(left[rel("~bak1/1")], "the user's") << describe(left);
    EXPECT_EQ(left[rel("game.cfg")], "new") << describe(left);

    // The next run replaces game.cfg again and keeps the old backup; so does
    // one that is stopped.
    expect_every_cancel_restores(4, left);
    Calls::reset();
    EXPECT_EQ(run(), 1);
    Snapshot after = snapshot(tmp.host);
    EXPECT_EQ(after, left) << describe(after);
}
#endif

TEST_F(EngineTest, SetFileNamedLikeABackupIsKeptAndTheUsersFileGivenBack)
{
    // The set's second file takes the name the first one's backup got.
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    write_file(inst + "\\game.cfg", "old");
    DiscSet set;
    set.add_file(0, "\\game.cfg", "new");
    set.add_dir(0, "\\~bak1");
    set.add_file(0, "\\~bak1\\1", "the set's");
    set.add_raw(0, std::string(1, '\x06'));
    Snapshot before = written(set);
    expect_every_cancel_restores(6, before);
    Calls::reset();
    EXPECT_EQ(run(), 1);
    Snapshot expected = with_installed(before, {{"game.cfg", "new"}, {"~bak1", kFolderMark}, {"~bak1/1", "the set's"}});
    EXPECT_TRUE(folder_is(expected));
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
    set.add_file(0, "\\first.txt", "x");
    set.add_file(0, "\\game.cfg", "new");
    Snapshot before = written(set);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kCreateFileFail});
    EXPECT_TRUE(folder_is(before));
    EXPECT_NE(plat_file_attributes((inst + "\\game.cfg").c_str()) & PLAT_ATTR_READONLY, 0u);
    ASSERT_TRUE(plat_set_read_only((inst + "\\game.cfg").c_str(), 0));
}

TEST_F(EngineTest, FilesWithTheLongestPathsAreReplacedAndGivenBack)
{
    // Install path + record path is at most 259 bytes, and a file of any
    // such length can be replaced: its backup name does not grow with it.
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    ASSERT_TRUE(plat_create_directory((inst + "\\long").c_str()));
    DiscSet set;
    Snapshot expected;
    for (size_t full = 254; full <= 259; ++full) {
        size_t length = full - inst.size() - strlen("\\long\\");
        ASSERT_GT(length, 10u);
        std::string name = std::string(length - 4, (char)('a' + full - 254)) + ".cfg";
        std::string path = inst + "\\long\\" + name;
        ASSERT_EQ(path.size(), full);
        write_file(path, "old " + std::to_string(full));
        set.add_file(0, "\\long\\" + name, "new " + std::to_string(full));
        expected[rel("long/" + name)] = "new " + std::to_string(full);
    }
    set.add_raw(0, std::string(1, '\x06'));
    Snapshot before = written(set);
    expect_every_cancel_restores(13, before);
    Calls::reset();
    BoxRecorder::shown.clear();
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(BoxRecorder::shown.empty());
    for (const auto& e : expected)
        before[e.first] = e.second;
    EXPECT_TRUE(folder_is(before));
}

TEST_F(EngineTest, FolderWhereTheSetPutsAFileIsNotMovedAside)
{
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    ASSERT_TRUE(plat_create_directory((inst + "\\thing").c_str()));
    write_file(inst + "\\thing\\keep.txt", "mine");
    DiscSet set;
    set.add_file(0, "\\thing", "a file");
    Snapshot before = written(set);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kCreateFileFail});
    EXPECT_TRUE(folder_is(before));
}

TEST_F(EngineTest, ReplacedFileWithABig5NameComesBack)
{
    // 許功蓋 ends its bytes in 0x5C three times; the backup name keeps them.
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    std::string name = big5("\\許功蓋.sav");
    write_file(inst + name, random_bytes(3000, 5));
    DiscSet set;
    set.add_file(0, name, "new");
    set.add_raw(0, std::string(1, '\x06'));
    Snapshot before = written(set);
    Calls::cancel_at = 3;
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(folder_is(before));
    Calls::reset();
    EXPECT_EQ(run(), 1);
    Snapshot expected = with_installed(before, {{"許功蓋.sav", "new"}});
    EXPECT_TRUE(folder_is(expected));
}
