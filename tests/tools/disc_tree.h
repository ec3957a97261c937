// Game folders for the toolkit tests, packed into disc sets.
#pragma once

#include "disc_extract.h"
#include "disc_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

// Writes a game-like tree below `root`: Big5 names (許, 功 and 蓋 end in the
// byte 0x5C), nested and empty folders, an empty file, a file of several
// records, and an incompressible file of `big_random` bytes.
void make_game_tree(const fs::path& root, size_t big_random = 700000);

// A game for a set that brings its own uninstaller (make_game_tree without
// its placeholder uninstall.exe) and, in `data`, a data folder to copy at
// the end of the installation: 設定.ini and 存檔/說明.txt.
void make_game_and_data(const fs::path& game, size_t big_random, const fs::path& data);

// The folders of a test that packs a game with a data folder: the game in
// "game", the data folder in "data", the disc folders below "discs".
struct GameWithData : ::testing::Test {
    TempDir tmp;
    fs::path game = tmp.host / "game";
    fs::path data = tmp.host / "data";
    fs::path out = tmp.host / "discs";
};

// Options that name the sample product.
DiscPackOptions sample_options();

// Packs `game` into `out` and fails the test on an error.
DiscPackResult pack_or_fail(const fs::path& game, const fs::path& out, const DiscPackOptions& options);

// The disc folders disc1 .. discN below `out`, as UTF-8 arguments.
std::vector<std::string> disc_args(const fs::path& out, int count);

// The game tree packed on two discs of 450000 bytes: the game in "game", the
// disc folders below "discs".
struct TwoDiscSet : ::testing::Test {
    TempDir tmp;
    fs::path game = tmp.host / "game";
    fs::path out = tmp.host / "discs";
    int count = 0;

    void SetUp() override;
    // The disc file cd<n> in its folder disc<n>.
    fs::path cd(int n) const { return out / ("disc" + std::to_string(n)) / ("cd" + std::to_string(n)); }
};

// Extraction that asks on a terminal: the answers read from the file
// `answers`, what it says written to a temporary file. Both are closed with
// the object.
struct TerminalPrompts {
    FILE* in;
    FILE* said;
    ExtractOptions options;

    explicit TerminalPrompts(const fs::path& answers);
    ~TerminalPrompts();
    TerminalPrompts(const TerminalPrompts&) = delete;
    TerminalPrompts& operator=(const TerminalPrompts&) = delete;

    bool opened() const { return in && said; }
    // Everything said so far.
    std::string said_text();
};
