// Names as Windows reads them, made the same on every system: the harmless
// record-path forms that other authoring tools write, and names that differ
// only in ASCII case, which Windows takes for one.
#include "engine_fixture.h"

#include "platform.h"

using fixture::DiscSet;

namespace {

const std::string kCreateFileFail = "Error|Create File Fail";

}  // namespace

TEST_F(EngineTest, HarmlessPathFormsInstallUnderTheNamesWindowsGives)
{
    DiscSet set;
    set.add_dir(0, "\\");        // the install folder itself
    set.add_dir(0, "\\save\\");  // trailing backslash
    set.add_file(0, "\\save\\slot.", "slot");
    set.add_file(0, "\\readme. .");  // trailing dots and spaces
    set.add_data(0, "read me");
    set.add_dir(0, "\\data.\\");
    set.add_file(0, "\\data.\\" + big5("許功蓋") + ".", "lid");
    set.add_raw(0, fixture::close_file());
    Snapshot before = written(set);
    expect_every_cancel_restores(10, before);

    Calls::reset();
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(BoxRecorder::shown.empty());
    Snapshot expected = with_installed(before, {{"", kFolderMark},
                                                {"save", kFolderMark},
                                                {"save/slot", "slot"},
                                                {"readme", "read me"},
                                                {"data", kFolderMark},
                                                {"data/許功蓋", "lid"}});
    EXPECT_TRUE(folder_is(expected));
}

TEST_F(EngineTest, NamesThatDifferOnlyInAsciiCaseAreOneName)
{
    DiscSet set;
    set.add_file(0, "\\Abc", "first");
    set.add_file(0, "\\abc");  // the same file: rewritten, spelled as first made
    set.add_data(0, "second");
    set.add_dir(0, "\\d");
    set.add_file(0, "\\D\\f");  // into "d"
    set.add_data(0, "f");
    set.add_dir(0, "\\D\\Sub");
    set.add_dir(0, "\\d\\SUB");  // exists: nothing new
    set.add_file(0, "\\d\\sub\\g.TXT", "g");
    set.add_file(0, "\\D\\SUB\\G.txt", "g again");
    // Big5 trail bytes are not letters: A4 41 (兀) and A4 61 (弔) are two
    // characters, so two files.
    set.add_file(0, "\\\xA4\x41", "one");
    set.add_file(0, "\\\xA4\x61", "two");
    set.add_raw(0, fixture::close_file());
    Snapshot before = written(set);
    expect_every_cancel_restores(18, before);

    Calls::reset();
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(BoxRecorder::shown.empty());
    Snapshot expected = with_installed(before, {{"", kFolderMark},
                                                {"Abc", "second"},
                                                {"d", kFolderMark},
                                                {"d/f", "f"},
                                                {"d/Sub", kFolderMark},
                                                {"d/Sub/g.TXT", "g again"},
                                                {utf8("\xA4\x41"), "one"},
                                                {utf8("\xA4\x61"), "two"}});
    EXPECT_TRUE(folder_is(expected));
}

TEST_F(EngineTest, FileNamedLikeAFolderOfTheSetButForCaseIsNotCreated)
{
    // Windows cannot open the folder "d" as the file "D"; neither may the
    // stand-in create "D" beside it.
    DiscSet set;
    set.add_dir(0, "\\d");
    set.add_file(0, "\\D", "x");
    Snapshot before = written(set);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kCreateFileFail});
    EXPECT_TRUE(folder_is(before));
}
