// The pre-flight check over a complete two-disc layout (pack's discs with the
// programs, autorun file, pictures, data folder and web shortcut placed
// beside them), and over that layout broken one way at a time: each break
// must give its exact report line, and only it.
#include "apkg_writer.h"
#include "disc_check.h"
#include "disc_tree.h"
#include "iso_medium.h"
#include "tga_bytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

const char kUrl[] = "官方網頁.url";

// A 2 x 2, 24-bit, top-row-first true-colour picture.
std::string good_picture(int shade)
{
    return tga_header(2, 2, 2, 24, 0x20) + std::string(12, (char)shade);
}

// The same header with its pixel data cut short: the reader refuses it.
std::string truncated_picture()
{
    return tga_header(2, 2, 2, 24, 0x20) + std::string(5, '\x10');
}

std::string pic(int n)
{
    char name[16];
    snprintf(name, sizeof name, "pic/%02d.tga", n);
    return name;
}

// The decompressed bytes counted after each record of a disc file, read by
// the test itself (type byte, 4-byte length, zlib stream), as pairs of the
// record's offset and the running total; end records give no progress.
struct Progress {
    int disc;
    int64_t bytes;
};

void replay_disc(const std::string& cd, size_t start, int disc, int64_t* total, std::vector<Progress>* out,
                 std::vector<size_t>* data_offsets = nullptr)
{
    size_t p = start;
    while (p < cd.size()) {
        int type = (uint8_t)cd[p];
        if (type == 5)
            return;
        if (type >= 1 && type <= 3) {
            uint32_t length = (uint8_t)cd[p + 1] | (uint8_t)cd[p + 2] << 8 | (uint8_t)cd[p + 3] << 16 |
                              (uint32_t)(uint8_t)cd[p + 4] << 24;
            std::vector<unsigned char> plain(204800);
            uLongf n = plain.size();
            EXPECT_EQ(uncompress(plain.data(), &n, (const Bytef*)cd.data() + p + 5, length), Z_OK);
            *total += n;
            if (type == 3 && data_offsets)
                data_offsets->push_back(p);
            p += 5 + length;
        } else {
            p += 1;
        }
        out->push_back(Progress{disc, *total});
    }
}

struct PreflightTest : TwoDiscSet {
    fs::path disc(int n) const { return out / ("disc" + std::to_string(n)); }

    std::string packed1, packed2;  // the disc files as pack wrote them

    void SetUp() override
    {
        TwoDiscSet::SetUp();
        packed1 = host_bytes(cd(1));
        packed2 = host_bytes(cd(2));
        place_layout();
    }

    // What goes beside the disc files: the programs and autorun file on
    // disc 1; pictures, web shortcut and data folder on both.
    void place_layout()
    {
        put_host_bytes(disc(1) / "setup.exe", "MZ setup");
        put_host_bytes(disc(1) / "launcher.exe", "MZ launcher");
        put_host_bytes(disc(1) / "autorun.inf", "[autorun]\r\nopen=launcher.exe\r\nicon=setup.exe,0\r\n");
        for (int d = 1; d <= 2; ++d) {
            for (int n = 1; n <= 4; ++n)
                put_host_bytes(disc(d) / pic(n), good_picture(n * 40));
            put_host_bytes(disc(d) / fs::u8path(kUrl), "[InternetShortcut]\r\nURL=http://example.com/\r\n");
            put_host_bytes(disc(d) / "data" / "readme.txt", "data of the game");
        }
    }

    // The report lines of a check of `folders` (both discs by default).
    std::vector<std::string> check(int* result, int64_t disc_size = disc::kCd650, std::vector<fs::path> folders = {})
    {
        if (folders.empty())
            folders = {disc(1), disc(2)};
        std::vector<std::unique_ptr<DiscMedium>> media;
        for (const fs::path& f : folders) {
            std::string error;
            DiscArgument argument;
            EXPECT_EQ(disc_argument_of_path(f, &argument, &error), 1) << error;
            media.push_back(open_disc_medium(argument, &error));
            EXPECT_TRUE(media.back()) << error;
            if (!media.back())
                media.pop_back();
        }
        CheckReport report;
        *result = check_disc_set(media, CheckOptions{disc_size}, &report);
        std::vector<std::string> lines;
        for (const CheckFinding& f : report.findings)
            lines.push_back(finding_line(f));
        EXPECT_EQ(report.problems + report.notes, (int)lines.size());
        return lines;
    }

