// extract --keep-going: sets damaged in a file's first data record, in its
// middle, at the start of the disc a file runs on to, in a path record, and
// with a middle disc missing. Each checks the exact loss report (lines and
// JSON read back) and the tree that was saved.
#include "disc_extract.h"
#include "disc_fixture.h"
#include "disc_salvage.h"
#include "json_names.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <set>

namespace {

// A zlib stream of `bytes` whose Adler-32 trailer is wrong: zlib refuses it
// with Z_DATA_ERROR (-3) after decompressing all of it.
std::string bad_stream(const std::string& bytes)
{
    std::string z = fixture::zlib(bytes);
    z.back() ^= 0x80;
    return z;
}

const char kBadZlib[] = "the zlib stream does not decompress (zlib status -3)";

struct SalvageFixture : ::testing::Test {
    TempDir tmp;
    fixture::DiscSet set;
    fs::path discs_folder = tmp.host / "discs";
    fs::path dest = tmp.host / "out";
    SalvageOptions options;
    SalvageResult result;

    // The offset in its disc file that the next record of disc i gets.
    int64_t next_offset(int disc) const
    {
        int64_t start = disc == 0 ? disc::kHeaderSize : 0;
        return start + ((size_t)disc < set.streams.size() ? (int64_t)set.streams[disc].size() : 0);
    }
    void close(int disc) { set.add_raw(disc, fixture::close_file()); }
    void end(int disc) { set.add_raw(disc, fixture::end_disc()); }

    // Writes the set, drops the discs numbered in `missing`, salvages.
    int salvage(const std::vector<int>& missing = {})
    {
        fs::create_directories(discs_folder);
        fixture::write_set(set, tmp.path("discs"));
        for (int n : missing)
            fs::remove(discs_folder / ("cd" + std::to_string(n)));
        std::vector<DiscFile> discs;
        std::string error;
        EXPECT_EQ(collect_discs({utf8_of(discs_folder)}, &discs, &error), 1) << error;
        int ok = salvage_disc_set(discs, dest, options, &result, &error);
        EXPECT_EQ(ok, 1) << error;
        return ok;
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        for (const SalvageLoss& l : result.losses)
            out.push_back(describe_loss(l));
        return out;
    }

    // The JSON report read back must say what the result says.
    void check_json() const
    {
        nlohmann::json j = nlohmann::json::parse(salvage_report_json(result));
        EXPECT_EQ(j["format"], "discset-loss-report");
        EXPECT_EQ(j["version"], kLossReportVersion);
        EXPECT_EQ(j["complete"], result.complete() == 1);
        EXPECT_EQ(j["files"], result.files);
        EXPECT_EQ(j["bytes"], result.bytes);
        ASSERT_EQ(j["losses"].size(), result.losses.size());
        for (size_t i = 0; i < result.losses.size(); ++i) {
            const SalvageLoss& l = result.losses[i];
            const nlohmann::json& e = j["losses"][i];
            if (l.path.empty()) {
                EXPECT_TRUE(e["path"].is_null());
            } else {
                EXPECT_EQ(e["path"], l.path);
                EXPECT_EQ(e["path_hex"], hex_of(l.raw_path));
            }
            if (l.last < 0)
                EXPECT_TRUE(e["last_offset"].is_null());
            else
                EXPECT_EQ(e["span_bytes"], l.last - l.offset + 1);
            if (l.filled_from < 0)
                EXPECT_TRUE(e["filled"].is_null());
            else
                EXPECT_EQ(e["filled"], nlohmann::json::array({l.filled_from, l.filled_to}));
            EXPECT_EQ(e["disc"], l.disc);
            if (l.offset < 0)
                EXPECT_TRUE(e["offset"].is_null());
            else
                EXPECT_EQ(e["offset"], l.offset);
            EXPECT_EQ(e["reason"], l.reason);
            if (l.kept < 0)
                EXPECT_TRUE(e["kept"].is_null());
            else
                EXPECT_EQ(e["kept"], l.kept);
            EXPECT_EQ(e["removed"], l.removed);
        }
    }

