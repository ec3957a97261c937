#include "disc_tree.h"

#include "test_support.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

void make_game_tree(const fs::path& root, size_t big_random)
{
    auto p = [&](const char* rel) { return root / fs::u8path(rel); };
    put_host_bytes(p("game.exe"), "MZ game");
    put_host_bytes(p("uninstall.exe"), "MZ uninstall");
    put_host_bytes(p("空白.txt"), "");
    std::string table;
    for (int i = 0; i < 40000; ++i)
        table += std::to_string(i * 7 % 1000) + ",";
    put_host_bytes(p("許功蓋/功能表.txt"), table);  // several records, compressible
    put_host_bytes(p("許功蓋/蓋/許"), "x");
    put_host_bytes(p("影片/片頭.avi"), random_bytes(big_random, 7));
    put_host_bytes(p("影片/z.bin"), random_bytes(1000, 8));
    fs::create_directories(p("存檔"));
    fs::create_directories(p("許功蓋/空/更空"));
}

void make_game_and_data(const fs::path& game, size_t big_random, const fs::path& data)
{
    make_game_tree(game, big_random);
    fs::remove(game / "uninstall.exe");
    put_host_bytes(data / fs::u8path("設定.ini"), "[settings]\r\n");
    put_host_bytes(data / fs::u8path("存檔/說明.txt"), "saves go here");
}

DiscPackOptions sample_options()
{
    DiscPackOptions o;
    o.company = "範例軟體公司";
    o.product = "許功蓋大冒險";
    o.regkey = "XuGongGai";
    o.exe = "game.exe";
    return o;
}

DiscPackResult pack_or_fail(const fs::path& game, const fs::path& out, const DiscPackOptions& options)
{
    DiscPackResult r;
    std::string error;
    EXPECT_TRUE(disc_pack(game, out, options, &r, &error)) << error;
    return r;
}

std::vector<std::string> disc_args(const fs::path& out, int count)
{
    std::vector<std::string> args;
    for (int i = 1; i <= count; ++i)
        args.push_back(utf8_of(out / ("disc" + std::to_string(i))));
    return args;
}

void TwoDiscSet::SetUp()
{
    make_game_tree(game);
    DiscPackOptions o = sample_options();
    o.disc_size = 450000;
    count = pack_or_fail(game, out, o).disc_count;
    ASSERT_EQ(count, 2);
}

TerminalPrompts::TerminalPrompts(const fs::path& answers) : in(fopen(answers.string().c_str(), "rb")), said(tmpfile())
{
    options.interactive = true;
    options.prompt_in = in;
    options.prompt_out = said;
}

TerminalPrompts::~TerminalPrompts()
{
    if (in)
        fclose(in);
    if (said)
        fclose(said);
}

std::string TerminalPrompts::said_text()
{
    rewind(said);
    char buf[4096] = {0};
    size_t n = fread(buf, 1, sizeof buf - 1, said);
    return std::string(buf, n);
}
