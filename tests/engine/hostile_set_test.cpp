// Damaged and hostile disc sets, and faults in the middle of an
// installation: each must stop with a message, write nothing outside the
// install folder and leave everything as it was before.
#include "engine_fixture.h"

#include "disc_format.h"
#include "platform.h"

#include <functional>

using fixture::DiscSet;

namespace {

const std::string kDamaged = "磁碟錯誤!|安裝資料損毀";
const std::string kCannotWrite = "磁碟錯誤!|無法寫入磁碟";

// A small valid start, so every damaged set has something to roll back.
DiscSet valid_start()
{
    DiscSet set;
    set.add_dir(0, "\\ok");
    set.add_file(0, "\\ok\\first.txt", "first");
    return set;
}

struct HostilePath {
    const char* path;  // bytes as stored (the NUL is added)
    const char* why;
    bool directory_ok;  // names a folder: refused as a file only
};

const HostilePath kHostilePaths[] = {
    {"..", "parent, no leading backslash"},
    {"\\..", "parent as the whole path"},
    {"\\..\\escaped", "parent first"},
    {"\\a\\..\\..\\escaped", "parent in the middle"},
    {"\\a\\..", "parent last"},
    {"\\..\\sentinel.txt", "the file beside the install folder"},
    {"\\.", "current folder"},
    {"\\.\\x", "current folder first"},
    {"\\a\\.\\b", "current folder in the middle"},
    {"\\.. ", "parent with a trailing space"},
    {"\\..\\.. \\escaped", "parent with a trailing space in the middle"},
    {"\\...", "three dots fold to a parent"},
    {"\\... \\escaped", "dots and a space"},
    {"\\../escaped", "forward slash after the parent"},
    {"\\a/../../escaped", "forward slashes"},
    {"/escaped", "forward slash at the start"},
    {"\\a/b", "forward slash inside"},
    {"\\C:\\escaped", "drive letter"},
    {"\\C:escaped", "drive-relative name"},
    {"C:foo", "drive-relative name without backslash"},
    {"\\\\server\\share\\x", "UNC path"},
    {"\\\\", "empty components"},
    {"\\a\\\\b", "empty component in the middle"},
    {"\\a\\", "trailing backslash", true},
    {"\\a \\", "trailing space kept by Windows before a backslash"},
    {"\\a..\\x", "inner component left with a dot by Windows"},
    {"\\CON.", "console device behind a dot Windows drops"},
    {"\\a\\nul .\\x", "null device behind a dot and a space"},
    {"\\\x81\x40", "Big5 user-defined code, a private-use character under Windows"},
    {"escaped", "no leading backslash"},
    {"", "empty path"},
    {"\\", "only the separator (the install folder)", true},
    {"\\x:stream", "alternate data stream"},
    {"\\CON", "console device"},
    {"\\nul.txt", "null device with an extension"},
    {"\\a\\COM1", "serial device"},
    {"\\lpt9.log", "printer device"},
    {"\\a\tb", "control character"},
    {"\\a*", "wildcard"},
    {"\\\xB3", "lone Big5 lead byte at the end"},
    {"\\\xB3/..\\escaped", "lead byte before a slash"},
    {"\\\xB3\x2E.\\x", "lead byte before a dot"},
};

}  // namespace

class HostilePathTest : public EngineTest, public ::testing::WithParamInterface<HostilePath> {};

TEST_P(HostilePathTest, IsRefusedAsDamagedDataInEveryRecordKind)
{
    const HostilePath& h = GetParam();
    std::string path = h.path;
    Snapshot before = snapshot(tmp.host);
    for (int kind = h.directory_ok ? 1 : 0; kind < 3; ++kind) {
        SCOPED_TRACE(std::string(h.why) + ", kind " + std::to_string(kind));
        Calls::reset();
        BoxRecorder::shown.clear();
        DiscSet set = valid_start();
        if (kind == 0) {
            set.add_dir(0, path);
        } else {
            set.add_file(0, path, "payload");
            if (kind == 2) {
                set.add_raw(0, fixture::close_file());
                set.add_dir(0, "\\after");
            }
        }
        write(set);
        EXPECT_EQ(run(), 0);
        EXPECT_EQ(box_texts(), std::vector<std::string>{kDamaged});
        Snapshot after = snapshot(tmp.host);
        // Only the disc files may differ (rewritten per kind).
        std::string cd1 = "src/cd1";
        after.erase(cd1);
        Snapshot expect = before;
        expect.erase(cd1);
        EXPECT_EQ(after, expect) << describe(after);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, HostilePathTest, ::testing::ValuesIn(kHostilePaths));

TEST_F(EngineTest, PathThatDoesNotFitBesideTheInstallPathIsRefused)
{
    // Install path + record path + NUL must fit 260 bytes.
    int32_t room = 260 - 1 - (int32_t)inst.size();
    ASSERT_GT(room, 10);
    DiscSet fits = valid_start();
    fits.add_dir(0, "\\" + std::string((size_t)room - 1, 'a'));  // exactly fits
    write(fits);
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(BoxRecorder::shown.empty());
    std::error_code ec;
    fs::remove_all(host_of(inst), ec);

    for (size_t length : {(size_t)room, (size_t)room + 1, (size_t)1000, (size_t)disc::kMaxDecompressed - 2}) {
        BoxRecorder::shown.clear();
        DiscSet set = valid_start();
        set.add_file(0, "\\" + std::string(length, 'b'));
        write(set);
        EXPECT_EQ(run(), 0) << length;
        EXPECT_EQ(box_texts(), std::vector<std::string>{kDamaged}) << length;
        EXPECT_FALSE(exists(inst)) << length;
    }
}

TEST_F(EngineTest, PathWithoutItsNulIsRefused)
{
    DiscSet set = valid_start();
    set.add_raw(0, fixture::raw_record(disc::kFile, fixture::zlib("\\no-terminator")));
    write(set);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kDamaged});
    EXPECT_FALSE(exists(inst));
}

