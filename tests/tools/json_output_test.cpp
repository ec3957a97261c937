// The --json listings, parsed back from their text and compared field by
// field with sets whose every byte offset the test knows: Big5 names with
// their bytes, a file that runs across two discs, zlib damage, a missing
// disc, a header text that is not Big5, and a package with a damaged entry.
#include "apkg_json.h"
#include "disc_fixture.h"
#include "disc_json.h"
#include "json_names.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using nlohmann::json;
using ordered = nlohmann::ordered_json;  // what the listings build

// Two discs, records laid by hand:
//   cd1: dir \許功蓋, file \許功蓋\big.bin with "abc", end
//   cd2: data "defg" (or a damaged stream), close, file \讀我.txt "hi", close, end
struct JsonFixture : ::testing::Test {
    TempDir tmp;
    fs::path folder = tmp.host / "discs";
    fixture::DiscSet set;
    std::string dir_path = "\\" + big5("許功蓋");
    std::string big_path = dir_path + "\\big.bin";
    std::string readme_path = "\\" + big5("讀我") + ".txt";

    void build(bool damage_second_disc)
    {
        set.company = big5("公司");
        set.product = big5("遊戲");
        set.add_dir(0, dir_path);
        set.add_file(0, big_path, "abc");
        set.add_raw(0, fixture::end_disc());
        if (damage_second_disc)
            set.add_raw(1, fixture::raw_record(3, "garbage!"));
        else
            set.add_data(1, "defg");
        set.add_raw(1, fixture::close_file());
        set.add_file(1, readme_path, "hi");
        set.add_raw(1, fixture::close_file());
        set.add_raw(1, fixture::end_disc());
    }

    std::vector<DiscFile> discs()
    {
        fs::create_directories(folder);
        fixture::write_set(set, tmp.path("discs"));
        std::vector<DiscFile> found;
        std::string error;
        EXPECT_TRUE(collect_discs({utf8_of(folder)}, &found, &error)) << error;
        return found;
    }

    // The document as a reader gets it: written out and parsed again.
    static json reparsed(const ordered& doc) { return json::parse(json_text(doc)); }
};

TEST_F(JsonFixture, ListGivesHeaderAndEveryEntryWithBytesDiscsAndOffsets)
{
    build(false);
    ordered doc;
    ASSERT_EQ(disc_list_json(discs(), &doc), 1) << doc.dump();
    json j = reparsed(doc);
    EXPECT_EQ(j.at("format"), "discset-list");
    EXPECT_EQ(j.at("version"), 1);

    const json& h = j.at("header");
    EXPECT_EQ(h.at("company"), "公司");
    EXPECT_EQ(h.at("company_hex"), "a4bda571");
    EXPECT_EQ(h.at("company_escaped"), false);
    EXPECT_EQ(h.at("product"), "遊戲");
    EXPECT_EQ(h.at("registry_key"), "GameKey");
    EXPECT_EQ(h.at("game_program"), "game.exe");
    EXPECT_EQ(h.at("disc_count"), 2);
    EXPECT_EQ(h.at("total_size"), set.total);

    const json& e = j.at("entries");
    ASSERT_EQ(e.size(), 3u) << e.dump();
    // 許, 功 and 蓋 all end in the byte 0x5C, the path separator.
    EXPECT_EQ(e[0].at("path"), "\\許功蓋");
    EXPECT_EQ(e[0].at("path_hex"), "5cb35ca55cbb5c");
    EXPECT_EQ(e[0].at("kind"), "directory");
    EXPECT_EQ(e[0].at("size"), 0);
    EXPECT_EQ(e[0].at("discs"), json::array({1}));
    EXPECT_EQ(e[0].at("offset"), 168);

    EXPECT_EQ(e[1].at("path"), "\\許功蓋\\big.bin");
    EXPECT_EQ(e[1].at("path_hex"), "5cb35ca55cbb5c5c6269672e62696e");
    EXPECT_EQ(e[1].at("kind"), "file");
    EXPECT_EQ(e[1].at("size"), 7);
    EXPECT_EQ(e[1].at("discs"), json::array({1, 2}));
    EXPECT_EQ(e[1].at("offset"), 168 + (int64_t)fixture::dir(dir_path).size());

    EXPECT_EQ(e[2].at("path"), "\\讀我.txt");
    EXPECT_EQ(e[2].at("path_escaped"), false);
    EXPECT_EQ(e[2].at("size"), 2);
    EXPECT_EQ(e[2].at("discs"), json::array({2}));
    EXPECT_EQ(e[2].at("offset"), (int64_t)(fixture::data("defg").size() + fixture::close_file().size()));

    EXPECT_EQ(j.at("folders"), 1);
    EXPECT_EQ(j.at("files"), 2);
    EXPECT_EQ(j.at("file_bytes"), 9);
    EXPECT_EQ(j.at("damaged"), false);
    EXPECT_TRUE(j.at("problems").empty());
    ASSERT_EQ(j.at("discs").size(), 2u);
    EXPECT_EQ(j.at("discs")[1].at("number"), 2);
    EXPECT_EQ(j.at("discs")[1].at("file"), utf8_of(folder / "cd2"));
}

