// Packing game folders into disc sets and extracting them again with the
// install engine.
#include "disc_extract.h"
#include "disc_scan.h"
#include "disc_tree.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

struct PackFixture : ::testing::Test {
    TempDir tmp;
    fs::path game = tmp.host / "game";
    fs::path out = tmp.host / "discs";
    fs::path dest = tmp.host / fs::u8path("安裝");

    void SetUp() override { make_game_tree(game); }

    // The game packed on discs of 300000 bytes (three of them); *o keeps
    // the options used.
    DiscPackResult pack_small_discs(DiscPackOptions* o)
    {
        *o = sample_options();
        o->disc_size = 300000;
        return pack_or_fail(game, out, *o);
    }

    void extract_and_compare(int discs)
    {
        std::string error;
        ASSERT_TRUE(disc_extract(disc_args(out, discs), dest, ExtractOptions(), &error)) << error;
        EXPECT_EQ(snapshot(game), snapshot(dest));
    }
};

// A small disc size spreads the set over several discs and makes the large
// incompressible file continue from one disc onto the next; both compressors
// write streams the engine reads.
TEST_F(PackFixture, RoundTripOverSeveralDiscsIsByteIdentical)
{
    for (CompressorKind kind : {kCompressorZlib, kCompressorLibdeflate}) {
        if (!compressor_available(kind))
            continue;
        SCOPED_TRACE(compressor_name(kind));
        fs::remove_all(out);
        fs::remove_all(dest);
        DiscPackOptions o = sample_options();
        o.compressor = kind;
        o.disc_size = 300000;
        o.first_disc_reserve = 50000;
        DiscPackResult r = pack_or_fail(game, out, o);
        ASSERT_GE(r.disc_count, 3);
        for (size_t i = 0; i < r.disc_bytes.size(); ++i) {
            EXPECT_LE(r.disc_bytes[i], i == 0 ? 250000 : 300000) << "disc " << i + 1;
            EXPECT_EQ((int64_t)fs::file_size(out / ("disc" + std::to_string(i + 1)) / ("cd" + std::to_string(i + 1))),
                      r.disc_bytes[i]);
        }
        // The incompressible file runs over more than one disc.
        std::vector<DiscFile> discs;
        std::string error;
        ASSERT_TRUE(collect_discs(disc_args(out, r.disc_count), &discs, &error)) << error;
        DiscSetSummary s;
        bool spans = false;
        ASSERT_TRUE(walk_disc_set(
            discs, [&](const TreeEntry& e) { spans |= e.last_disc > e.disc; }, &s));
        EXPECT_TRUE(spans);
        extract_and_compare(r.disc_count);
    }
}

// The header's total is what the engine counts: every decompressed byte of
// directory, file and data records, the paths' NULs included.
TEST_F(PackFixture, HeaderTotalCountsPathsWithTheirNulsAndAllData)
{
    DiscPackResult r = pack_or_fail(game, out, sample_options());
    int64_t expected = 0;
    for (const auto& kv : snapshot(game)) {
        expected += (int64_t)big5("\\" + kv.first).size() + 1;  // "/" and "\" are both one byte
        if (kv.second != kFolderMark)
            expected += (int64_t)kv.second.size();
    }
    EXPECT_EQ(r.total_size, expected);

    std::string cd1 = host_bytes(out / "disc1" / "cd1");
    ASSERT_GE(cd1.size(), (size_t)disc::kHeaderSize);
    auto le32 = [&](int at) {
        return (int32_t)((uint8_t)cd1[at] | (uint8_t)cd1[at + 1] << 8 | (uint8_t)cd1[at + 2] << 16 |
                         (uint32_t)(uint8_t)cd1[at + 3] << 24);
    };
    EXPECT_EQ(le32(disc::kTotalSizeAt), expected);
    EXPECT_EQ(le32(disc::kDiscCountAt), 1);
    // Texts are code page 950, zero-filled to 40 bytes.
    std::string product = big5("許功蓋大冒險");
    EXPECT_EQ(cd1.substr(disc::kProductAt, product.size()), product);
    EXPECT_EQ(cd1.substr(disc::kProductAt + product.size(), disc::kTextSize - product.size()),
              std::string(disc::kTextSize - product.size(), '\0'));
    EXPECT_EQ(cd1.substr(disc::kExeAt, 9), std::string("game.exe\0", 9));
}

TEST_F(PackFixture, SameInputGivesSameBytesWhateverTheThreadCount)
{
    DiscPackOptions o = sample_options();
    o.disc_size = 400000;
    std::vector<std::string> first;
    for (int threads : {1, 2, 5, 1}) {
        SCOPED_TRACE(threads);
        fs::remove_all(out);
        o.threads = threads;
        DiscPackResult r = pack_or_fail(game, out, o);
        std::vector<std::string> bytes;
        for (int i = 1; i <= r.disc_count; ++i)
            bytes.push_back(host_bytes(out / ("disc" + std::to_string(i)) / ("cd" + std::to_string(i))));
        if (first.empty())
            first = bytes;
        else
            EXPECT_TRUE(bytes == first);
    }
}

