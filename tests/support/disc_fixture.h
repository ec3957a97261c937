// A small disc-set writer for tests and the fuzz seed corpus: the header from
// the engine's encoder, record bytes with zlib's compress, byte for byte as
// the format lays them out. Corrupt sets are made from these pieces by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// The 168-byte header. Texts longer than 40 bytes are cut.
std::string header(const std::string& company, const std::string& product, const std::string& regkey,
                   const std::string& exe, int32_t disc_count, int32_t total_size);

// zlib stream of `bytes` as compress() makes it.
std::string zlib(const std::string& bytes);

// A record of type 1, 2 or 3 around an arbitrary zlib stream (or garbage).
std::string raw_record(unsigned char type, const std::string& stream);
// Same with a length field that says `length`, whatever follows.
std::string raw_record(unsigned char type, int32_t length, const std::string& stream);

// Records. A path gets its NUL appended; its stored length counts the NUL.
std::string dir(const std::string& path);
std::string file(const std::string& path);
std::string data(const std::string& bytes);
std::string close_file();
std::string end_disc();

// The text of an uninstall manifest (uninstall.lst) listing `files`:
// record path ("\\a\\b.bin") and bytes, each with its size and crc32.
std::string manifest_text(const std::vector<std::pair<std::string, std::string>>& files);

// A whole set under construction. The add_* functions keep `total`, the
// header's total size: path length + 1 for a directory or file record, the
// data length for a data record.
struct DiscSet {
    std::string company = "Co", product = "Game", regkey = "GameKey", exe = "game.exe";
    std::vector<std::string> streams;  // record stream per disc (cd1 without header)
    int64_t total = 0;                 // decompressed bytes of all records added through add_*
    int32_t disc_count_override = -1;  // >= 0: header's disc count instead of streams.size()
    bool use_total_override = false;   // true: the header says total_override instead of total
    int32_t total_override = 0;

    // Appends to disc i (0-based), making room for it.
    void add_dir(int disc, const std::string& path);
    void add_file(int disc, const std::string& path);
    // A file record and one data record of `bytes`.
    void add_file(int disc, const std::string& path, const std::string& bytes);
    void add_data(int disc, const std::string& bytes);
    void add_raw(int disc, const std::string& bytes);  // counted nowhere
    // The disc files: cd1 with the header, then the others.
    std::vector<std::string> files() const;
};

// Writes cd1, cd2, ... of `set` into the folder `win_folder` (a system path).
void write_set(const DiscSet& set, const std::string& win_folder);

}  // namespace fixture