    Snapshot saved() const { return snapshot(dest); }
};

TEST_F(SalvageFixture, SoundSetIsExtractedWholeWithNoLoss)
{
    set.add_dir(0, big5("\\存檔"));
    set.add_file(0, big5("\\存檔\\許功蓋.dat"), "slot one");
    close(0);
    set.add_file(0, "\\game.exe", "MZ");
    end(0);
    set.add_data(1, "+more");  // the exe runs on to disc 2
    close(1);
    end(1);
    salvage();
    EXPECT_TRUE(result.losses.empty()) << testing::PrintToString(lines());
    EXPECT_EQ(saved(), (Snapshot{{"存檔", kFolderMark}, {"存檔/許功蓋.dat", "slot one"}, {"game.exe", "MZ+more"}}));
    EXPECT_EQ(result.files, 2);
    EXPECT_EQ(result.folders, 1);
    EXPECT_EQ(result.bytes, 15);
    check_json();
    EXPECT_EQ(nlohmann::json::parse(salvage_report_json(result))["complete"], true);
}

TEST_F(SalvageFixture, DamageInTheFirstDataRecordKeepsAnEmptyFileAndTheRest)
{
    set.add_file(0, big5("\\許功蓋.bin"));
    int64_t damaged = next_offset(0);
    set.add_raw(0, fixture::raw_record(disc::kData, bad_stream("lost")));
    set.add_data(0, "after the damage");  // cannot be put after a hole: dropped
    close(0);
    set.add_file(0, "\\b.txt", "intact");
    close(0);
    end(0);
    salvage();
    EXPECT_EQ(lines(), std::vector<std::string>{"\\許功蓋.bin  disc 1, offset " + std::to_string(damaged) + ": " +
                                                kBadZlib + "; kept the first 0 bytes"});
    EXPECT_EQ(saved(), (Snapshot{{"許功蓋.bin", ""}, {"b.txt", "intact"}}));
    check_json();
}

struct MiddleDamage : SalvageFixture {
    int64_t damaged = 0;
    void SetUp() override
    {
        set.add_dir(0, "\\d");
        set.add_file(0, "\\d\\a.bin", "first part|");
        damaged = next_offset(0);
        // A length that runs past every buffer: the framing is gone, and
        // the walk must find the next record by itself.
        set.add_raw(0, fixture::raw_record(disc::kData, 0x7FFFFF00, fixture::zlib("lost")));
        set.add_data(0, "third part");
        close(0);
        set.add_file(0, "\\d\\c.txt", "intact");
        close(0);
        end(0);
    }
};

TEST_F(MiddleDamage, FileIsCutAtTheDamageAndTheNextFileStartsAfresh)
{
    salvage();
    const std::string why = "record length outside the buffer (length 2147483392) in a record of type 3";
    // The span up to the next sound record (the data record after it), and
    // the file, whose length after the damage cannot be known.
    EXPECT_EQ(lines(), (std::vector<std::string>{"(skipped)  disc 1, offsets " + std::to_string(damaged) + "-" +
                                                     std::to_string(damaged + 16) + " (17 bytes): " + why +
                                                     "; skipped to the next sound record",
                                                 "\\d\\a.bin  disc 1, offset " + std::to_string(damaged) +
                                                     ": the rest of the file is lost in the span skipped from here (" +
                                                     why + "); kept the first 11 bytes"}));
    EXPECT_EQ(saved(), (Snapshot{{"d", kFolderMark}, {"d/a.bin", "first part|"}, {"d/c.txt", "intact"}}));
    EXPECT_EQ(result.files, 2);
    check_json();
}

TEST_F(MiddleDamage, RemoveDamagedDeletesTheCutFile)
{
    options.remove_damaged = true;
    salvage();
    ASSERT_EQ(result.losses.size(), 2u);
    EXPECT_TRUE(result.losses[1].removed);
    EXPECT_EQ(result.losses[1].kept, -1);
    EXPECT_NE(lines()[1].find("; removed"), std::string::npos) << lines()[1];
    EXPECT_EQ(saved(), (Snapshot{{"d", kFolderMark}, {"d/c.txt", "intact"}}));
    EXPECT_EQ(result.files, 1);
    EXPECT_EQ(result.bytes, 6);
    check_json();
}

TEST_F(SalvageFixture, FileSpanningTwoDiscsLosesWhatIsOnTheDamagedSecond)
{
    set.add_file(0, big5("\\影片\\片頭.avi"));  // no folder record: made on the way
    set.add_data(0, "disc one part");
    end(0);
    set.add_raw(1, fixture::raw_record(disc::kData, bad_stream("disc two part")));
    close(1);
    set.add_file(1, "\\after.txt", "intact");
    close(1);
    end(1);
    salvage();
    EXPECT_EQ(lines(), std::vector<std::string>{"\\影片\\片頭.avi  disc 2, offset 0: " + std::string(kBadZlib) +
                                                "; kept the first 13 bytes"});
    EXPECT_EQ(saved(), (Snapshot{{"影片", kFolderMark}, {"影片/片頭.avi", "disc one part"}, {"after.txt", "intact"}}));
    check_json();
}

TEST_F(SalvageFixture, DamagedPathRecordsLoseTheirNameOnly)
{
    set.add_file(0, "\\a.txt", "whole");
    close(0);
    // A folder record whose stream fails: the folder's own record is lost,
    // but a file inside it still gets the folder made on its way.
    int64_t bad_dir = next_offset(0);
    set.add_raw(0, fixture::raw_record(disc::kDirectory, bad_stream(big5("\\許功蓋") + '\0')));
    set.add_file(0, big5("\\許功蓋\\in.txt"), "inside");
    close(0);
    // A file record cut to a wrong length: the file and its data go.
    int64_t bad_file = next_offset(0);
    std::string name_stream = fixture::zlib(std::string("\\gone.txt") + '\0');
    set.add_raw(0, fixture::raw_record(disc::kFile, (int32_t)name_stream.size() - 3, name_stream));
    set.add_data(0, "its data");
    close(0);
    set.add_file(0, "\\z.txt", "last");
    close(0);
    end(0);
    salvage();
    EXPECT_EQ(lines(), (std::vector<std::string>{"(name lost)  disc 1, offset " + std::to_string(bad_dir) + ": " +
                                                     kBadZlib + " (a folder record: the folder's name is lost)",
                                                 // Its frame does not hold: the span to the next sound record.
                                                 "(skipped)  disc 1, offsets " + std::to_string(bad_file) + "-" +
                                                     std::to_string(bad_file + 22) + " (23 bytes): " + kBadZlib +
                                                     " (a record of type 2); skipped to the next sound record"}));
    EXPECT_EQ(saved(),
              (Snapshot{{"a.txt", "whole"}, {"許功蓋", kFolderMark}, {"許功蓋/in.txt", "inside"}, {"z.txt", "last"}}));
    check_json();
}

TEST_F(SalvageFixture, MissingMiddleDiscIsSkippedAndReported)
{
    set.add_file(0, "\\span.bin", "begins on 1|");
    end(0);
    set.add_data(1, "goes on on 2");  // disc 2 is not given
    close(1);
    set.add_file(1, "\\only2.txt", "on disc 2");
    close(1);
    set.add_file(1, "\\span23.bin", "from 2");
    end(1);
    set.add_data(2, "to 3");  // belongs to a file whose start is lost: dropped
    close(2);
    set.add_file(2, "\\on3.txt", "on disc 3");
    close(2);
    end(2);
    salvage({2});
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "\\span.bin  disc 2: disc 2, on which it continues, was not given; kept the first 12 bytes",
                           "(disc 2)  disc 2: not given (cd2): what lies on it is skipped"}));
    EXPECT_EQ(saved(), (Snapshot{{"span.bin", "begins on 1|"}, {"on3.txt", "on disc 3"}}));
    check_json();
}

