// install_disc_set on well-formed sets: what gets installed, the disc loop
// and its prompts, progress, the source root, and the rollback journal.
#include "engine_fixture.h"

#include "apkg_writer.h"
#include "directory_tree.h"
#include "engine_texts.h"
#include "file_object.h"
#include "platform.h"
#include "tracked_memory.h"

#include <algorithm>

using fixture::DiscSet;

namespace {

const std::string kCannotWrite = "磁碟錯誤!|無法寫入磁碟";

}  // namespace

TEST_F(EngineTest, InstallsDirectoriesFilesAndDataAcrossRecords)
{
    std::string big = random_bytes(150000, 1) + random_bytes(150000, 2);
    DiscSet set;
    set.add_dir(0, "\\save");
    set.add_file(0, "\\save\\a.txt", "hello");
    set.add_raw(0, fixture::close_file());
    set.add_file(0, "\\b.bin", big.substr(0, 150000));
    set.add_data(0, big.substr(150000));
    set.add_raw(0, fixture::close_file());
    set.add_raw(0, fixture::end_disc());
    write(set);

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read_file(inst + "\\save\\a.txt"), "hello");
    EXPECT_EQ(read_file(inst + "\\b.bin"), big);
    // One call per record but the end record; never decreasing, ending at 100.
    ASSERT_EQ(Calls::progress.size(), 8u);
    for (size_t i = 1; i < Calls::progress.size(); ++i)
        EXPECT_LE(Calls::progress[i - 1], Calls::progress[i]);
    EXPECT_EQ(Calls::progress.back(), 100);
    EXPECT_TRUE(BoxRecorder::shown.empty());
}

TEST_F(EngineTest, StreamWithoutEndRecordInstallsCompletely)
{
    DiscSet set;
    set.add_file(0, "\\a.txt", "first ");
    set.add_data(0, "second");  // the file ends here, still open
    write(set);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read_file(inst + "\\a.txt"), "first second");
    EXPECT_EQ(Calls::progress.size(), 3u);
}

TEST_F(EngineTest, FileContinuesOnTheNextDisc)
{
    DiscSet set;
    set.add_file(0, "\\movie.dat", "disc one, ");
    set.add_raw(0, fixture::end_disc());
    set.add_data(1, "disc two, ");
    set.add_raw(1, fixture::end_disc());
    set.add_data(2, "disc three");
    set.add_raw(2, fixture::close_file());
    write(set);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read_file(inst + "\\movie.dat"), "disc one, disc two, disc three");
    EXPECT_TRUE(Calls::prompts.empty());
}

TEST_F(EngineTest, FileRecordWhileAFileIsOpenClosesItFirst)
{
    DiscSet set;
    set.add_file(0, "\\one.txt", "1111");
    set.add_file(0, "\\two.txt");  // no close record before it
    set.add_data(0, "2222");
    set.add_file(0, "\\one.txt");  // the same name again starts it afresh
    set.add_data(0, "again");
    write(set);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read_file(inst + "\\two.txt"), "2222");
    EXPECT_EQ(read_file(inst + "\\one.txt"), "again");
}

TEST_F(EngineTest, UnknownTypeBytesAreSkippedWithAProgressCall)
{
    DiscSet set;
    set.add_file(0, "\\a");
    set.add_raw(0, std::string(1, '\0'));
    set.add_data(0, "x");
    set.add_raw(0, std::string(1, '\x06'));
    set.add_raw(0, std::string(1, '\xFF'));
    set.add_raw(0, fixture::close_file());
    set.add_raw(0, fixture::end_disc());
    set.add_raw(0, fixture::file("\\after-end"));  // never read: the disc ended
    write(set);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read_file(inst + "\\a"), "x");
    EXPECT_FALSE(exists(inst + "\\after-end"));
    // file, 0, data, 6, 255, close: six calls; none for the end record.
    EXPECT_EQ(Calls::progress.size(), 6u);
}

