// Complete disc folders and ISO images: what lies beside each disc file, the
// images read back with an independent reader (libarchive's bsdtar) and
// compared file by file, the same bytes from the same input, the disc size
// counted over the whole image, the last disc's extra room, pictures
// converted and loaded with the installer's own TGA reader, and clear errors
// for missing paths.
#include "disc_extract.h"
#include "disc_tree.h"
#include "image_buffer.h"
#include "iso_image.h"
#include "run_program.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

namespace {

const char kUrl[] = "官方網頁.url";

void run_or_fail(const std::vector<std::string>& args)
{
    ProgramRun run;
    std::string error;
    ASSERT_TRUE(run_program(args, {}, &run, &error)) << error;
    ASSERT_EQ(run.exit_code, 0) << args[0] << ": " << run.err;
}

// A w x h picture in PPM: pixel (x, y) has red 40x, green 50y, blue 200.
std::string ppm(int w, int h)
{
    std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s += (char)(40 * x);
            s += (char)(50 * y);
            s += (char)200;
        }
    return s;
}

// The entries of an image, unpacked by bsdtar.
Snapshot image_contents(const fs::path& image, const fs::path& into)
{
    fs::create_directories(into);
    run_or_fail({"bsdtar", "-xf", utf8_of(image), "-C", utf8_of(into)});
    return snapshot(into);
}

// The primary volume descriptor's volume id (sector 16, bytes 40..71).
std::string volume_id_of(const fs::path& image)
{
    std::string bytes = host_bytes(image);
    if (bytes.size() < 17 * 2048)
        return "";
    std::string id = bytes.substr(16 * 2048 + 40, 32);
    return id.substr(0, id.find_last_not_of(' ') + 1);
}

// The Joliet descriptor's volume id (sector 17, bytes 40..71, UCS-2 big
// endian), as Windows shows it; ASCII ids only.
std::string joliet_volume_id_of(const fs::path& image)
{
    std::string bytes = host_bytes(image);
    if (bytes.size() < 18 * 2048)
        return "";
    std::string id;
    for (size_t i = 17 * 2048 + 40; i < 17 * 2048 + 72; i += 2)
        id += bytes[i + 1];
    return id.substr(0, id.find_last_not_of(' ') + 1);
}

Snapshot without_cd(Snapshot s, int n)
{
    s.erase("cd" + std::to_string(n));
    return s;
}

struct LayoutPack : GameWithData {
    fs::path pictures = tmp.host / "pictures";
    fs::path url = tmp.host / "site.url";

    void SetUp() override
    {
        make_game_and_data(game, 1200000, data);
        put_host_bytes(tmp.host / "setup.exe", "MZ setup " + random_bytes(3000, 1));
        put_host_bytes(tmp.host / "launcher.exe", "MZ launcher");
        put_host_bytes(tmp.host / "uninstall.exe", "MZ uninstaller");
        put_host_bytes(url, "[InternetShortcut]\r\nURL=http://example.com/\r\n");
        fs::create_directories(data / "empty");
        fs::create_directories(pictures);
        put_host_bytes(tmp.host / "p.ppm", ppm(5, 4));
        run_or_fail({"convert", utf8_of(tmp.host / "p.ppm"), utf8_of(pictures / "first.png")});
        run_or_fail({"convert", "-size", "30x20", "xc:orange", utf8_of(pictures / "second.jpg")});
    }

    DiscPackOptions options(int64_t disc_size, bool iso)
    {
        DiscPackOptions o = sample_options();
        o.disc_size = disc_size;
        o.iso = iso;
        o.uninstaller = tmp.host / "uninstall.exe";
        o.data_folder = data;
        o.layout.enabled = true;
        o.layout.setup_program = tmp.host / "setup.exe";
        o.layout.launcher_program = tmp.host / "launcher.exe";
        o.layout.pictures = pictures;
        o.layout.data_folder = data;
        o.layout.web_shortcut = url;
        return o;
    }
    fs::path disc(const fs::path& where, int n) const { return where / ("disc" + std::to_string(n)); }
    fs::path image(const fs::path& where, int n) const { return where / ("disc" + std::to_string(n) + ".iso"); }
    int64_t size_of(const fs::path& p) const { return (int64_t)fs::file_size(p); }
};

}  // namespace