TEST_F(JsonFixture, TestReportsAZlibFailureWithDiscOffsetAndStatus)
{
    build(true);
    ordered doc;
    EXPECT_EQ(disc_test_json(discs(), &doc), 0);
    json j = reparsed(doc);
    EXPECT_EQ(j.at("ok"), false);
    EXPECT_EQ(j.at("disc_count"), 2);
    ASSERT_EQ(j.at("problems").size(), 1u) << j.dump();
    const json& p = j.at("problems")[0];
    EXPECT_EQ(p.at("disc"), 2);
    EXPECT_EQ(p.at("file"), utf8_of(folder / "cd2"));
    EXPECT_EQ(p.at("offset"), 0);
    EXPECT_EQ(p.at("zlib_status"), -3);  // Z_DATA_ERROR: "garbage!" has no zlib header
    EXPECT_EQ(p.at("zlib_error"), "data error");
    EXPECT_NE(p.at("reason").get<std::string>().find("does not decompress"), std::string::npos);
}

TEST_F(JsonFixture, SoundTestHasCountsAndNoProblems)
{
    build(false);
    ordered doc;
    EXPECT_EQ(disc_test_json(discs(), &doc), 1);
    json j = reparsed(doc);
    EXPECT_EQ(j.at("format"), "discset-test");
    EXPECT_EQ(j.at("version"), 1);
    EXPECT_EQ(j.at("ok"), true);
    // Each file once, its bytes gathered across both discs: "abc" + "defg".
    const json& sums = j.at("checksums");
    ASSERT_EQ(sums.size(), 2u) << sums.dump();
    EXPECT_EQ(sums[0].at("path"), "\\許功蓋\\big.bin");
    EXPECT_EQ(sums[0].at("size"), 7);
    EXPECT_EQ(sums[0].at("crc32"), "312a6aa6");
    EXPECT_EQ(sums[0].at("sha256"), "7d1a54127b222502f5b79b5fb0803061152a44f92b37e23c6527baf665d4da9a");
    EXPECT_EQ(sums[1].at("path"), "\\讀我.txt");
    EXPECT_EQ(sums[1].at("crc32"), "d8932aac");
    EXPECT_EQ(sums[1].at("sha256"), "8f434346648f6b96df89dda901c5176b10a6d83961dd3c1ac88b59b2dc327aa4");
    // dir, file, data, end | data, close, file, data, close, end
    EXPECT_EQ(j.at("records"), 10);
    EXPECT_EQ(j.at("folders"), 1);
    EXPECT_EQ(j.at("files"), 2);
    EXPECT_EQ(j.at("total_size"), set.total);
    EXPECT_TRUE(j.at("problems").empty());
}

