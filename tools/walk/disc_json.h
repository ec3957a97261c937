// `discset list --json` and `discset test --json`: the same walk as the
// text output, as one JSON document for scripts.
//
// Each document starts with "format" ("discset-list", "discset-test") and
// "version" (kListingVersion, raised when a field changes meaning or goes).
// list:  {"header": {company, product, registry_key, game_program (each with
//         _hex and _escaped), disc_count, total_size} or null when unread,
//         "discs": [{"number", "file"}],
//         "entries": [{"path", "path_hex", "path_escaped", "kind"
//                      ("directory" or "file"), "size", "discs" (every disc
//                      its records are on), "offset" (of its directory or
//                      file record, in the first of those discs)}],
//         "folders", "files", "file_bytes", "damaged", "problems": [...]}
// test:  {"ok", "disc_count", "records", "folders", "files", "total_size",
//         "checksums": [{"path", "path_hex", "path_escaped", "size", "crc32"
//                        (8 hex digits), "sha256" (64 hex digits)}] (every
//                        file read whole, once), "problems": [...]}
// A problem: {"disc" (0: the set as a whole), "file" (the disc file, or
// null), "offset" (or null), "reason", "zlib_status" and "zlib_error" (or
// null where no zlib stream failed)}.
#pragma once

#include "disc_scan.h"

#include <nlohmann/json.hpp>

#include <vector>

constexpr int kListingVersion = 1;

nlohmann::ordered_json damage_json(const DiscDamage& damage, const std::vector<DiscFile>& discs);

// Both walk the whole set into *doc and return 1 when it is undamaged.
int disc_list_json(const std::vector<DiscFile>& discs, nlohmann::ordered_json* doc);
int disc_test_json(const std::vector<DiscFile>& discs, nlohmann::ordered_json* doc);

// The walk of test with every file's SHA-256: each file read whole, once (a
// path written again keeps its last file, as the engine does), in the order
// the set first names them. Returns 1 when the set is undamaged.
int disc_file_sums(const std::vector<DiscFile>& discs, std::vector<TreeEntry>* files, DiscSetSummary* summary);
// A file's path as a checksum list names it: relative to the install
// folder, '/' between names ("\a\b" gives "a/b").
std::string sums_path_of(const TreeEntry& e);