    // Problem lines only (notes left out).
    std::vector<std::string> problems(int* result, int64_t disc_size = disc::kCd650)
    {
        std::vector<std::string> lines;
        for (const std::string& l : check(result, disc_size))
            if (l.find(": note: ") == std::string::npos)
                lines.push_back(l);
        return lines;
    }

    // Problem lines of a check of `discs` (folders or images).
    std::vector<std::string> problems_of(int* result, const std::vector<fs::path>& discs,
                                         int64_t disc_size = disc::kCd650)
    {
        std::vector<std::string> lines;
        for (const std::string& l : check(result, disc_size, discs))
            if (l.find(": note: ") == std::string::npos)
                lines.push_back(l);
        return lines;
    }

    // The engine's progress over the whole set, replayed from the bytes.
    std::vector<Progress> replay(int64_t* total)
    {
        std::vector<Progress> steps;
        *total = 0;
        replay_disc(host_bytes(cd(1)), disc::kHeaderSize, 1, total, &steps);
        replay_disc(host_bytes(cd(2)), 0, 2, total, &steps);
        return steps;
    }

    // Bytes a folder needs on a disc: every file in whole 2048-byte sectors.
    int64_t sectors_of(const fs::path& folder)
    {
        int64_t sum = 0;
        for (auto& e : fs::recursive_directory_iterator(folder))
            if (e.is_regular_file())
                sum += ((int64_t)e.file_size() + 2047) / 2048 * 2048;
        return sum;
    }
};

TEST_F(PreflightTest, CompleteLayoutHasNoProblemAndNotesTheNumberZeroPicture)
{
    int ok = 0;
    std::vector<std::string> lines = check(&ok);
    EXPECT_EQ(ok, 1);
    // With 4 pictures the first step is at 20 %; the first nonzero
    // percentage below it asks for pic\00.tga, which is not there.
    int64_t total = 0;
    std::vector<Progress> steps = replay(&total);
    int first_percent = 0;
    int first_disc = 0;
    for (const Progress& s : steps)
        if (s.bytes * 100 / total > 0) {
            first_percent = (int)(s.bytes * 100 / total);
            first_disc = s.disc;
            break;
        }
    ASSERT_GT(first_percent, 0);
    ASSERT_LT(first_percent, 20) << "the fixture's first record is too large for this case";
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "disc " + std::to_string(first_disc) + ": note: setup asks for pic\\00.tga at " +
                            std::to_string(first_percent) +
                            " %, below the first step of the slide show (20 % with 4 picture(s)); there is none, "
                            "so the first picture stays");

    // A pic\00.tga that is there and loads silences the note.
    put_host_bytes(disc(first_disc) / pic(0), good_picture(1));
    EXPECT_TRUE(check(&ok).empty());
    EXPECT_EQ(ok, 1);
}

TEST_F(PreflightTest, EachPictureMustBeOnTheDiscInTheDriveWhenSetupAsksForIt)
{
    // The test's own replay: picture k (of 4) is asked for at the first
    // record where (5 x percent) / 100 - 1 reaches k - 1 and changes.
    int64_t total = 0;
    std::vector<Progress> steps = replay(&total);
    struct Asked {
        int disc;
        int percent;
    };
    std::map<int, Asked> asked;  // picture -> where and when
    int shown = 0, last = 0;
    for (const Progress& s : steps) {
        int percent = (int)(s.bytes * 100 / total);
        if (percent == last)
            continue;
        last = percent;
        int index = 5 * percent / 100 - 1;
        if (index != shown && index < 4) {
            shown = index;
            asked[index + 1] = Asked{s.disc, percent};
        }
    }
    // A record larger than a step (the fixture's are up to a fifth of the
    // set) skips a picture: it is never asked for, and needs no copy.
    ASSERT_EQ(asked.count(0), 1u) << "pic\\00.tga is asked for below the first step";
    ASSERT_GE(asked.size(), 3u);
    bool some_on_disc2 = false;
    for (int n = 1; n <= 4; ++n) {
        fs::remove(disc(2) / pic(n));
        int ok = 0;
        std::vector<std::string> lines = problems(&ok);
        if (asked.count(n) && asked[n].disc == 2) {
            some_on_disc2 = true;
            EXPECT_EQ(ok, 0) << n;
            ASSERT_EQ(lines.size(), 1u) << n;
            EXPECT_EQ(lines[0], "disc 2: no pic\\0" + std::to_string(n) + ".tga: setup asks for it at " +
                                    std::to_string(asked[n].percent) +
                                    " % while disc 2 is in the drive, and keeps the previous picture");
        } else {
            EXPECT_EQ(ok, 1) << "picture " << n << " is shown from disc 1: " << (lines.empty() ? "" : lines[0]);
        }
        put_host_bytes(disc(2) / pic(n), good_picture(n * 40));
    }
    EXPECT_TRUE(some_on_disc2) << "the fixture's second disc should carry part of the slide show";

    // A copy inside pic.apkg serves the request just as well (setup reads
    // pictures through the package fallback).
    int n = 0;
    for (const auto& kv : asked)
        if (kv.second.disc == 2 && kv.first > 0)
            n = kv.first;
    ASSERT_GT(n, 0);
    fs::create_directories(tmp.host / "pkg");
    put_host_bytes(tmp.host / "pkg" / ("0" + std::to_string(n) + ".tga"), good_picture(9));
    std::string error;
    ASSERT_TRUE(apkg_create_from_folder(tmp.host / "pkg", disc(2) / "pic.apkg", &error)) << error;
    fs::remove(disc(2) / pic(n));
    int ok = 0;
    EXPECT_TRUE(problems(&ok).empty());
    EXPECT_EQ(ok, 1);
}