// Damaged records: what is broken, and how.
struct DamagedRecord {
    const char* what;
    std::string bytes;  // appended after the valid start
};

// Failure messages name the case, not its bytes.
void PrintTo(const DamagedRecord& d, std::ostream* os)
{
    *os << d.what;
}

std::vector<DamagedRecord> damaged_records()
{
    std::string good = fixture::zlib("some data");
    std::string too_big = fixture::zlib(std::string(disc::kMaxDecompressed + 1, 'z'));
    std::string fits = fixture::zlib(std::string(disc::kMaxDecompressed, 'z'));
    std::string bad_check = good;
    bad_check.back() ^= 0x01;  // last byte of the Adler-32 trailer
    return {
        {"garbage instead of a zlib stream", fixture::raw_record(3, "not zlib at all")},
        {"stream cut short", fixture::raw_record(3, good.substr(0, good.size() - 3))},
        {"checksum wrong", fixture::raw_record(3, bad_check)},
        {"empty stream (L = 0)", fixture::raw_record(3, "")},
        {"negative length", fixture::raw_record(3, -1, good)},
        {"length above the input buffer", fixture::raw_record(3, disc::kMaxCompressed + 1, good)},
        {"length far above the file", fixture::raw_record(3, 0x7FFFFFFF, good)},
        {"length says more than the file holds", fixture::raw_record(3, (int32_t)good.size() + 1, good)},
        {"file ends inside the length", std::string("\x03\x10\x00", 3)},
        {"file ends right after the type byte", std::string(1, '\x02')},
        {"decompresses to more than the output buffer", fixture::raw_record(3, too_big)},
        {"directory record that does not decompress", fixture::raw_record(1, "\x78\x9c garbage")},
        // Sanity: the largest record that fits, then a broken one.
        {"largest data record, then a broken one", fixture::raw_record(3, fits) + fixture::raw_record(3, "x")},
    };
}

class DamagedRecordTest : public EngineTest, public ::testing::WithParamInterface<DamagedRecord> {};

TEST_P(DamagedRecordTest, StopsWithTheDamageMessageAndRollsBack)
{
    const DamagedRecord& d = GetParam();
    SCOPED_TRACE(d.what);
    DiscSet set = valid_start();
    set.add_raw(0, d.bytes);
    write(set);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kDamaged});
    EXPECT_FALSE(exists(inst));
}

INSTANTIATE_TEST_SUITE_P(Records, DamagedRecordTest, ::testing::ValuesIn(damaged_records()));

TEST_F(EngineTest, DamageOnTheSecondDiscRollsBackTheFirst)
{
    DiscSet set = valid_start();
    set.add_data(1, "more");
    set.add_raw(1, std::string("\x03\xFF\xFF", 3));  // cut inside the length
    write(set);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(box_texts(), std::vector<std::string>{kDamaged});
    EXPECT_FALSE(exists(inst));
}