TEST(IsoAccounting, WholeSectorsAndTheRoomThatKeepsAnImageWithinItsLimit)
{
    EXPECT_EQ(iso_image_bytes(200, 0), 200 * 2048);
    EXPECT_EQ(iso_image_bytes(200, 1), 201 * 2048);
    EXPECT_EQ(iso_image_bytes(200, 2048), 201 * 2048);
    EXPECT_EQ(iso_image_bytes(200, 2049), 202 * 2048);
    // The room is whole sectors below the limit, less the structures.
    EXPECT_EQ(iso_disc_file_room(300 * 2048, 200), 100 * 2048);
    EXPECT_EQ(iso_disc_file_room(300 * 2048 + 2047, 200), 100 * 2048);
    EXPECT_EQ(iso_disc_file_room(300 * 2048 - 1, 200), 99 * 2048);
    EXPECT_LT(iso_disc_file_room(100 * 2048, 200), 0);
    for (int64_t limit : {409600, 409601, 411647, 411648, 681984000})
        EXPECT_LE(iso_image_bytes(150, iso_disc_file_room(limit, 150)), limit) << limit;
}

TEST(IsoAccounting, VolumeIdsAreDCharactersWithTheDiscNumber)
{
    EXPECT_EQ(iso_volume_id("Sample Game 2", "Key", 1), "SAMPLE_GAME_2_1");
    EXPECT_EQ(iso_volume_id("--Dragon's  Lair!", "Key", 12), "DRAGON_S_LAIR_12");
    // No ASCII letter or digit in the product: the registry key, then DISC.
    EXPECT_EQ(iso_volume_id("許功蓋大冒險", "XuGongGai", 2), "XUGONGGAI_2");
    EXPECT_EQ(iso_volume_id("許功蓋", "許", 3), "DISC_3");
    std::string id = iso_volume_id("A very long product name that goes on and on", "K", 10);
    // Cut to the 16 characters of a Joliet label, the number kept.
    EXPECT_EQ(id, "A_VERY_LONG_P_10");
    EXPECT_EQ(iso_volume_id("XuGongGaiAdventure", "K", 1), "XUGONGGAIADVEN_1");
    for (char c : iso_volume_id("ä b-c/d.e", "K", 7))
        EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') << c;
}

TEST_F(LayoutPack, EveryDiscFolderHoldsWhatSetupLooksForThereAndTheImagesReadBackTheSame)
{
    DiscPackResult r = pack_or_fail(game, out, options(900000, true));
    ASSERT_GE(r.disc_count, 3) << "the test wants a middle disc";
    ASSERT_EQ(r.pictures, 2);
    const int last = r.disc_count;

    Snapshot first = snapshot(disc(out, 1));
    EXPECT_TRUE(first["setup.exe"] == host_bytes(tmp.host / "setup.exe"));
    EXPECT_EQ(first["launcher.exe"], "MZ launcher");
    EXPECT_EQ(first["autorun.inf"], "[autorun]\r\nopen=launcher.exe\r\nicon=setup.exe,0\r\n");
    EXPECT_EQ(first[kUrl], host_bytes(url));
    EXPECT_EQ(first["data/存檔/說明.txt"], "saves go here");
    EXPECT_EQ(first["data/empty"], kFolderMark);
    EXPECT_EQ(first.count("pic/01.tga") + first.count("pic/02.tga"), 2u);
    EXPECT_EQ(first.count("uninstall.exe"), 0u) << "the uninstaller travels inside the records";

    // Later discs: their disc file and the pictures; the last one also the
    // data folder and the web shortcut, which the finishing steps read.
    Snapshot pics;
    for (auto& e : first)
        if (e.first.rfind("pic", 0) == 0)
            pics.insert(e);
    for (int n = 2; n < last; ++n)
        EXPECT_EQ(without_cd(snapshot(disc(out, n)), n), pics) << "disc " << n;
    Snapshot expected_last = pics;
    for (auto& e : first)
        if (e.first.rfind("data", 0) == 0 || e.first == kUrl)
            expected_last.insert(e);
    EXPECT_EQ(without_cd(snapshot(disc(out, last)), last), expected_last);

    // Each image, unpacked by another program, holds exactly its folder; its
    // size is what was counted and within the disc size; its volume id
    // names the disc.
    for (int n = 1; n <= last; ++n) {
        SCOPED_TRACE("disc " + std::to_string(n));
        Snapshot folder = snapshot(disc(out, n));
        Snapshot read_back = image_contents(image(out, n), tmp.host / ("unpacked" + std::to_string(n)));
        EXPECT_EQ(read_back, folder) << describe(read_back);
        EXPECT_EQ(size_of(image(out, n)), r.image_bytes[(size_t)n - 1]);
        EXPECT_LE(size_of(image(out, n)), 900000);
        EXPECT_EQ(size_of(image(out, n)) % 2048, 0);
        EXPECT_EQ(volume_id_of(image(out, n)), "XUGONGGAI_" + std::to_string(n));
        EXPECT_EQ(joliet_volume_id_of(image(out, n)), "XUGONGGAI_" + std::to_string(n));
    }

    // The set itself installs the game.
    std::string error;
    fs::path dest = tmp.host / "installed";
    ASSERT_TRUE(disc_extract(disc_args(out, last), dest, ExtractOptions(), &error)) << error;
    Snapshot installed = snapshot(dest);
    installed.erase("uninstall.exe");
    installed.erase("uninstall.lst");
    EXPECT_EQ(installed, snapshot(game));
    EXPECT_FALSE(fs::exists(out / ".discset-work"));
}