TEST_F(EngineTest, PromptForAMissingDiscIsAskedUntilCancel)
{
    DiscSet set;
    set.add_dir(0, "\\d");
    set.add_dir(1, "\\e");
    write(set);
    ASSERT_TRUE(plat_remove_file((src + "\\cd2").c_str()));
    BoxRecorder::answers = {PLAT_IDOK, PLAT_IDOK, PLAT_IDOK, PLAT_IDCANCEL};
    int32_t live = tracked_stats().live;
    EXPECT_EQ(install_with(prompt_next_disc, record_progress), 0);
    EXPECT_EQ(tracked_stats().live, live);
    // Four failed opens, each followed by the prompt; the fourth is cancelled.
    ASSERT_EQ(BoxRecorder::shown.size(), 4u);
    for (const ShownBox& b : BoxRecorder::shown) {
        EXPECT_EQ(b.text, "Please Insert Disc #2");
        EXPECT_EQ(b.caption, "Next Disc");
        EXPECT_EQ(b.type, (unsigned)PLAT_MB_OKCANCEL);
    }
    EXPECT_FALSE(exists(inst));
}

namespace {
std::string g_late_disc_folder;
std::string g_late_disc_bytes;
int32_t insert_disc_on_prompt(int32_t disc_index)
{
    Calls::prompts.push_back(disc_index);
    write_file(g_late_disc_folder + "\\cd2", g_late_disc_bytes);
    return 1;
}
}  // namespace

TEST_F(EngineTest, DiscInsertedAfterThePromptIsExtracted)
{
    DiscSet set;
    set.add_file(0, "\\f", "abc");
    set.add_data(1, "def");
    write(set);
    g_late_disc_folder = src;
    g_late_disc_bytes = read_file(src + "\\cd2");
    ASSERT_TRUE(plat_remove_file((src + "\\cd2").c_str()));
    EXPECT_EQ(install_with(insert_disc_on_prompt, record_progress), 1);
    EXPECT_EQ(Calls::prompts, std::vector<int32_t>{1});
    EXPECT_EQ(read_file(inst + "\\f"), "abcdef");
}

TEST_F(EngineTest, CancelledPromptWhileAFileIsOpenRemovesEverything)
{
    DiscSet set;
    set.add_dir(0, "\\sub");
    set.add_file(0, "\\sub\\big", "part one");
    set.disc_count_override = 2;  // cd2 never exists
    write(set);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(Calls::prompts, std::vector<int32_t>{1});
    EXPECT_FALSE(exists(inst));
}

TEST_F(EngineTest, SourceRootWithTrailingBackslashIsUsedWithoutIt)
{
    DiscSet set;
    set.add_dir(0, "\\d");
    write(set);
    std::string root;
    if (plat_map_drive('D', (tmp.host.u8string() + "/src").c_str())) {
        root = "D:\\";  // the POSIX stand-in: D: is the source folder
    } else {
        root = src + "\\";  // Windows: the real folder, with a trailing backslash
    }
    EXPECT_EQ(run(root, inst), 1);
    EXPECT_TRUE(exists(inst + "\\d"));
    plat_map_drive('D', nullptr);
}

TEST_F(EngineTest, SourceRootEndingInABig5CharacterKeepsItsSecondByte)
{
    // 許 is B3 5C: its second byte looks like a backslash but is not one.
    std::string root = tmp.path("許");
    ASSERT_TRUE(plat_create_directory(root.c_str()));
    DiscSet set;
    set.add_dir(0, "\\d");
    fixture::write_set(set, root);
    EXPECT_EQ(run(root, inst), 1);
    EXPECT_TRUE(exists(inst + "\\d"));
}

TEST_F(EngineTest, DiscCountZeroCreatesTheFolderAndSucceeds)
{
    DiscSet set;
    set.add_dir(0, "\\never");
    set.disc_count_override = 0;
    // No disc, nothing to write: the total the header gives is 0 too.
    set.use_total_override = true;
    set.total_override = 0;
    write(set);
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(exists(inst));
    EXPECT_FALSE(exists(inst + "\\never"));
    EXPECT_TRUE(Calls::progress.empty());
}