namespace {

// A small two-disc set with folders, files and a file across the discs.
DiscSet small_set()
{
    DiscSet set;
    set.add_dir(0, "\\data");
    set.add_file(0, "\\data\\a.bin", random_bytes(1000, 7));
    set.add_data(0, random_bytes(2000, 8));
    set.add_raw(0, fixture::close_file());
    set.add_dir(0, "\\data\\sub");
    set.add_file(0, "\\data\\sub\\b.bin", "b");
    set.add_raw(0, fixture::end_disc());
    set.add_data(1, "bb");
    set.add_raw(1, fixture::close_file());
    set.add_file(1, "\\c.txt", "c");
    set.add_raw(1, fixture::close_file());
    return set;
}

// User files in the install folder, three of which the set replaces: one
// in a folder of its own (a.bin), one that continues onto the second disc
// (b.bin) and one that starts there (c.txt).
void add_user_files(const std::string& inst)
{
    ASSERT_TRUE(plat_create_directory(inst.c_str()));
    ASSERT_TRUE(plat_create_directory((inst + "\\data").c_str()));
    ASSERT_TRUE(plat_create_directory((inst + "\\data\\sub").c_str()));
    write_file(inst + "\\data\\mine.txt", "the user's");
    write_file(inst + "\\readme.txt", "also the user's");
    write_file(inst + "\\data\\a.bin", random_bytes(5000, 99));
    write_file(inst + "\\data\\sub\\b.bin", "the user's b");
    write_file(inst + "\\c.txt", "");
}

// Removes what a first, complete run installed, then interrupts a run at
// each step from 1 to `last`: first with no install folder, then over the
// user's files. `interrupt` gets the step and the folder as it was before.
void interrupt_at_each_step(const std::string& inst, const TempDir& tmp, long last,
                            const std::function<void(long, const Snapshot&)>& interrupt)
{
    std::error_code ec;
    fs::remove_all(host_of(inst), ec);
    for (int existing = 0; existing < 2; ++existing) {
        if (existing)
            add_user_files(inst);
        Snapshot before = snapshot(tmp.host);
        for (long step = 1; step <= last; ++step) {
            SCOPED_TRACE("step " + std::to_string(step) + (existing ? ", folder existed" : ""));
            interrupt(step, before);
        }
    }
}

// Names in the snapshot that look like backups of replaced files.
std::vector<std::string> backup_names(const Snapshot& s)
{
    std::vector<std::string> out;
    for (const auto& e : s)
        if (e.first.find("~bak") != std::string::npos)
            out.push_back(e.first);
    return out;
}

}  // namespace

TEST_F(EngineTest, CancelAtEveryRecordRestoresTheFolder)
{
    write(small_set());
    ASSERT_EQ(run(), 1);
    size_t records = Calls::progress.size();
    ASSERT_EQ(records, 13u);
    interrupt_at_each_step(inst, tmp, (long)records, [&](long record, const Snapshot& before) {
        Calls::reset();
        Calls::cancel_at = (int32_t)record;
        EXPECT_EQ(run(), 0);
        EXPECT_EQ(Calls::progress.size(), (size_t)record);
        EXPECT_TRUE(folder_is(before));
    });
    EXPECT_TRUE(BoxRecorder::shown.empty());
}

TEST_F(EngineTest, WriteFailureAtEveryWriteRestoresTheFolder)
{
    write(small_set());
    long writes_before = plat_write_count();
    ASSERT_EQ(run(), 1);
    long writes = plat_write_count() - writes_before;
    ASSERT_EQ(writes, 5);  // one per non-empty data record
    interrupt_at_each_step(inst, tmp, writes, [&](long write, const Snapshot& before) {
        BoxRecorder::shown.clear();
        plat_fail_write_after(write - 1);  // the write-th write fails
        EXPECT_EQ(run(), 0);
        plat_fail_write_after(-1);
        EXPECT_EQ(box_texts(), std::vector<std::string>{kCannotWrite});
        EXPECT_TRUE(folder_is(before));
    });
}

TEST_F(EngineTest, MissingSecondDiscRestoresReplacedFiles)
{
    // b.bin is open, half written over the user's b.bin, when cd2 is missing.
    write(small_set());
    ASSERT_TRUE(plat_remove_file((src + "\\cd2").c_str()));
    add_user_files(inst);
    Snapshot before = snapshot(tmp.host);
    for (int32_t ok_answers : {0, 2}) {
        SCOPED_TRACE(std::to_string(ok_answers) + " prompts answered OK first");
        Calls::reset();
        Calls::prompt_answers_ok = ok_answers;
        EXPECT_EQ(run(), 0);
        EXPECT_EQ(Calls::prompts.size(), (size_t)ok_answers + 1);
        EXPECT_TRUE(folder_is(before));
    }
    EXPECT_TRUE(BoxRecorder::shown.empty());
}

TEST_F(EngineTest, ReplacedFilesHoldTheSetsContentAfterSuccessWithNoBackupLeft)
{
    write(small_set());
    add_user_files(inst);
    Snapshot expected = snapshot(tmp.host);
    expected[rel("data/a.bin")] = random_bytes(1000, 7) + random_bytes(2000, 8);
    expected[rel("data/sub/b.bin")] = "bbb";
    expected[rel("c.txt")] = "c";
    EXPECT_EQ(run(), 1);
    Snapshot after = snapshot(tmp.host);
    EXPECT_EQ(backup_names(after), std::vector<std::string>{});
    EXPECT_EQ(after, expected) << describe(after);
}
