// `list` and `extract` agree with each other and with Windows on the names
// of a set written by another authoring tool: harmless path forms, names
// that differ only in ASCII case, and Big5 codes without a character.
#include "disc_extract.h"
#include "disc_fixture.h"
#include "disc_scan.h"
#include "disc_tree.h"
#include "test_support.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

struct NamesFixture : ::testing::Test {
    TempDir tmp;
    fs::path discs = tmp.host / "discs";

    void write(const fixture::DiscSet& set)
    {
        fs::create_directories(discs);
        fixture::write_set(set, tmp.path("discs"));
    }

    // The listed tree (relative "/" paths -> "/" for a folder, else the size).
    std::map<std::string, std::string> listed(DiscSetSummary* s)
    {
        std::vector<DiscFile> found;
        std::string error;
        EXPECT_TRUE(collect_discs({utf8_of(discs)}, &found, &error)) << error;
        std::map<std::string, std::string> out;
        walk_disc_set(
            found,
            [&](const TreeEntry& e) {
                std::string p = e.path.substr(1);
                std::replace(p.begin(), p.end(), '\\', '/');
                out[p] = e.is_directory ? "/" : std::to_string(e.size);
            },
            s);
        return out;
    }
};

std::map<std::string, std::string> sizes(const std::map<std::string, std::string>& tree)
{
    std::map<std::string, std::string> out;
    for (const auto& kv : tree)
        out[kv.first] = kv.second == kFolderMark ? "/" : std::to_string(kv.second.size());
    return out;
}

TEST_F(NamesFixture, ListAndExtractGiveTheTreeWindowsGives)
{
    fixture::DiscSet set;
    set.add_dir(0, "\\");
    set.add_dir(0, "\\save\\");
    set.add_file(0, "\\save\\slot.", "slot");
    set.add_file(0, "\\Abc", "first");
    set.add_file(0, "\\abc ", "second!");
    set.add_dir(0, "\\SAVE\\Sub");
    set.add_file(0, "\\save\\sub\\" + big5("許") + ".", "xyz");
    set.add_raw(0, fixture::close_file());
    set.add_raw(0, fixture::end_disc());
    write(set);

    const std::map<std::string, std::string> expected = {
        {"save", "/"}, {"save/slot", "4"}, {"Abc", "7"}, {"save/Sub", "/"}, {"save/Sub/許", "3"},
    };
    DiscSetSummary s;
    std::map<std::string, std::string> list = listed(&s);
    EXPECT_TRUE(s.damage.empty()) << (s.damage.empty() ? "" : s.damage[0].text);
    // "Abc" is listed for each of its two file records; the last one counts.
    EXPECT_EQ(list, expected);
    EXPECT_EQ(s.directories, 2);

    fs::path dest = tmp.host / "dest";
    std::string error;
    ASSERT_TRUE(disc_extract({utf8_of(discs)}, dest, ExtractOptions(), &error)) << error;
    EXPECT_EQ(sizes(snapshot(dest)), expected);
}

TEST_F(NamesFixture, Big5CodeWithoutACharacterIsDamageForListAndExtract)
{
    fixture::DiscSet set;
    set.add_dir(0, "\\ok");
    set.add_file(0, "\\ok\\\x81\x40");  // user-defined: private use under Windows
    set.add_data(0, "x");
    write(set);
    DiscSetSummary s;
    listed(&s);
    ASSERT_EQ(s.damage.size(), 1u);
    EXPECT_NE(s.damage[0].text.find("Big5"), std::string::npos) << s.damage[0].text;
    fs::path dest = tmp.host / "dest";
    std::string error;
    EXPECT_FALSE(disc_extract({utf8_of(discs)}, dest, ExtractOptions(), &error));
    EXPECT_TRUE(!fs::exists(dest) || fs::is_empty(dest));
}

}  // namespace