TEST_F(PreflightTest, BrokenLayoutsGiveTheirReportLine)
{
    const std::string cd1 = host_bytes(cd(1)), cd2 = host_bytes(cd(2));
    int64_t total = 0;
    std::vector<Progress> steps;
    std::vector<size_t> data2;
    replay_disc(cd1, disc::kHeaderSize, 1, &total, &steps);
    replay_disc(cd2, 0, 2, &total, &steps, &data2);
    ASSERT_FALSE(data2.empty());
    const std::string no_launcher_why = "disc 1: no launcher.exe: it finds the drive that holds cd1 and starts setup";

    struct Case {
        const char* what;
        std::function<void()> damage;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"damaged record: a byte of the zlib stream of cd2's first data record",
         [&] {
             std::string b = cd2;
             b[data2[0] + 5 + 8] ^= 0x55;  // deflate data past the 2-byte zlib header
             put_host_bytes(cd(2), b);
         },
         {}},  // the line is matched by prefix below
        {"header total wrong",
         [&] {
             std::string b = cd1;
             int32_t wrong = (int32_t)total + 1;
             for (int i = 0; i < 4; ++i)
                 b[disc::kTotalSizeAt + i] = (char)(wrong >> (8 * i));
             put_host_bytes(cd(1), b);
         },
         {"disc 1: cd1 at byte 164: the header's total size " + std::to_string(total + 1) +
          " differs from the records' " + std::to_string(total) + " decompressed bytes"}},
        {"picture gap on disc 1",
         [&] { fs::remove(disc(1) / pic(3)); },
         {"disc 1: pic\\03.tga, pic\\04.tga never show: setup counts the pictures on disc 1 from pic\\01.tga up to "
          "the first gap, and pic\\03.tga is missing there (2 picture(s) counted)"}},
        {"a picture that does not load",
         [&] { put_host_bytes(disc(1) / pic(2), truncated_picture()); },
         {"disc 1: pic\\02.tga does not load with the installer's TGA reader (a TGA of type 1, 2, 3, 9, 10 or 11, "
          "8 bits or more, complete)"}},
        {"a picture only inside pic.apkg on disc 1",
         [&] {
             fs::create_directories(tmp.host / "pkg");
             put_host_bytes(tmp.host / "pkg" / "03.tga", good_picture(3));
             std::string error;
             ASSERT_TRUE(apkg_create_from_folder(tmp.host / "pkg", disc(1) / "pic.apkg", &error)) << error;
             fs::remove(disc(1) / pic(3));
         },
         {"disc 1: pic\\03.tga is only inside pic.apkg: setup counts the slide-show pictures as plain files only, "
          "so the count stops at 2",
          "disc 1: pic\\03.tga, pic\\04.tga never show: setup counts the pictures on disc 1 from pic\\01.tga up "
          "to the first gap, and pic\\03.tga is missing there (2 picture(s) counted)"}},
        {"no launcher",
         [&] { fs::remove(disc(1) / "launcher.exe"); },
         {no_launcher_why, "disc 1: autorun.inf's open=launcher.exe names no file on the disc"}},
        {"no setup",
         [&] { fs::remove(disc(1) / "setup.exe"); },
         {"disc 1: no setup.exe: the launcher starts setup.exe from the root of the disc it was started from",
          "disc 1: autorun.inf's icon=setup.exe,0 names no file on the disc"}},
        {"no autorun",
         [&] { fs::remove(disc(1) / "autorun.inf"); },
         {"disc 1: no autorun.inf: the disc does not start the launcher when it is inserted"}},
        {"autorun without open=",
         [&] { put_host_bytes(disc(1) / "autorun.inf", "[autorun]\r\nicon=setup.exe\r\n"); },
         {"disc 1: autorun.inf has no open= line: nothing starts when the disc is inserted"}},
        {"data folder missing on the last disc",
         [&] { fs::remove_all(disc(2) / "data"); },
         {"disc 2: no data folder: setup copies it from this disc (the last disc, in the drive when setup "
          "finishes); disc 1 has one"}},
        {"web shortcut missing on the last disc",
         [&] { fs::remove(disc(2) / fs::u8path(kUrl)); },
         {std::string("disc 2: no ") + kUrl +
          ": setup copies it into the program group from this disc (the last disc, in the drive when setup "
          "finishes); disc 1 has one"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.damage();
        int ok = 1;
        std::vector<std::string> lines = problems(&ok);
        EXPECT_EQ(ok, 0);
        if (c.expected.empty()) {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0].rfind("disc 2: cd2 at byte " + std::to_string(data2[0]) +
                                         ": the zlib stream of a record of type 3 does not decompress",
                                     0),
                      0u)
                << lines[0];
        } else {
            EXPECT_EQ(lines, c.expected);
        }
        // Back to the complete layout for the next case.
        put_host_bytes(cd(1), packed1);
        put_host_bytes(cd(2), packed2);
        fs::remove(disc(1) / "pic.apkg");
        fs::remove_all(tmp.host / "pkg");
        place_layout();
    }
}

