// The toolkit and the header rules setup applies: `pack` refuses option
// values the installer would refuse, `list` and `test` report a header that
// breaks them, and nothing the terminal prompt meets unwinds through the
// engine.
#include "disc_extract.h"
#include "disc_header.h"
#include "disc_scan.h"
#include "disc_tree.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct HeaderFixture : ::testing::Test {
    TempDir tmp;
    fs::path game = tmp.host / "game";
    fs::path out = tmp.host / "discs";

    void SetUp() override { make_game_tree(game, 1000); }

    fs::path cd1() const { return out / "disc1" / "cd1"; }
};

void put_text(std::string* cd1, int at, const std::string& text)
{
    cd1->replace((size_t)at, (size_t)disc::kTextSize, std::string((size_t)disc::kTextSize, '\0'));
    cd1->replace((size_t)at, text.size(), text);
}

}  // namespace

// Each value would have become a folder, link or key name outside its
// place; the message names the option and the value.
TEST_F(HeaderFixture, PackRefusesHeaderValuesTheInstallerRefuses)
{
    // Outside the install folder, yet a file that exists.
    const std::string climbing_exe = "..\\game\\game.exe";
    struct Case {
        const char* option;
        std::string DiscPackOptions::*field;
        std::string value;
    };
    const Case cases[] = {
        {"--company", &DiscPackOptions::company, "CON"},     {"--company", &DiscPackOptions::company, "Co."},
        {"--product", &DiscPackOptions::product, ".."},      {"--product", &DiscPackOptions::product, "Game "},
        {"--regkey", &DiscPackOptions::regkey, ".."},        {"--regkey", &DiscPackOptions::regkey, "Soft/Key"},
        {"--regkey", &DiscPackOptions::regkey, "Key*"},      {"--exe", &DiscPackOptions::exe, climbing_exe},
        {"--exe", &DiscPackOptions::exe, "bin\\\\game.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.value);
        DiscPackOptions o = sample_options();
        o.*c.field = c.value;
        DiscPackResult r;
        std::string error;
        EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
        EXPECT_NE(error.find(std::string(c.option) + " \"" + c.value + "\""), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(out));
    }

    // Every refused value is named at once.
    DiscPackOptions o = sample_options();
    o.company = "nul";
    o.product = "..";
    o.regkey = "a\\b";
    DiscPackResult r;
    std::string error;
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    for (const char* named : {"--company \"nul\"", "--product \"..\"", "--regkey \"a\\b\""})
        EXPECT_NE(error.find(named), std::string::npos) << error;
    EXPECT_EQ(error.find("--exe"), std::string::npos) << error;

    // A program in a sub-folder is a relative path of names, and fine.
    put_host_bytes(game / "bin" / "run.exe", "program");
    o = sample_options();
    o.exe = "bin\\run.exe";
    EXPECT_TRUE(disc_pack(game, out, o, &r, &error)) << error;
}

// `list` and `test` walk the same summary: each broken field is damage at
// its offset in the header, named.
TEST_F(HeaderFixture, ListAndTestReportAHeaderTheInstallerRefuses)
{
    DiscPackOptions o = sample_options();
    ASSERT_EQ(pack_or_fail(game, out, o).disc_count, 1);
    const std::string sound = host_bytes(cd1());

    struct Case {
        const char* what;
        std::function<void(std::string*)> damage;
        int at;
    };
    const Case cases[] = {
        {"product climbing into Startup", [](std::string* b) { put_text(b, disc::kProductAt, "..\\Startup"); },
         disc::kProductAt},
        {"empty registry key", [](std::string* b) { put_text(b, disc::kRegkeyAt, ""); }, disc::kRegkeyAt},
        {"company naming a device", [](std::string* b) { put_text(b, disc::kCompanyAt, "AUX"); }, disc::kCompanyAt},
        {"game program outside", [](std::string* b) { put_text(b, disc::kExeAt, "..\\x.exe"); }, disc::kExeAt},
        {"negative total size", [](std::string* b) { put_number(b, disc::kTotalSizeAt, -1); }, disc::kTotalSizeAt},
        {"negative disc count", [](std::string* b) { put_number(b, disc::kDiscCountAt, -1); }, disc::kDiscCountAt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = sound;
        c.damage(&bytes);
        put_host_bytes(cd1(), bytes);
        std::vector<DiscFile> discs;
        std::string error;
        ASSERT_TRUE(collect_discs(disc_args(out, 1), &discs, &error)) << error;
        DiscSetSummary s;
        EXPECT_EQ(walk_disc_set(discs, std::function<void(const TreeEntry&)>(), &s), 0);
        ASSERT_FALSE(s.damage.empty());
        const DiscDamage& d = s.damage.front();
        EXPECT_EQ(d.disc, 1);
        EXPECT_EQ(d.offset, c.at) << d.text;
        EXPECT_NE(d.text.find("refused by the installer"), std::string::npos) << d.text;
        EXPECT_NE(d.text.find(disc_header_field_name(c.at)), std::string::npos) << d.text;
        // Reported once, not again as some other damage of the same field.
        for (size_t i = 1; i < s.damage.size(); ++i)
            EXPECT_NE(s.damage[i].offset, c.at) << s.damage[i].text;
    }
}

// What the user types at the disc prompt cannot make the toolkit throw
// through the engine: an answer no host path can hold is a folder without
// the disc, and the cancel that follows rolls back.
TEST_F(HeaderFixture, PromptAnswerNoHostCanOpenIsAskedAgainAndCancelRollsBack)
{
    // An incompressible file of 8000 bytes beside the rest: two discs of
    // 10000 bytes with either compressor.
    put_host_bytes(game / "more.bin", random_bytes(8000, 3));
    DiscPackOptions o = sample_options();
    o.compressor = kCompressorZlib;
    o.disc_size = 10000;
    DiscPackResult r = pack_or_fail(game, out, o);
    ASSERT_GE(r.disc_count, 2);
    fs::path answers = tmp.host / "answers.txt";
    // A name longer than any file system allows, then an empty line: cancel.
    put_host_bytes(answers, std::string(5000, 'n') + "/" + std::string(300, 'x') + "\n\n");
    TerminalPrompts terminal(answers);
    ASSERT_TRUE(terminal.opened());
    fs::path dest = tmp.host / "dest";
    std::string error;
    bool ok = true;
    EXPECT_NO_THROW(ok = disc_extract(disc_args(out, 1), dest, terminal.options, &error));
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find("cancelled at disc 2"), std::string::npos) << error;
    EXPECT_TRUE(!fs::exists(dest) || fs::is_empty(dest));
    // The engine is usable again afterwards: the whole set extracts.
    EXPECT_TRUE(disc_extract(disc_args(out, r.disc_count), dest, ExtractOptions(), &error)) << error;
    EXPECT_EQ(snapshot(game), snapshot(dest));
}