TEST_F(SalvageFixture, StrayEndRecordsCostNoFile)
{
    set.add_file(0, "\\a.txt", "part");
    int64_t stray = next_offset(0);
    end(0);  // a byte between two data records of a file
    set.add_data(0, "rest");
    int64_t closing = next_offset(0);
    end(0);  // the file's close record, damaged into an end record
    set.add_file(0, "\\b.txt", "intact");
    close(0);
    end(0);
    salvage();
    auto span = [](int64_t at) {
        return "(skipped)  disc 1, offsets " + std::to_string(at) + "-" + std::to_string(at) +
               " (1 bytes): end record before the end of the disc file; skipped to the next sound record";
    };
    // Each byte is named; no file lost anything.
    EXPECT_EQ(lines(), (std::vector<std::string>{span(stray), span(closing)}));
    EXPECT_EQ(saved(), (Snapshot{{"a.txt", "partrest"}, {"b.txt", "intact"}}));
    EXPECT_FALSE(result.complete());
    check_json();
}

// A file of four records of one size and a short last one.
struct LongFile : SalvageFixture {
    std::string bytes;
    std::vector<int64_t> records;  // offsets of its data records
    void SetUp() override
    {
        // Bytes that do not compress: each record's stream is over 1000 bytes.
        uint32_t seed = 7;
        for (int k = 0; k < 4 * 1000 + 300; ++k)
            bytes += (char)((seed = seed * 1103515245u + 12345u) >> 24);
        set.add_dir(0, "\\d");
        set.add_file(0, "\\d\\long.bin");
        for (size_t at = 0; at < bytes.size(); at += 1000) {
            records.push_back(next_offset(0));
            set.add_data(0, bytes.substr(at, 1000));
        }
        close(0);
        set.add_file(0, "\\d\\next.txt", "intact");
        close(0);
    }
    // `bytes` with [from, to] as zeros.
    std::string zeroed(size_t from, size_t to) const
    {
        std::string z = bytes;
        for (size_t k = from; k <= to; ++k)
            z[k] = '\0';
        return z;
    }
    // Replaces the data record k by one whose stream fails (same frame).
    void break_record(int k)
    {
        std::string& disc = set.streams[0];
        size_t at = (size_t)(records[(size_t)k] - disc::kHeaderSize) + 5 + 6;
        disc[at] = (char)(disc[at] ^ 0x40);
    }
};