TEST_F(JsonFixture, MissingDiscAndNonBig5HeaderAreProblemsNotFailures)
{
    build(false);
    set.company = "\xff\xfe";
    std::vector<DiscFile> all = discs();
    std::vector<DiscFile> first_only(all.begin(), all.begin() + 1);
    ordered doc;
    EXPECT_EQ(disc_list_json(first_only, &doc), 0);
    json j = reparsed(doc);
    EXPECT_EQ(j.at("damaged"), true);
    EXPECT_EQ(j.at("header").at("company"), "\\xFF\\xFE");
    EXPECT_EQ(j.at("header").at("company_hex"), "fffe");
    EXPECT_EQ(j.at("header").at("company_escaped"), true);
    bool missing = false, company = false;
    for (const json& p : j.at("problems")) {
        if (p.at("disc") == 2) {
            missing = true;
            EXPECT_TRUE(p.at("offset").is_null());
            EXPECT_TRUE(p.at("file").is_null());
            EXPECT_TRUE(p.at("zlib_status").is_null());
        }
        if (p.at("disc") == 1 && p.at("offset") == 0)
            company = true;
    }
    EXPECT_TRUE(missing) << j.at("problems").dump();
    EXPECT_TRUE(company) << j.at("problems").dump();
    // The directory on cd1 is still listed; the spanning file never closes.
    ASSERT_EQ(j.at("entries").size(), 1u);
    EXPECT_EQ(j.at("entries")[0].at("kind"), "directory");
}

TEST(JsonNames, BytesThatAreNotBig5AreEscapedAndKeptInHex)
{
    EXPECT_EQ(hex_of(std::string("\x00\x5c\xff", 3)), "005cff");
    EXPECT_EQ(escaped_bytes("a\\b\x1b\x80"), "a\\b\\x1B\\x80");  // the path separator stays readable
    ordered o = ordered::object();
    // 0xFF leads no code page 950 character on either system (0x8140 would
    // be private use under Windows, and convert there).
    put_cp950_name(&o, "n", "\xff\xfe@x");
    EXPECT_EQ(o.at("n"), "\\xFF\\xFE@x");
    EXPECT_EQ(o.at("n_hex"), "fffe4078");
    EXPECT_EQ(o.at("n_escaped"), true);
    put_cp950_name(&o, "n", big5("蓋"));
    EXPECT_EQ(o.at("n"), "蓋");
    EXPECT_EQ(o.at("n_escaped"), false);
    // Text that is not UTF-8 never makes the writer fail.
    EXPECT_NO_THROW(json_text(ordered{{"x", "\xff"}}));
}

TEST(ApkgJson, MembersWithBig5NamesAndADamagedEntry)
{
    TempDir tmp;
    std::string package, error;
    ASSERT_TRUE(apkg_build({{big5("說明") + ".txt", "hello"}, {"b.bin", "xy"}}, &package, &error)) << error;
    // The last directory entry's size (its last 4 bytes) now runs past the end.
    package[package.size() - 4] = '\x7f';
    fs::path file = tmp.host / "p.apkg";
    put_host_bytes(file, package);
    std::vector<ApkgEntryInfo> entries;
    ASSERT_TRUE(apkg_list(file, &entries, &error)) << error;
    json j = json::parse(json_text(apkg_list_json(file, entries)));
    EXPECT_EQ(j.at("package"), utf8_of(file));
    EXPECT_EQ(j.at("damaged"), true);
    const json& m = j.at("members");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].at("name"), "說明.txt");
    EXPECT_EQ(m[0].at("name_hex"), hex_of(big5("說明")) + "2e747874");
    EXPECT_EQ(m[0].at("offset"), 12);
    EXPECT_EQ(m[0].at("size"), 5);
    EXPECT_EQ(m[0].at("valid"), true);
    EXPECT_EQ(m[1].at("name"), "b.bin");
    EXPECT_EQ(m[1].at("offset"), 17);
    EXPECT_EQ(m[1].at("valid"), false);
}

}  // namespace