// A disc of exactly the set's size holds it; one byte less moves the last
// record (and the end record after it) onto a second disc.
TEST_F(PackFixture, RecordThatExactlyFillsADisc)
{
    DiscPackResult whole = pack_or_fail(game, out, sample_options());
    ASSERT_EQ(whole.disc_count, 1);
    int64_t size = whole.disc_bytes[0];

    DiscPackOptions o = sample_options();
    o.disc_size = size;
    o.overwrite = true;
    DiscPackResult exact = pack_or_fail(game, out, o);
    ASSERT_EQ(exact.disc_count, 1);
    EXPECT_EQ(exact.disc_bytes[0], size);

    o.disc_size = size - 1;
    DiscPackResult split = pack_or_fail(game, out, o);
    ASSERT_EQ(split.disc_count, 2);
    EXPECT_FALSE(fs::exists(out / "disc3"));
    // The reserve counts against disc 1 the same way.
    o.disc_size = size + 100;
    o.first_disc_reserve = 101;
    EXPECT_EQ(pack_or_fail(game, out, o).disc_count, 2);
    extract_and_compare(2);
}

TEST_F(PackFixture, DiscTooSmallForARecordIsRefusedAndLeavesNothing)
{
    DiscPackOptions o = sample_options();
    o.disc_size = 100000;  // the incompressible file's records are ~204800 bytes
    DiscPackResult r;
    std::string error;
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(out / "disc1" / "cd1"));
}

TEST_F(PackFixture, EarlierSetIsKeptUnlessForcedAndAStaleLastDiscGoes)
{
    DiscPackOptions o;
    DiscPackResult r = pack_small_discs(&o);
    ASSERT_GE(r.disc_count, 3);
    std::string error;
    o.disc_size = disc::kCd650;
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    EXPECT_NE(error.find("--force"), std::string::npos) << error;
    o.overwrite = true;
    r = pack_or_fail(game, out, o);
    EXPECT_EQ(r.disc_count, 1);
    EXPECT_FALSE(fs::exists(out / "disc2" / "cd2"));
    EXPECT_FALSE(fs::exists(out / "disc3" / "cd3"));
}