TEST_F(LongFile, ALostRecordOfKnownLengthIsFilledAndTheRestKept)
{
    break_record(1);
    end(0);
    salvage();
    ASSERT_EQ(result.losses.size(), 1u) << testing::PrintToString(lines());
    EXPECT_EQ(result.losses[0].filled_from, 1000);
    EXPECT_EQ(result.losses[0].filled_to, 1999);
    EXPECT_NE(lines()[0].find("bytes 1000-1999 of the file are filled with zeros"), std::string::npos) << lines()[0];
    EXPECT_EQ(saved(), (Snapshot{{"d", kFolderMark}, {"d/long.bin", zeroed(1000, 1999)}, {"d/next.txt", "intact"}}));
    EXPECT_EQ(result.filled, 1000);
    check_json();
}

TEST_F(LongFile, ALostLastRecordTakesTheLengthTheHeaderLacks)
{
    break_record(4);  // the short last one: only the header's total tells
    end(0);
    salvage();
    ASSERT_EQ(result.losses.size(), 1u) << testing::PrintToString(lines());
    EXPECT_EQ(saved()["d/long.bin"], zeroed(4000, 4299));
}

TEST_F(LongFile, ZerosOverTwoRecordsAreFilledFromTheManifest)
{
    // The set's own manifest gives the file's size; 200 zero bytes from the
    // middle of record 1 into record 2 leave no frame to follow.
    set.add_file(0, "\\uninstall.lst", fixture::manifest_text({{"\\d\\long.bin", bytes}}));
    close(0);
    end(0);
    std::string& disc = set.streams[0];
    size_t from = (size_t)(records[2] - disc::kHeaderSize) - 100;
    for (size_t k = from; k < from + 200; ++k)
        disc[k] = 0;
    salvage();
    ASSERT_EQ(result.losses.size(), 2u) << testing::PrintToString(lines());
    EXPECT_EQ(result.losses[0].last, records[3] - 1) << lines()[0];  // the span: to the next sound record
    EXPECT_EQ(result.losses[1].filled_from, 1000) << lines()[1];
    EXPECT_EQ(result.losses[1].filled_to, 2999) << lines()[1];
    EXPECT_EQ(saved()["d/long.bin"], zeroed(1000, 2999));
    EXPECT_EQ(saved()["d/next.txt"], "intact");
    check_json();
}

