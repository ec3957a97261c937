// Game folders for the toolkit tests and ways to compare them.
#pragma once

#include "disc_writer.h"

#include <map>
#include <string>

// Writes a game-like tree below `root`: Big5 names (許, 功 and 蓋 end in the
// byte 0x5C), nested and empty folders, an empty file, a file of several
// records, and an incompressible file of `big_random` bytes.
void make_game_tree(const fs::path& root, size_t big_random = 700000);

// Every entry below `root`: relative UTF-8 path -> contents ("/" for a
// folder).
std::map<std::string, std::string> snapshot(const fs::path& root);

// Reads a host file whole.
std::string host_bytes(const fs::path& path);
void put_host_bytes(const fs::path& path, const std::string& bytes);

// Options that name the sample product.
DiscPackOptions sample_options();

// Packs `game` into `out` and fails the test on an error.
DiscPackResult pack_or_fail(const fs::path& game, const fs::path& out, const DiscPackOptions& options);

// The disc folders disc1 .. discN below `out`, as UTF-8 arguments.
std::vector<std::string> disc_args(const fs::path& out, int count);