TEST_F(LayoutPack, TheSameInputGivesTheSameImageBytes)
{
    DiscPackResult a = pack_or_fail(game, out, options(900000, true));
    // Other file dates and another output folder change nothing.
    for (const fs::path& p : {game / "game.exe", tmp.host / "setup.exe", data / fs::u8path("設定.ini"), url})
        fs::last_write_time(p, fs::last_write_time(p) - std::chrono::hours(1000));
    fs::path again = tmp.host / "again";
    DiscPackResult b = pack_or_fail(game, again, options(900000, true));
    ASSERT_EQ(a.disc_count, b.disc_count);
    for (int n = 1; n <= a.disc_count; ++n) {
        std::string one = host_bytes(image(out, n)), two = host_bytes(image(again, n));
        EXPECT_FALSE(one.empty());
        EXPECT_TRUE(one == two) << "disc" << n << ".iso differs";
    }
}

TEST_F(LayoutPack, AnImageFillsItsDiscExactlyAndOneByteLessMovesARecordOn)
{
    fs::path probe = tmp.host / "probe";
    DiscPackResult wide = pack_or_fail(game, probe, options(700000, true));
    const int64_t full = size_of(image(probe, 1));

    // A disc size of exactly that image: the same discs, the image at the limit.
    fs::path exact = tmp.host / "exact";
    DiscPackResult at = pack_or_fail(game, exact, options(full, true));
    EXPECT_EQ(size_of(image(exact, 1)), full);
    EXPECT_EQ(at.disc_bytes[0], wide.disc_bytes[0]);

    // One byte less: cd1 loses its last record, which opens disc 2.
    fs::path less = tmp.host / "less";
    DiscPackResult below = pack_or_fail(game, less, options(full - 1, true));
    EXPECT_LT(below.disc_bytes[0], wide.disc_bytes[0]);
    EXPECT_LE(size_of(image(less, 1)), full - 1);
    for (int n = 1; n <= below.disc_count; ++n)
        EXPECT_LE(size_of(image(less, n)), full - 1) << n;
    std::string error;
    fs::path dest = tmp.host / "installed";
    ASSERT_TRUE(disc_extract(disc_args(less, below.disc_count), dest, ExtractOptions(), &error)) << error;
    EXPECT_EQ(snapshot(dest).size(), snapshot(game).size() + 2);
}