TEST_F(SalvageFixture, EachFolderIsMadeOnce)
{
    for (int i = 0; i < 30; ++i)
        set.add_file(0, "\\a\\b\\c" + std::to_string(i % 3) + "\\f" + std::to_string(i), "x");
    end(0);
    salvage();
    EXPECT_EQ(result.folders, 5);
    EXPECT_EQ(result.mkdirs, 5);  // a, a\b and the three a\b\cN
    EXPECT_EQ(result.files, 30);
}

TEST_F(SalvageFixture, ASetShortOfItsTotalIsNotComplete)
{
    set.add_file(0, "\\a.txt", "whole");
    close(0);
    end(0);
    set.use_total_override = true;
    set.total_override = (int32_t)set.total + 100;  // a disc cut at a record boundary
    salvage();
    EXPECT_EQ(lines(), std::vector<std::string>{"(the set): the records hold 12 bytes, the header's total size is 112: "
                                                "the set is not whole (a disc cut short, or one of another set?)"});
    EXPECT_FALSE(result.complete());
    check_json();
}

TEST_F(SalvageFixture, SelectionAppliesAndUnselectedDamageIsNoLoss)
{
    set.add_dir(0, "\\skip");
    set.add_file(0, "\\skip\\x.txt");
    set.add_raw(0, fixture::raw_record(disc::kData, bad_stream("damaged, but not asked for")));
    close(0);
    set.add_dir(0, big5("\\存檔"));
    set.add_dir(0, big5("\\存檔\\空"));
    set.add_file(0, big5("\\存檔\\Slot1.DAT"), "one");
    close(0);
    set.add_file(0, big5("\\存檔\\slot2.txt"), "two");
    close(0);
    end(0);
    PathSelection selection;
    std::string error;
    ASSERT_EQ(selection.add("存檔/slot?.dat", &error), 1) << error;
    options.selection = &selection;
    salvage();
    EXPECT_TRUE(result.losses.empty()) << testing::PrintToString(lines());
    // Only the file and the folder on its way: not the empty folder beside it.
    EXPECT_EQ(saved(), (Snapshot{{"存檔", kFolderMark}, {"存檔/Slot1.DAT", "one"}}));
    EXPECT_EQ(result.folders, 1);
    EXPECT_EQ(result.files, 1);
}

TEST_F(SalvageFixture, StopFlagEndsTheWalkAndSaysSo)
{
    set.add_file(0, "\\a.txt", "a");
    close(0);
    end(0);
    volatile std::sig_atomic_t stop = 1;
    options.stop = &stop;
    salvage();
    EXPECT_TRUE(result.interrupted);
    EXPECT_TRUE(saved().empty()) << describe(saved());
    EXPECT_EQ(nlohmann::json::parse(salvage_report_json(result))["complete"], false);
}