TEST_F(EngineTest, PercentIsBytesDoneOverTotalSize)
{
    DiscSet set;
    set.add_file(0, "\\f");     // 3 bytes decompressed: 3 * 100 / 9 = 33
    set.add_data(0, "123456");  // 9 of 9
    set.use_total_override = true;
    set.total_override = 9;
    write(set);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(Calls::progress, (std::vector<int32_t>{33, 100}));
}

TEST_F(EngineTest, PercentDoesNotOverflowWithLargeCounts)
{
    // 300000 bytes * 100 does not fit 32 bits; the division must still be right.
    DiscSet set;
    set.add_file(0, "\\f", std::string(150000, 'a'));
    set.add_data(0, std::string(150000, 'b'));
    set.use_total_override = true;
    set.total_override = 3 + 300000;
    write(set);
    EXPECT_EQ(run(), 1);
    ASSERT_EQ(Calls::progress.size(), 3u);
    EXPECT_EQ(Calls::progress[1], 50);  // 150003 of 300003 bytes
    EXPECT_EQ(Calls::progress[2], 100);
}

TEST_F(EngineTest, TotalSizeZeroReportsHundred)
{
    DiscSet set;
    set.add_file(0, "\\f", "x");
    set.use_total_override = true;
    set.total_override = 0;
    write(set);
    // The records hold 4 bytes, not 0: when the set ends it is damaged data.
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(Calls::progress, (std::vector<int32_t>{100, 100}));
    EXPECT_FALSE(exists(inst));
}

TEST_F(EngineTest, DiscSetInsideAPackageIsReadLikeAPlainFile)
{
    DiscSet set;
    set.add_file(0, "\\packed.txt", "from a package");
    std::string package, error;
    ASSERT_TRUE(apkg_build({{"cd1", set.files()[0]}}, &package, &error)) << error;
    // No folder "pkg": its cd1 is the member of pkg.apkg beside it.
    write_file(tmp.path("pkg.apkg"), package);
    EXPECT_EQ(run(tmp.path("pkg"), inst), 1);
    EXPECT_EQ(read_file(inst + "\\packed.txt"), "from a package");
}

TEST_F(EngineTest, DataBeforeAnyFileFailsAsAWriteError)
{
    DiscSet set;
    set.add_dir(0, "\\made");
    set.add_data(0, "nowhere to go");
    write(set);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kCannotWrite});
    EXPECT_FALSE(exists(inst));
}

TEST_F(EngineTest, EmptyDataRecordWithoutAFileCannotFail)
{
    DiscSet set;
    set.add_data(0, "");
    set.add_file(0, "\\f", "");
    write(set);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read_file(inst + "\\f"), "");
    EXPECT_TRUE(BoxRecorder::shown.empty());
}

TEST_F(EngineTest, MissingFirstDiscReturnsAtOnceWithNothingCreated)
{
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(exists(inst));
    EXPECT_TRUE(BoxRecorder::shown.empty());
    EXPECT_TRUE(Calls::prompts.empty());
}

TEST_F(EngineTest, ShortHeaderIsDamagedDataWithNothingCreated)
{
    std::string full = DiscSet().files()[0];
    const std::vector<size_t> lengths = {0, 1, 100, full.size() - 1};
    for (size_t n : lengths) {
        write_file(src + "\\cd1", full.substr(0, n));
        EXPECT_EQ(run(), 0) << n;
        EXPECT_FALSE(exists(inst)) << n;
    }
    EXPECT_EQ(box_texts(), std::vector<std::string>(lengths.size(), "磁碟錯誤!|安裝資料損毀"));
}

TEST_F(EngineTest, FileThatCannotBeCreatedRollsBackInsteadOfEndingTheProcess)
{
    DiscSet set;
    set.add_file(0, "\\ok.txt", "fine");
    set.add_file(0, "\\missing-folder\\x.txt");
    write(set);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{"Error|Create File Fail"});
    EXPECT_EQ(BoxRecorder::shown[0].type, (unsigned)PLAT_MB_OK);
    EXPECT_FALSE(exists(inst));
}