TEST_F(PackFixture, NameWithoutBig5FormIsRefusedByName)
{
    put_host_bytes(game / fs::u8path("影片") / fs::u8path("한국어.txt"), "x");
    DiscPackResult r;
    std::string error;
    EXPECT_FALSE(disc_pack(game, out, sample_options(), &r, &error));
    EXPECT_NE(error.find("한국어.txt"), std::string::npos) << error;
    EXPECT_NE(error.find("Big5"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(out / "disc1" / "cd1"));
}

TEST_F(PackFixture, PathsTheInstallerWouldRefuseAreRefused)
{
    // The proposed folder C:\Program Files\<company>\<product>, the record
    // path and its NUL share the engine's 260 bytes.
    DiscPackOptions o = sample_options();
    DiscPackResult r;
    std::string error;
#ifndef _WIN32  // Windows itself cannot make files this deep in a temporary folder
    size_t folder = proposed_install_folder(big5(o.company), big5(o.product)).size();
    std::string fits(259 - folder - 8, 'a');  // "\許功蓋\" is 8 bytes
    fs::path deep = game / fs::u8path("許功蓋");
    put_host_bytes(deep / fits, "ok");
    ASSERT_TRUE(disc_pack(game, out, o, &r, &error)) << error;
    fs::remove(deep / fits);
    put_host_bytes(deep / (fits + "b"), "too long");
    o.overwrite = true;
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
    fs::remove(deep / (fits + "b"));
    // Names Windows cannot hold (possible on Linux only).
    for (const char* bad : {"a:b", "what?", "back\\slash", "dot."}) {
        SCOPED_TRACE(bad);
        put_host_bytes(game / bad, "x");
        EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
        EXPECT_NE(error.find(bad), std::string::npos) << error;
        fs::remove(game / bad);
    }
    put_host_bytes(game / "Game.EXE", "x");  // same as game.exe on Windows
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    EXPECT_NE(error.find("case"), std::string::npos) << error;
    fs::remove(game / "Game.EXE");
    // A device name (on Windows such a file cannot even be made).
    put_host_bytes(game / "CON.txt", "x");
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    EXPECT_NE(error.find("device"), std::string::npos) << error;
#endif
}

TEST_F(PackFixture, HeaderTextsMustFitTheirFieldWithTheNul)
{
    DiscPackResult r;
    std::string error;
    DiscPackOptions o = sample_options();
    o.product = std::string(39, 'p');
    EXPECT_TRUE(disc_pack(game, out, o, &r, &error)) << error;
    o.overwrite = true;
    o.product = std::string(40, 'p');
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    EXPECT_NE(error.find("39"), std::string::npos) << error;
    o.product = "許功蓋許功蓋許功蓋許功蓋許功蓋許功蓋許功";  // 20 characters, 40 bytes
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    o = sample_options();
    o.company = "한국";
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    EXPECT_NE(error.find("Big5"), std::string::npos) << error;
    o = sample_options();
    o.exe = "missing.exe";
    EXPECT_FALSE(disc_pack(game, out, o, &r, &error));
    EXPECT_NE(error.find("missing.exe"), std::string::npos) << error;
}

TEST_F(PackFixture, OutputInsideTheGameIsRefused)
{
    DiscPackResult r;
    std::string error;
    EXPECT_FALSE(disc_pack(game, game / "discs", sample_options(), &r, &error));
    EXPECT_NE(error.find("inside the game folder"), std::string::npos) << error;
    EXPECT_FALSE(disc_pack(game, game, sample_options(), &r, &error));
    EXPECT_FALSE(fs::exists(game / "discs"));
    // A sibling whose name starts like the game folder is fine.
    EXPECT_TRUE(disc_pack(game, tmp.host / "game2", sample_options(), &r, &error)) << error;
}

TEST_F(PackFixture, DiscSizeTexts)
{
    // 650M and 700M name the CD sizes; other sizes count K, M, G in 1024s
    // and kB, MB, GB in 1000s, in any case.
    const struct {
        const char* text;
        int64_t bytes;  // -1: refused
    } cases[] = {{"650M", 681984000},
                 {"700m", 737280000},
                 {"123456", 123456},
                 {"25M", 26214400},
                 {"25MiB", 26214400},
                 {"25mib", 26214400},
                 {"25MB", 25000000},
                 {"12k", 12288},
                 {"3KiB", 3072},
                 {"2kB", 2000},
                 {"2G", 2147483648LL},
                 {"4GB", 4000000000LL},
                 {"650MiB", 681574400},
                 {"650MB", 650000000},
                 {"512B", 512},
                 {"12x", -1},
                 {"M", -1},
                 {"-5", -1},
                 {"1.5G", -1},
                 {"25 M", -1},
                 {"", -1},
                 {"999999999999999G", -1}};
    for (const auto& c : cases) {
        int64_t n = -1;
        std::string error;
        EXPECT_EQ(parse_disc_size(c.text, &n, &error), c.bytes >= 0) << c.text;
        if (c.bytes >= 0)
            EXPECT_EQ(n, c.bytes) << c.text;
        else
            EXPECT_NE(error.find("a number with a unit"), std::string::npos) << c.text << ": " << error;
    }
}

TEST_F(PackFixture, ExtractRefusesAFolderWithFilesAndAMissingDiscLeavesNothing)
{
    DiscPackOptions o;
    DiscPackResult r = pack_small_discs(&o);
    ASSERT_GE(r.disc_count, 2);

    put_host_bytes(dest / "mine.txt", "user file");
    std::string error;
    EXPECT_FALSE(disc_extract(disc_args(out, r.disc_count), dest, ExtractOptions(), &error));
    EXPECT_EQ(host_bytes(dest / "mine.txt"), "user file");
    fs::remove_all(dest);

    // Only the first disc given: the engine asks for disc 2, nobody has it.
    EXPECT_FALSE(disc_extract(disc_args(out, 1), dest, ExtractOptions(), &error));
    EXPECT_NE(error.find("disc 2"), std::string::npos) << error;
    EXPECT_TRUE(!fs::exists(dest) || fs::is_empty(dest));

    // Discs given out of order are found by their numbers.
    std::vector<std::string> reversed = disc_args(out, r.disc_count);
    std::reverse(reversed.begin(), reversed.end());
    ASSERT_TRUE(disc_extract(reversed, dest, ExtractOptions(), &error)) << error;
    EXPECT_EQ(snapshot(game), snapshot(dest));
}

// A terminal user names the folder of a disc that was not given.
TEST_F(PackFixture, ExtractAsksForAMissingDiscOnTheTerminal)
{
    DiscPackOptions o;
    DiscPackResult r = pack_small_discs(&o);
    ASSERT_GE(r.disc_count, 2);
    std::string answers;
    for (int i = 2; i <= r.disc_count; ++i)
        answers += utf8_of(out / ("disc" + std::to_string(i))) + "\n";
    fs::path answer_file = tmp.host / "answers.txt";
    put_host_bytes(answer_file, "/nowhere\n" + answers);  // a wrong folder first: asked again
    TerminalPrompts terminal(answer_file);
    ASSERT_TRUE(terminal.opened());
    std::string error;
    EXPECT_TRUE(disc_extract(disc_args(out, 1), dest, terminal.options, &error)) << error;
    std::string prompts = terminal.said_text();
    EXPECT_NE(prompts.find("Insert disc 2"), std::string::npos) << prompts;
    EXPECT_NE(prompts.find("holds no cd2"), std::string::npos) << prompts;
    EXPECT_EQ(snapshot(game), snapshot(dest));
}

}  // namespace