TEST_F(SalvageFixture, RefusesAFolderInUseAndASetWithoutItsHeader)
{
    set.add_file(0, "\\a.txt", "a");
    end(0);
    fs::create_directories(discs_folder);
    fixture::write_set(set, tmp.path("discs"));
    std::vector<DiscFile> discs;
    std::string error;
    ASSERT_EQ(collect_discs({utf8_of(discs_folder)}, &discs, &error), 1) << error;

    put_host_bytes(dest / "mine.txt", "the user's");
    EXPECT_EQ(salvage_disc_set(discs, dest, options, &result, &error), 0);
    EXPECT_NE(error.find("not an empty folder"), std::string::npos) << error;
    EXPECT_EQ(host_bytes(dest / "mine.txt"), "the user's");

    put_host_bytes(discs_folder / "cd1", "short");
    EXPECT_EQ(salvage_disc_set(discs, tmp.host / "new", options, &result, &error), 0);
    EXPECT_NE(error.find("header"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(tmp.host / "new"));
}

}  // namespace

namespace {

// --include on the default extraction: the engine's record filter.
struct EngineSelection : SalvageFixture {
    bool extract(const std::vector<std::string>& patterns, std::string* error)
    {
        fs::create_directories(discs_folder);
        fixture::write_set(set, tmp.path("discs"));
        PathSelection selection;
        for (const std::string& p : patterns)
            EXPECT_EQ(selection.add(p, error), 1) << *error;
        ExtractOptions o;
        o.selection = &selection;
        return disc_extract({utf8_of(discs_folder)}, dest, o, error);
    }

    void SetUp() override
    {
        set.add_dir(0, "\\Save");
        set.add_dir(0, "\\Save\\empty");
        set.add_file(0, big5("\\Save\\許功蓋.dat"), "slot");
        close(0);
        set.add_file(0, "\\readme.txt", "read me");
        close(0);
        set.add_dir(0, big5("\\影片"));
        set.add_file(0, big5("\\影片\\片頭.avi"), "movie");
        end(0);
        set.add_data(1, "+tail");  // runs on to disc 2
        close(1);
        set.add_file(1, "\\SAVE\\late.dat", "late");  // the first spelling wins
        close(1);
        end(1);
    }
};

TEST_F(EngineSelection, OnlyMatchesAndTheFoldersOnTheirWayAreCreated)
{
    std::string error;
    ASSERT_TRUE(extract({"save/*.DAT"}, &error)) << error;
    EXPECT_EQ(saved(), (Snapshot{{"Save", kFolderMark}, {"Save/許功蓋.dat", "slot"}, {"Save/late.dat", "late"}}));
}

TEST_F(EngineSelection, AFileByItsPathAndAFolderWithAllBelowIt)
{
    std::string error;
    ASSERT_TRUE(extract({"\\影片\\片頭.avi"}, &error)) << error;
    EXPECT_EQ(saved(), (Snapshot{{"影片", kFolderMark}, {"影片/片頭.avi", "movie+tail"}}));
    fs::remove_all(dest);
    ASSERT_TRUE(extract({"SAVE"}, &error)) << error;
    EXPECT_EQ(saved(), (Snapshot{{"Save", kFolderMark},
                                 {"Save/empty", kFolderMark},
                                 {"Save/許功蓋.dat", "slot"},
                                 {"Save/late.dat", "late"}}));
}

TEST_F(EngineSelection, DamageInAFileNotSelectedStillRollsEverythingBack)
{
    set.streams[1].pop_back();  // before the end record
    set.add_file(1, "\\broken.bin");
    set.add_raw(1, fixture::raw_record(disc::kData, bad_stream("damaged")));
    close(1);
    end(1);
    std::string error;
    EXPECT_FALSE(extract({"readme.txt"}, &error));
    EXPECT_NE(error.find("nothing was left"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dest / "readme.txt"));
    EXPECT_TRUE(saved().empty()) << describe(saved());
}

}  // namespace