TEST_F(LayoutPack, TheLastDiscKeepsRoomForTheDataFolderAndTheWebShortcut)
{
    // One incompressible file of seven records (about 204800 bytes each); a
    // disc of 1000000 bytes holds four of them, disc 1 beside 300000 bytes
    // of data three.
    fs::remove_all(game);
    put_host_bytes(game / "game.exe", random_bytes(7 * 204800, 9));
    auto plain = [&](size_t data_bytes, const fs::path& where) {
        fs::remove_all(data);
        put_host_bytes(data / "big.dat", random_bytes(data_bytes, 3));
        DiscPackOptions o = options(1000000, false);
        o.layout.pictures.clear();
        return pack_or_fail(game, where, o);
    };
    // A small data folder: four records and three, the second disc keeps
    // room for it.
    DiscPackResult small = plain(1000, tmp.host / "small");
    EXPECT_EQ(small.disc_count, 2);
    // A large one: three records, four on the second disc, which would then
    // lack the room for the data as the last disc: its last records move on.
    DiscPackResult big = plain(300000, tmp.host / "big");
    ASSERT_EQ(big.disc_count, 3);
    for (int n = 1; n <= big.disc_count; ++n) {
        SCOPED_TRACE(n);
        int64_t beside = big.layout_bytes[(size_t)n - 1];
        EXPECT_LE(big.disc_bytes[(size_t)n - 1] + beside, 1000000);
        if (n == 1 || n == big.disc_count)
            EXPECT_GE(beside, 300000);
        else
            EXPECT_EQ(beside, 0);
        EXPECT_EQ(fs::exists(disc(tmp.host / "big", n) / "data" / "big.dat"), n == 1 || n == big.disc_count);
    }
    std::string error;
    fs::path dest = tmp.host / "installed";
    ASSERT_TRUE(disc_extract(disc_args(tmp.host / "big", big.disc_count), dest, ExtractOptions(), &error)) << error;
    EXPECT_EQ(host_bytes(dest / "game.exe"), host_bytes(game / "game.exe"));
}

TEST_F(LayoutPack, ConvertedPicturesLoadWithTheInstallersReaderWithTheirPixels)
{
    pack_or_fail(game, out, options(2000000, false));
    std::string system_path;
    ASSERT_TRUE(system_path_of(disc(out, 1) / "pic" / "01.tga", &system_path, nullptr));
    ImageBuffer picture;
    ASSERT_EQ(picture.load_tga(system_path.c_str(), nullptr), 1);
    ASSERT_EQ(picture.width, 5);
    ASSERT_EQ(picture.height, 4);
    ASSERT_EQ(picture.bpp, 24);
    // Blue, green, red; top row first, as the PPM had them.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const uint8_t* p = picture.rows[y] + 3 * x;
            EXPECT_EQ(p[0], 200) << x << "," << y;
            EXPECT_EQ(p[1], 50 * y) << x << "," << y;
            EXPECT_EQ(p[2], 40 * x) << x << "," << y;
        }
    picture.release();
    EXPECT_TRUE(picture_loads(disc(out, 1) / "pic" / "02.tga"));
    EXPECT_FALSE(fs::exists(disc(out, 1) / "pic" / "03.tga"));
}

