// Authoring disc sets: a game folder becomes the disc files cd1, cd2, ...
// in folders disc1/, disc2/, ... The layout comes from engine/disc_format.h,
// the same constants the install engine reads with.
//
// What goes on the discs, in this order: for every entry of the game folder,
// sorted by code page 950 name and depth first, a directory record (type 1)
// for a folder, or for a file a file record (type 2), its data records
// (type 3, at most 204800 bytes each) and a close record (type 4). Every disc
// ends with an end record (type 5). A record never spans two discs; a file's
// data records continue on the next disc.
//
// The output depends only on the input and the options that shape it (disc
// size, reserve, backend and level), never on the number of threads.
#pragma once

#include "code_signing.h"
#include "disc_format.h"
#include "disc_header.h"
#include "disc_layout.h"
#include "host_files.h"
#include "record_compressor.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace disc {
// Compact-disc capacities: 333000 and 360000 sectors of 2048 bytes.
const int64_t kCd650 = 681984000;
const int64_t kCd700 = 737280000;
// Header texts hold at most this many bytes, so the field always keeps its
// NUL and every reader finds a terminated text.
const int kMaxTextBytes = kTextSize - 1;
// The engine builds "install path + record path" in a 260-byte buffer.
const int kMaxPathBytes = 259;
}  // namespace disc

// Checks a header text given in UTF-8 and converts it: 1 to 39 bytes of code
// page 950. `what` names the field in the message.
int header_text_from_utf8(const std::string& utf8, const char* what, std::string* cp950, std::string* error);

// Parses a disc size: "650M" and "700M" are the compact-disc capacities
// above; anything else is a number of bytes, or a number with a unit
// (any case): K, M, G or KiB, MiB, GiB count in 1024s ("25M" is 26214400
// bytes), kB, MB, GB in 1000s, B in bytes.
int parse_disc_size(const std::string& text, int64_t* bytes, std::string* error);

struct DiscPackOptions {
    std::string company, product, regkey, exe;  // UTF-8, as typed
    int64_t disc_size = disc::kCd650;
    int64_t first_disc_reserve = 0;  // room kept free on disc 1 (setup, pictures, data)
    int threads = 0;                 // compression workers; 0: one per core
    CompressorKind compressor = compressor_default();
    int level = 0;           // 0: the backend's default level
    bool overwrite = false;  // replace disc files of an earlier run
    // The uninstaller to put into the set as "\uninstall.exe", with the
    // manifest "\uninstall.lst" beside it; empty: neither.
    fs::path uninstaller;
    // The data folder that setup copies into the install folder; its files
    // and folders are listed in the manifest too. Empty: none.
    fs::path data_folder;
    // What goes beside the disc files (setup.exe, launcher.exe, autorun.inf,
    // pictures, data folder, web shortcut). Its room on each disc is taken
    // from the disc size before the disc files are split.
    DiscLayoutOptions layout;
    // Also write OUT/disc1.iso, disc2.iso, ...; the disc size then limits
    // each whole image.
    bool iso = false;
    // Sign the uninstaller, and with the layout setup.exe and launcher.exe,
    // before they go onto the discs (the signed sizes are the ones counted
    // and listed in the manifest). The programs named stay as they are.
    CodeSigning signing;
    // Told of each folder and file as its record goes onto a disc (the
    // record path in code page 950), and after every record of the
    // decompressed bytes written so far of the planned total (paths and
    // file contents). Either may be empty.
    std::function<void(const std::string& record_path, bool is_directory)> on_entry;
    std::function<void(int64_t done, int64_t total)> on_progress;
};

struct DiscPackResult {
    int32_t disc_count = 0;
    int32_t total_size = 0;
    int64_t directories = 0;
    int64_t files = 0;
    int64_t data_bytes = 0;             // file contents read
    std::vector<int64_t> disc_bytes;    // size of each disc file
    int64_t manifest_entries = 0;       // lines of the uninstall manifest (0 without one)
    int32_t pictures = 0;               // slide-show pictures on the discs
    std::vector<int64_t> layout_bytes;  // bytes of the files beside each disc file
    std::vector<int64_t> image_bytes;   // size of each image (with iso)
    std::vector<std::string> volume_ids;
    std::vector<std::string> signed_programs;  // file names, in the order signed
    // Files and folders in the disc folders that are not part of the set
    // (an earlier run's, say): kept, and not in the images.
    std::vector<std::string> stray_files;
};

// The record path the engine would get for an entry, and the proposed install
// folder ("C:\Program Files\<company>\<product>") that the length check uses.
std::string proposed_install_folder(const std::string& company_cp950, const std::string& product_cp950);

// Packs `game` into `out` (created if needed). Fails with a message and
// leaves no disc file of this run behind on: a name with no Big5 form, a
// name the system cannot hold, a path too long for the engine, a header text
// that does not fit, a game whose total reaches 2 GiB, a disc too small for
// one record, a read or write error, or existing disc files (unless
// overwrite is set), an uninstaller that is not a file, or a game folder
// that holds an uninstall.exe or uninstall.lst of its own when the
// uninstaller is added; a layout path that is missing, a picture that does
// not convert or load, xorriso failing, or a program that does not sign. Layout files of this run and its
// images are removed again on failure too.
int disc_pack(const fs::path& game, const fs::path& out, const DiscPackOptions& options, DiscPackResult* result,
              std::string* error);