namespace {

// Bytes flipped at random places of a two-disc set: the walk always ends,
// never writes outside the output folder, and every file it keeps whole is
// byte for byte the one in the set.
TEST_F(SalvageFixture, RandomDamageStaysInsideTheOutputFolder)
{
    std::map<std::string, std::string> contents;
    for (int i = 0; i < 12; ++i) {
        std::string name = "\\d" + std::to_string(i % 3) + "\\f" + std::to_string(i) + ".bin";
        std::string bytes;
        for (int k = 0; k < 3000 + 500 * i; ++k)
            bytes += (char)((k * 31 + i * 7) % 251);
        if (i % 3 == 0 && i < 9)
            set.add_dir(i < 6 ? 0 : 1, name.substr(0, 3));
        set.add_file(i < 6 ? 0 : 1, name, bytes.substr(0, bytes.size() / 2));
        set.add_data(i < 6 ? 0 : 1, bytes.substr(bytes.size() / 2));
        close(i < 6 ? 0 : 1);
        std::string rel = name.substr(1);
        rel[2] = '/';
        contents[rel] = bytes;
    }
    end(0);
    end(1);
    fs::create_directories(discs_folder);
    fixture::write_set(set, tmp.path("discs"));
    const std::string cd1 = host_bytes(discs_folder / "cd1"), cd2 = host_bytes(discs_folder / "cd2");
    std::vector<DiscFile> discs;
    std::string error;
    ASSERT_EQ(collect_discs({utf8_of(discs_folder)}, &discs, &error), 1) << error;

    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int round = 0; round < 40; ++round) {
        std::string a = cd1, b = cd2;
        for (int k = 0; k < 1 + round % 4; ++k) {
            std::string& disc = next() % 2 ? a : b;
            size_t at = (disc.data() == a.data() ? disc::kHeaderSize : 0) +
                        next() % (disc.size() - (disc.data() == a.data() ? disc::kHeaderSize : 0));
            disc[at] = (char)(disc[at] ^ (1 + next() % 255));
        }
        put_host_bytes(discs_folder / "cd1", a);
        put_host_bytes(discs_folder / "cd2", b);
        fs::path out = tmp.host / ("out" + std::to_string(round));
        SalvageResult r;
        ASSERT_EQ(salvage_disc_set(discs, out, options, &r, &error), 1) << "round " << round << ": " << error;
        // A file named in the report may be cut, or have lost records
        // written as zeros; every other byte must be the set's.
        std::map<std::string, std::vector<std::pair<int64_t, int64_t>>> named;
        for (const SalvageLoss& l : r.losses)
            if (!l.path.empty()) {
                std::string rel = l.path.substr(1);
                std::replace(rel.begin(), rel.end(), '\\', '/');
                named[rel];
                if (l.filled_from >= 0)
                    named[rel].push_back({l.filled_from, l.filled_to});
            }
        for (const auto& kv : snapshot(out)) {
            if (kv.second == kFolderMark)
                continue;
            ASSERT_TRUE(contents.count(kv.first)) << "round " << round << " made " << kv.first;
            std::string want = contents[kv.first];
            if (!named.count(kv.first)) {
                EXPECT_EQ(kv.second, want) << "round " << round << ": " << kv.first << " is not whole";
                continue;
            }
            for (const auto& f : named[kv.first])
                for (int64_t k = f.first; k <= f.second && k < (int64_t)want.size(); ++k)
                    want[(size_t)k] = '\0';
            EXPECT_LE(kv.second.size(), want.size()) << "round " << round << ": " << kv.first;
            EXPECT_EQ(want.compare(0, kv.second.size(), kv.second), 0) << "round " << round << ": " << kv.first;
        }
    }
    // Nothing beside the disc folder and the output folders.
    for (const auto& e : fs::directory_iterator(tmp.host)) {
        std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "discs" || name.rfind("out", 0) == 0) << name;
    }
}

}  // namespace