TEST_F(PreflightTest, MissingDiscAndDiscsOverTheirSize)
{
    int ok = 1;
    std::vector<std::string> lines = check(&ok, disc::kCd650, {disc(1)});
    EXPECT_EQ(ok, 0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "disc 2: missing (cd2 was not given)");
    EXPECT_EQ(lines.size(), 1u) << "nothing else may be judged on a disc that is not there";

    // Disc 1 carries cd1 and every file beside it, each in whole sectors.
    const int64_t need1 = sectors_of(disc(1)), need2 = sectors_of(disc(2));
    ASSERT_GT(need1, need2);
    lines = problems(&ok, need1);
    EXPECT_EQ(ok, 1) << (lines.empty() ? "" : lines[0]);
    lines = problems(&ok, need1 - 1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(lines, std::vector<std::string>{"disc 1: needs " + std::to_string(need1) +
                                              " bytes, 1 more than the "
                                              "disc size " +
                                              std::to_string(need1 - 1)});
}

TEST_F(PreflightTest, DiscsAreFoundByTheirDiscFilesNotByArgumentOrder)
{
    int ok = 0;
    check(&ok, disc::kCd650, {disc(2), disc(1)});
    EXPECT_EQ(ok, 1);
    // A folder without a disc file is named.
    fs::create_directories(tmp.host / "empty");
    std::vector<std::string> lines = check(&ok, disc::kCd650, {disc(1), disc(2), tmp.host / "empty"});
    EXPECT_EQ(ok, 0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "the set: " + utf8_of(tmp.host / "empty") + " holds no disc file (cd1, cd2, ...) at its root");
    // A disc given twice is named once, with both places.
    fs::copy(disc(2), tmp.host / "again", fs::copy_options::recursive);
    lines = check(&ok, disc::kCd650, {disc(1), disc(2), tmp.host / "again"});
    EXPECT_EQ(ok, 0);
    ASSERT_EQ(lines.size(), 2u) << "the note on pic\\00.tga and the one problem";
    EXPECT_EQ(lines[1], "disc 2: cd2 is on two discs: " + utf8_of(disc(2)) + " and " + utf8_of(tmp.host / "again"));
    // A disc file alone is not a disc: the check reads the whole disc.
    std::string error;
    DiscArgument argument;
    ASSERT_EQ(disc_argument_of_path(cd(1), &argument, &error), 1) << error;
    EXPECT_EQ(argument.kind, kDiscFileGiven);
    EXPECT_FALSE(open_disc_medium(argument, &error));
    EXPECT_NE(error.find("is a disc file: give the folder or image that holds it"), std::string::npos) << error;
}

// The same check on disc images that xorriso (an independent writer) made
// of the folders: for a sound set and for each break, the lines the folders
// give, with the images given in any order and mixed with folders; and an
// image's own size counted against the disc.
TEST_F(PreflightTest, ImagesGiveTheLinesOfTheirFolders)
{
    if (!xorriso_available())
        GTEST_SKIP() << "xorriso is not installed (scripts/deps.sh installs it)";
    std::string error;
    int made = 0;
    // Images of disc folders as they are now, in the order given.
    auto images_of = [&](const std::vector<int>& discs, bool joliet = true) {
        std::vector<fs::path> images;
        for (int d : discs) {
            fs::path image = tmp.host / ("image" + std::to_string(++made) + ".iso");
            EXPECT_TRUE(make_iso(disc(d), image, "GAME_" + std::to_string(d), &error, joliet)) << error;
            images.push_back(image);
        }
        return images;
    };
    const std::string cd2 = host_bytes(cd(2));
    struct Case {
        const char* what;
        std::function<void()> damage;
        std::vector<int> discs;  // in the order given
        int sound;
    };
    const std::vector<Case> cases = {
        {"a sound set", [] {}, {2, 1}, 1},
        {"cd2 missing", [] {}, {1}, 0},
        {"a damaged record in cd2",
         [&] {
             std::string b = cd2;
             b[b.size() / 2] ^= 0x55;
             put_host_bytes(cd(2), b);
         },
         {1, 2},
         0},
        {"a picture gap", [&] { fs::remove(disc(1) / pic(2)); }, {2, 1}, 0},
        {"a picture that does not load", [&] { put_host_bytes(disc(2) / pic(3), truncated_picture()); }, {1, 2}, 0},
        {"no setup.exe", [&] { fs::remove(disc(1) / "setup.exe"); }, {1, 2}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.damage();
        std::vector<fs::path> folders;
        for (int d : c.discs)
            folders.push_back(disc(d));
        int folder_ok = -1, image_ok = -1;
        std::vector<std::string> from_folders = check(&folder_ok, disc::kCd650, folders);
        std::vector<std::string> from_images = check(&image_ok, disc::kCd650, images_of(c.discs));
        EXPECT_EQ(folder_ok, c.sound);
        EXPECT_EQ(image_ok, c.sound);
        EXPECT_EQ(from_images, from_folders);
        EXPECT_EQ(from_folders.empty(), false) << "every case has a line (a problem, or the note on pic\\00.tga)";
        if (c.discs.size() == 2) {
            // A folder and an image mixed, image first.
            int mixed_ok = -1;
            std::vector<fs::path> mixed = images_of({c.discs[0]});
            mixed.push_back(disc(c.discs[1]));
            EXPECT_EQ(check(&mixed_ok, disc::kCd650, mixed), from_folders);
            EXPECT_EQ(mixed_ok, c.sound);
        }
        put_host_bytes(cd(2), cd2);
        place_layout();
    }

    // Plain ISO 9660 names are read as listings show them (lower case, no
    // ";1"): the image lacks only what its 8.3 names cannot carry, the web
    // shortcut's Chinese name, which Windows would not find on it either.
    int ok = -1;
    std::vector<std::string> plain = problems_of(&ok, images_of({1, 2}, false));
    EXPECT_EQ(ok, 0);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].rfind(std::string("disc 2: no ") + kUrl, 0), 0u) << plain[0];

    // The image needs its own size on the disc, sectors of folders and
    // descriptors included.
    std::vector<fs::path> pair = images_of({1, 2});
    const int64_t image1 = (int64_t)fs::file_size(pair[0]);
    EXPECT_GT(image1, sectors_of(disc(1))) << "an image needs its directories and volume descriptors too";
    EXPECT_EQ(problems_of(&ok, pair, image1), std::vector<std::string>{});
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(problems_of(&ok, pair, image1 - 1),
              std::vector<std::string>{"disc 1: needs " + std::to_string(image1) +
                                       " bytes, 1 more than the disc size " + std::to_string(image1 - 1)});
}

}  // namespace