TEST_F(EngineTest, RollbackKeepsWhatWasThereBefore)
{
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    ASSERT_TRUE(plat_create_directory((inst + "\\save").c_str()));
    write_file(inst + "\\save\\slot1.sav", "my progress");
    write_file(inst + "\\notes.txt", "mine");
    write_file(inst + "\\game.cfg", "old config");

    DiscSet set;
    set.add_dir(0, "\\save");  // exists already: not ours to delete
    set.add_file(0, "\\save\\new.sav", "installed");
    set.add_dir(0, "\\data");
    set.add_file(0, "\\data\\x", "y");
    set.add_raw(0, std::string(1, '\x06'));
    Snapshot before = written(set);
    Calls::cancel_at = 7;  // the last record
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(folder_is(before));
}

TEST_F(EngineTest, FileRecordTwiceInANewFolderIsRolledBackWithTheRest)
{
    DiscSet set;
    set.add_dir(0, "\\d");
    set.add_file(0, "\\d\\x", "first");
    set.add_file(0, "\\d\\x", "second");
    set.add_raw(0, std::string(1, '\x06'));
    write(set);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read_file(inst + "\\d\\x"), "second");
    remove_tree(inst.c_str());

    Snapshot before = snapshot(tmp.host);
    Calls::reset();
    Calls::cancel_at = 6;  // the last record
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(folder_is(before));
}

TEST_F(EngineTest, FileThatWasThereBeforeIsGivenBackByTheRollback)
{
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    ASSERT_TRUE(plat_create_directory((inst + "\\save").c_str()));
    write_file(inst + "\\save\\slot1.sav", "my progress");
    DiscSet set;
    set.add_dir(0, "\\save");
    set.add_file(0, "\\save\\slot1.sav");  // in a folder that was there: asked for
    set.add_data(0, "new");
    set.add_dir(0, "\\new");
    set.add_file(0, "\\new\\slot1.sav");  // in a folder of its own: cannot have been there
    set.add_data(0, "new");
    set.add_raw(0, std::string(1, '\x06'));
    Snapshot before = written(set);
    Calls::cancel_at = 7;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(read_file(inst + "\\save\\slot1.sav"), "my progress");
    EXPECT_TRUE(folder_is(before));
}

TEST_F(EngineTest, RollbackRemovesEveryFolderLevelItCreated)
{
    std::string deep = tmp.path("a") + "\\b\\c";
    DiscSet set;
    set.add_file(0, "\\f", "x");
    Snapshot before = written(set);
    Calls::cancel_at = 2;
    EXPECT_EQ(run(src, deep), 0);
    EXPECT_FALSE(exists(tmp.path("a")));
    EXPECT_EQ(snapshot(tmp.host), before);
}

TEST_F(EngineTest, Big5NamesWithBackslashSecondBytesMakeNoStrayFolders)
{
    // 許功蓋 is B3 5C A5 5C BB 5C: three second bytes that equal "\".
    std::string company = tmp.path("許功蓋");
    std::string target = company + big5("\\遊戲");
    DiscSet set;
    set.add_dir(0, big5("\\功能"));
    set.add_file(0, big5("\\功能\\蓋子.txt"), "lid");
    write(set);
    EXPECT_EQ(run(src, target), 1);
    EXPECT_EQ(read_file(target + big5("\\功能\\蓋子.txt")), "lid");
    // The temporary folder holds the disc set, the sentinel and the company
    // folder; nothing named after half a character.
    std::vector<std::string> top;
    for (const auto& e : fs::directory_iterator(tmp.host))
        top.push_back(e.path().filename().u8string());
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"sentinel.txt", "src", "許功蓋"}));
    std::vector<std::string> inner;
    for (const auto& e : fs::directory_iterator(tmp.host / fs::u8path("許功蓋")))
        inner.push_back(e.path().filename().u8string());
    EXPECT_EQ(inner, std::vector<std::string>{"遊戲"});

    // And the rollback of such a path removes every level again.
    Calls::reset();
    Calls::cancel_at = 1;
    std::string other = tmp.path("許功蓋2") + big5("\\蓋");
    EXPECT_EQ(run(src, other), 0);
    EXPECT_FALSE(exists(tmp.path("許功蓋2")));
}