TEST_F(LayoutPack, NumberedPicturesAreCopiedAsTheyAreAndTheirFaultsAreRefused)
{
    fs::path numbered = tmp.host / "numbered";
    fs::create_directories(numbered);
    std::string converted;
    ASSERT_TRUE(convert_picture(pictures / "first.png", numbered / "01.tga", &converted)) << converted;
    fs::copy_file(numbered / "01.tga", numbered / "02.tga");
    fs::copy_file(numbered / "01.tga", numbered / "00.tga");
    DiscPackOptions o = options(2000000, false);
    o.layout.pictures = numbered;
    DiscPackResult r = pack_or_fail(game, out, o);
    EXPECT_EQ(r.pictures, 3);
    EXPECT_EQ(host_bytes(disc(out, 1) / "pic" / "00.tga"), host_bytes(numbered / "00.tga"));

    struct Case {
        const char* what;
        std::function<void()> spoil;
        const char* says;
    } cases[] = {
        {"a gap", [&] { fs::rename(numbered / "02.tga", numbered / "04.tga"); }, "04.tga but not 02.tga"},
        {"a picture that does not load", [&] { put_host_bytes(numbered / "02.tga", "not a picture"); },
         "does not load with the installer's TGA reader"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(numbered);
        fs::create_directories(numbered);
        for (const char* name : {"01.tga", "02.tga"})
            fs::copy_file(disc(out, 1) / "pic" / "01.tga", numbered / name);
        c.spoil();
        fs::path where = tmp.host / "refused";
        DiscPackResult none;
        std::string error;
        EXPECT_FALSE(disc_pack(game, where, o, &none, &error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(where)) << "nothing is left behind";
    }

    // Not a picture at all, among pictures to convert.
    put_host_bytes(pictures / "notes.txt", "\x01\x02 not an image");
    DiscPackOptions bad = options(2000000, false);
    DiscPackResult none;
    std::string error;
    EXPECT_FALSE(disc_pack(game, tmp.host / "refused", bad, &none, &error));
    EXPECT_NE(error.find("notes.txt"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(tmp.host / "refused"));
}

TEST_F(LayoutPack, AMissingPathIsNamedAndNothingIsWritten)
{
    const fs::path nowhere = tmp.host / "nowhere";
    struct Case {
        const char* what;
        std::function<void(DiscPackOptions*)> set;
        const char* says;
    } cases[] = {
        {"setup", [&](DiscPackOptions* o) { o->layout.setup_program = nowhere; }, "setup program"},
        {"launcher", [&](DiscPackOptions* o) { o->layout.launcher_program = nowhere; }, "launcher program"},
        {"pictures", [&](DiscPackOptions* o) { o->layout.pictures = nowhere; }, "pictures folder"},
        {"data", [&](DiscPackOptions* o) { o->layout.data_folder = nowhere; }, "data folder"},
        {"web shortcut", [&](DiscPackOptions* o) { o->layout.web_shortcut = nowhere; }, "web shortcut"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DiscPackOptions o = options(2000000, true);
        c.set(&o);
        DiscPackResult r;
        std::string error;
        EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_NE(error.find(utf8_of(nowhere)), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST_F(LayoutPack, FilesOfAnEarlierRunAreReplacedOnlyWithForce)
{
    fs::create_directories(disc(out, 1));
    put_host_bytes(disc(out, 1) / "setup.exe", "an older setup");
    put_host_bytes(tmp.host / "keep.txt", "mine");
    DiscPackResult r;
    std::string error;
    EXPECT_FALSE(disc_pack(game, out, options(2000000, true), &r, &error));
    EXPECT_NE(error.find("--force"), std::string::npos) << error;
    EXPECT_EQ(host_bytes(disc(out, 1) / "setup.exe"), "an older setup");

    DiscPackOptions o = options(2000000, true);
    o.overwrite = true;
    r = pack_or_fail(game, out, o);
    EXPECT_TRUE(host_bytes(disc(out, 1) / "setup.exe") == host_bytes(tmp.host / "setup.exe"));
    // Images of the earlier run stop a run without --force too.
    o.overwrite = false;
    fs::remove_all(disc(out, 1));
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    EXPECT_NE(error.find("disc1.iso"), std::string::npos) << error;
    EXPECT_EQ(host_bytes(tmp.host / "keep.txt"), "mine");
}

TEST_F(LayoutPack, FilesThatAreNotPartOfTheSetAreNamedKeptAndLeftOutOfTheImages)
{
    pack_or_fail(game, out, options(2000000, true));
    // An earlier run's third picture would lengthen this set's slide show.
    fs::copy_file(disc(out, 1) / "pic" / "01.tga", disc(out, 1) / "pic" / "03.tga");
    put_host_bytes(disc(out, 1) / "notes" / "todo.txt", "mine");
    DiscPackOptions o = options(2000000, true);
    o.overwrite = true;
    DiscPackResult r = pack_or_fail(game, out, o);
    std::sort(r.stray_files.begin(), r.stray_files.end());
    ASSERT_EQ(r.stray_files.size(), 2u);
    EXPECT_NE(r.stray_files[0].find("notes"), std::string::npos);
    EXPECT_NE(r.stray_files[1].find("03.tga"), std::string::npos);
    EXPECT_EQ(host_bytes(disc(out, 1) / "notes" / "todo.txt"), "mine");
    Snapshot read_back = image_contents(image(out, 1), tmp.host / "unpacked");
    EXPECT_EQ(read_back.count("pic/03.tga") + read_back.count("notes"), 0u) << describe(read_back);
    EXPECT_EQ(read_back.count("pic/02.tga"), 1u);
}
