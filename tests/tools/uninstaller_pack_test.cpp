// Packing with the uninstaller: uninstall.exe and the manifest arrive as two
// ordinary files, and the manifest lists what the set and the data folder
// install with the sizes and checksums that the installed files have.
#include "disc_extract.h"
#include "disc_tree.h"
#include "test_support.h"
#include "uninstall_manifest.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace {

uint32_t crc_of(const std::string& bytes)
{
    return (uint32_t)crc32(crc32(0L, Z_NULL, 0), (const Bytef*)bytes.data(), (uInt)bytes.size());
}

struct UninstallerPack : GameWithData {
    fs::path dest = tmp.host / "installed";
    fs::path program = tmp.host / "uninstall.exe";

    void SetUp() override
    {
        make_game_and_data(game, 300000, data);
        put_host_bytes(program, "MZ the uninstaller");
    }
    DiscPackOptions options()
    {
        DiscPackOptions o = sample_options();
        o.uninstaller = program;
        o.data_folder = data;
        o.disc_size = 300000;
        return o;
    }
};

}  // namespace

TEST_F(UninstallerPack, ManifestListsTheSetAndTheDataFolderWithTheirChecksums)
{
    DiscPackResult r = pack_or_fail(game, out, options());
    std::string error;
    ASSERT_TRUE(disc_extract(disc_args(out, r.disc_count), dest, ExtractOptions(), &error)) << error;

    auto installed = snapshot(dest);
    EXPECT_EQ(installed["uninstall.exe"], "MZ the uninstaller");
    ASSERT_EQ(installed.count("uninstall.lst"), 1u);
    installed.erase("uninstall.exe");
    installed.erase("uninstall.lst");
    EXPECT_EQ(installed, snapshot(game));  // nothing else changed

    std::string text = host_bytes(dest / "uninstall.lst");
    UninstallManifest m;
    ASSERT_EQ(m.parse(text.data(), (int32_t)text.size(), 40), 1) << m.problem << " line " << m.bad_line;
    // Game entries, then the data folder's entries not in the game; the
    // folder 存檔 of the data folder is not the game's (it has none), so it
    // is listed once, before its file.
    auto game_entries = snapshot(game);
    std::map<std::string, std::string> expected = game_entries;
    expected["設定.ini"] = "[settings]\r\n";
    expected["存檔"] = kFolderMark;
    expected["存檔/說明.txt"] = "saves go here";
    ASSERT_EQ((size_t)m.count, expected.size());
    EXPECT_EQ(r.manifest_entries, m.count);
    std::map<std::string, std::string> seen_folders;
    for (int32_t i = 0; i < m.count; ++i) {
        std::string name = utf8(m.entries[i].path);
        for (char& c : name)
            if (c == '\\')
                c = '/';
        SCOPED_TRACE(name);
        ASSERT_EQ(expected.count(name), 1u);
        const std::string& content = expected[name];
        if (content == kFolderMark) {
            EXPECT_EQ(m.entries[i].kind, 'D');
            seen_folders[name] = "/";
        } else {
            EXPECT_EQ(m.entries[i].kind, 'F');
            EXPECT_EQ(m.entries[i].size, content.size());
            EXPECT_EQ(m.entries[i].crc, crc_of(content));
            // A file's folder comes before it.
            size_t slash = name.rfind('/');
            if (slash != std::string::npos) {
                EXPECT_EQ(seen_folders.count(name.substr(0, slash)), 1u);
            }
        }
    }
    m.release();
}

// A data file that replaces a game file at install time is listed with the
// data file's checksum, once.
TEST_F(UninstallerPack, DataFileOverGameFileIsListedAsTheDataFile)
{
    put_host_bytes(data / fs::u8path("空白.txt"), "not empty any more");
    DiscPackResult r = pack_or_fail(game, out, options());
    std::string error;
    ASSERT_TRUE(disc_extract(disc_args(out, r.disc_count), dest, ExtractOptions(), &error)) << error;
    std::string text = host_bytes(dest / "uninstall.lst");
    UninstallManifest m;
    ASSERT_EQ(m.parse(text.data(), (int32_t)text.size(), 40), 1) << m.problem;
    int found = 0;
    for (int32_t i = 0; i < m.count; ++i)
        if (utf8(m.entries[i].path) == "空白.txt") {
            ++found;
            EXPECT_EQ(m.entries[i].crc, crc_of("not empty any more"));
            EXPECT_EQ(m.entries[i].size, 18u);
        }
    EXPECT_EQ(found, 1);
    m.release();
}

TEST_F(UninstallerPack, RefusalsLeaveNoDisc)
{
    std::string error;
    DiscPackResult r;
    {
        SCOPED_TRACE("a game with an uninstall.exe of its own");
        put_host_bytes(game / "Uninstall.EXE", "MZ other");
        EXPECT_FALSE(disc_pack(game, out, options(), &r, &error));
        EXPECT_NE(error.find("--no-uninstaller"), std::string::npos) << error;
        fs::remove(game / "Uninstall.EXE");
    }
    {
        SCOPED_TRACE("an uninstaller that is not there");
        DiscPackOptions o = options();
        o.uninstaller = tmp.host / "none.exe";
        EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
        EXPECT_NE(error.find("none.exe"), std::string::npos) << error;
    }
#ifndef _WIN32
    // (Windows cannot hold such a file to begin with: it is the device.)
    {
        SCOPED_TRACE("a data name the installer would refuse");
        put_host_bytes(data / "nul.txt", "x");
        EXPECT_FALSE(disc_pack(game, out, options(), &r, &error));
        EXPECT_NE(error.find("nul.txt"), std::string::npos) << error;
        fs::remove(data / "nul.txt");
    }
#endif
    EXPECT_FALSE(fs::exists(out / "disc1" / "cd1"));
    // Without the uninstaller the game's own uninstall.exe is just a file.
    put_host_bytes(game / "uninstall.exe", "MZ other");
    DiscPackOptions o = sample_options();
    DiscPackResult plain = pack_or_fail(game, out, o);
    EXPECT_EQ(plain.manifest_entries, 0);
}
