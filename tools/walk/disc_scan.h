// Listing and testing disc sets with the install engine's own readers
// (header and bounds-checked records), so the toolkit sees exactly the
// records setup will see.
#pragma once

#include "disc_format.h"
#include "disc_medium.h"
#include "disc_names.h"
#include "file_object.h"
#include "host_files.h"
#include "record_reader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One disc file of a set: its number N (from the name cdN), where it lies,
// and the argument that named it. Made once, from that argument, and
// carried as it is.
struct DiscFile {
    int32_t number;
    int kind;          // the argument's DiscArgumentKind: in a folder, the file itself, in an image
    fs::path host;     // the cdN file, absolute (in an image: IMAGE/cdN, for messages)
    std::string text;  // host in UTF-8, for messages
    fs::path source;   // the folder, the cdN file or the image the argument named, absolute
};

// The disc files that one argument names (disc_medium.h): a folder brings
// every file cd1, cd2, ... directly in it, a cdN file itself, a disc image
// every cdN in its root folder (see disc_image.h). Sorted by number. 1 / 0
// with *error (a folder with no disc file, an image that cannot be read).
int discs_of_argument(const DiscArgument& argument, std::vector<DiscFile>* discs, std::string* error);

// Disc `number` where `argument` names it (the disc prompt's answer): the
// cdN file in a folder or an image, or the file itself. 1, or 0 when it
// holds no such disc (*why may say why, as for an image that does not read).
int disc_of_argument(const DiscArgument& argument, int32_t number, DiscFile* disc, std::string* why);

// Adds `more` to the set `discs`, kept sorted by number. 1, or 0 with
// *error when a number is given twice.
int add_discs(const std::vector<DiscFile>& more, std::vector<DiscFile>* discs, std::string* error);

// Finds the disc files that the arguments name (discs_of_argument); folders
// and images mix, in any order. Fails on an argument that names none of
// these, on an image that cannot be read, and on a disc number given twice.
// The result is sorted by number. 1 / 0, with the reason in *error.
int collect_discs(const std::vector<std::string>& arguments, std::vector<DiscFile>* discs, std::string* error);

// Opens the disc file for reading: from its folder, or in place in its
// image through the serving of media (the one in effect when the image is
// served already, as in the check). 1 / 0 with the reason in *error.
int open_disc_file(const DiscFile& disc, FileObject* file, std::string* error);

// One disc's records as the list, test and salvage walks read them: the
// disc file, opened from its folder or in place in its image, and a reader
// over it.
struct DiscRecords {
    FileObject file;
    RecordReader reader;
    int64_t size = 0;  // bytes of the disc file
    std::string why;   // after a failed start: what went wrong
    int64_t at = -1;   // and where: -1 when the disc did not open, else the
                       // offset where the records could not be started

    // Opens `disc` and starts the reader at its first record (after the
    // header on disc 1), reading through `buffer` of disc::kMaxCompressed
    // bytes. 1, or 0 with `why` and `at` set and the file closed.
    int start(const DiscFile& disc, unsigned char* buffer);
};

// What a reader status other than kRecordRead means at record `r`, with the
// length a bad-length record gave.
std::string record_problem_text(int status, const Record& r);

// Something wrong in a set: where (disc number, 0 for the set as a whole,
// and the byte offset in that disc file, -1 when none applies) and what.
// A record whose zlib stream does not decompress carries zlib's status
// (Z_DATA_ERROR, Z_BUF_ERROR, ...) in zlib_status, with has_zlib_status set.
struct DiscDamage {
    int32_t disc;
    int64_t offset;
    std::string text;
    bool has_zlib_status = false;
    int zlib_status = 0;
};

// An entry of the installed tree as the records describe it.
struct TreeEntry {
    bool is_directory;
    std::string path;         // UTF-8, "\" separated, starting with "\": the name the
                              // installer creates (see fold_record_path; a name made
                              // before keeps its first spelling of ASCII case)
    int64_t size;             // bytes of a file; 0 for a directory
    int32_t disc;             // disc of its directory or file record
    int32_t last_disc;        // disc of its last record (a file may run on to later discs)
    std::string raw_path;     // the same path as the record gives it, code page 950
    bool path_converted;      // false: raw_path is not Big5, and `path` only stands in for it
    int64_t offset;           // of its directory or file record in the disc file of `disc`
    uint32_t crc = 0;         // zlib crc32 of a file's bytes
    std::string sha256 = {};  // SHA-256 of a file's bytes, in hex, when the walk was asked for it
};

struct DiscSetSummary {
    // Asked before the walk: every file's SHA-256 too (TreeEntry::sha256).
    bool hash_files = false;
    DiscHeader header;
    bool header_read = false;
    int64_t counted_total = 0;  // decompressed bytes of types 1, 2 and 3
    int64_t directories = 0;
    int64_t files = 0;
    int64_t records = 0;
    std::vector<DiscDamage> damage;
    // The set's uninstall manifest (uninstall.lst, made by pack), when it
    // was read whole and sound: every file of the set was compared with it.
    bool manifest_checked = false;
    int64_t files_proved = 0;  // files whose size and crc32 the manifest confirms
};

// Walks every record of the set: decompresses each one, checks the structure
// (record bounds, zlib streams, paths as the engine checks them, data only
// inside a file, an end record closing each disc and nothing after it, every
// disc of the header's count present, the header's total) and reports each
// entry of the tree to `on_entry` (may be empty) when it is complete: a
// directory at its record, a file at its close. After damage the walk reads
// on: past a damaged record whose frame holds, or from the next sound record
// found byte by byte (record_resync.h), naming the span it skipped; a file
// that met damage is not reported. Where the set carries the uninstall
// manifest that pack writes, every file's size and crc32 is compared with
// it, and a disc whose files it does not list as they are is named. Returns
// 1 when the set is undamaged.
int walk_disc_set(const std::vector<DiscFile>& discs, const std::function<void(const TreeEntry&)>& on_entry,
                  DiscSetSummary* summary);
// The same walk, also calling `on_progress` (may be empty) where the engine
// makes its progress call: after every record but an end record, with the
// number of the disc being read and the decompressed bytes counted so far.
int walk_disc_set(const std::vector<DiscFile>& discs, const std::function<void(const TreeEntry&)>& on_entry,
                  const std::function<void(int32_t, int64_t)>& on_progress, DiscSetSummary* summary);

// "disc 2 (path/cd2), offset 1234: text".
std::string describe_damage(const DiscDamage& damage, const std::vector<DiscFile>& discs);