TEST(EngineTexts, ChineseTextsAreTheBig5Bytes)
{
    EXPECT_EQ(utf8(engine_text::kDiskErrorCaption), "磁碟錯誤!");
    EXPECT_EQ(utf8(engine_text::kCannotWrite), "無法寫入磁碟");
    EXPECT_EQ(utf8(engine_text::kDataDamaged), "安裝資料損毀");
}

namespace {
// What reached one installation's options.
struct OptionsSeen {
    std::vector<std::string> boxes;  // "caption|text"
    std::vector<std::string> filtered;
    int32_t progress = 0;
};
int seen_box(void* context, const char* text, const char* caption, unsigned)
{
    ((OptionsSeen*)context)->boxes.push_back(std::string(caption) + "|" + text);
    return PLAT_IDCANCEL;
}
int32_t pass_over_all(void* context, int32_t, const char* record_path)
{
    ((OptionsSeen*)context)->filtered.push_back(record_path);
    return 0;
}
int32_t count_progress(void* context, int32_t)
{
    ++((OptionsSeen*)context)->progress;
    return 1;
}
}  // namespace

// Options belong to one call: the next installation runs with its own
// (here the defaults), and the current folder and the platform's file-open
// and message-box handlers are as they were before either.
TEST_F(EngineTest, OptionsLastOneInstallationOnly)
{
    DiscSet set;
    set.add_dir(0, "\\d");
    set.add_file(0, "\\f", "x");
    set.add_data(1, "y");
    write(set);
    std::string cd2 = read_file(src + "\\cd2");
    ASSERT_TRUE(plat_remove_file((src + "\\cd2").c_str()));
    char folder[PLAT_PATH_SIZE], folder_after[PLAT_PATH_SIZE];
    ASSERT_TRUE(plat_get_current_directory(folder, sizeof folder));
    FileOpenHandler open_before = plat_set_file_open_handler(nullptr);
    plat_set_file_open_handler(open_before);
    MessageBoxHandler box_before = plat_set_message_box_handler(nullptr);
    plat_set_message_box_handler(box_before);

    OptionsSeen seen;
    EngineOptions first;
    first.context = &seen;
    first.message_box = seen_box;
    first.filter = pass_over_all;
    first.progress = count_progress;
    first.registration = 0;
    // The default prompt asks for disc 2 through the options' handler.
    EXPECT_EQ(install_disc_set_with(inst.c_str(), src.c_str(), first), 0);
    EXPECT_EQ(seen.boxes, std::vector<std::string>{"Next Disc|Please Insert Disc #2"});
    EXPECT_EQ(seen.filtered, (std::vector<std::string>{"\\d", "\\f"}));
    EXPECT_EQ(seen.progress, 3);  // folder, file and its data
    EXPECT_TRUE(BoxRecorder::shown.empty());

    EngineOptions second;
    second.registration = 0;
    BoxRecorder::answers = {PLAT_IDCANCEL};
    EXPECT_EQ(install_disc_set_with(inst.c_str(), src.c_str(), second), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{"Next Disc|Please Insert Disc #2"});
    write_file(src + "\\cd2", cd2);
    EXPECT_EQ(install_disc_set_with(inst.c_str(), src.c_str(), second), 1);
    EXPECT_EQ(read_file(inst + "\\f"), "xy");
    EXPECT_TRUE(exists(inst + "\\d"));
    EXPECT_EQ(seen.boxes.size(), 1u);
    EXPECT_EQ(seen.filtered.size(), 2u);
    EXPECT_EQ(seen.progress, 3);

    ASSERT_TRUE(plat_get_current_directory(folder_after, sizeof folder_after));
    EXPECT_STREQ(folder_after, folder);
    EXPECT_EQ(plat_set_file_open_handler(open_before), open_before);
    EXPECT_EQ(plat_set_message_box_handler(box_before), box_before);
}
