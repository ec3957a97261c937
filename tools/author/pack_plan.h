// What a pack will write, settled before the first byte: the options and
// header texts checked, the game's entries walked in record order, the
// uninstaller and its manifest, the data folder, the signed programs.
#pragma once

#include "disc_header.h"
#include "disc_layout.h"
#include "disc_writer.h"
#include "host_files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pack {

// Kept for every entry of the game until its records are written, so it is
// small: the host path as a plain string (a path object also keeps a list of
// its components, several times the memory).
struct PackItem {
    bool is_directory;
    fs::path::string_type host;
    std::string record_path;  // code page 950, starts with "\"
    uint64_t size;
    bool is_manifest = false;  // the uninstall manifest: made in memory when its turn comes
    uint32_t crc = 0;          // of the content, once it has been read
};

// A line of the uninstall manifest for a file or folder of the data folder.
struct DataEntry {
    bool is_directory;
    std::string record_path;
    uint32_t size;
    uint32_t crc;
};

// What a pack will write, settled before the first byte: the header texts,
// the compression level, the entries in record order (uninstaller and
// manifest last) and the data folder's entries for the manifest.
struct PackPlan {
    DiscHeaderFields fields;
    int level = 0;
    std::vector<PackItem> items;
    std::vector<DataEntry> data;
    int64_t total = 0;  // decompressed bytes the records will hold
};

// Every check before the first byte is written: the options, the game's
// entries, the uninstaller and data folder, the files an earlier run left.
int plan_pack(const fs::path& game, const fs::path& out, const DiscPackOptions& options, PackPlan* plan,
              std::string* error);

// The manifest: every folder and file of the game in record order, then the
// data folder's entries; counts its lines into *count.
std::string build_manifest(const std::vector<PackItem>& items, const std::vector<DataEntry>& data, int64_t* count);

// Signs the programs that go onto the discs into `folder` and points the
// plan and the layout at the signed copies: the uninstaller (whose size in
// the plan grows by its signature) and setup.exe and launcher.exe.
int sign_programs(const DiscPackOptions& options, const fs::path& folder, PackPlan* plan, DiscLayoutOptions* layout,
                  std::vector<std::string>* names, std::string* error);

}  // namespace pack
