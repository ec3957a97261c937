// Extracting what can be saved from a damaged disc set (`discset extract
// --keep-going`). Unlike the install engine, which stops at the first
// damaged record and rolls everything back, this walk keeps going: a file
// is written up to its damaged record, the walk picks up again at the next
// sound folder or file record, and every loss is named in a report. It is
// the toolkit's own; setup never salvages.
//
// It reads with the engine's record reader, checks paths with the engine's
// rules (fold_record_path) and joins them to the output folder the way the
// engine does, so nothing is ever written outside that folder and the names
// are those a full extraction gives.
#pragma once

#include "disc_scan.h"
#include "path_select.h"

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

struct SalvageOptions {
    // Delete a file that lost data instead of keeping it cut at the damage.
    bool remove_damaged = false;
    // Only the entries it selects (and the folders on their way); null: all.
    PathSelection* selection = nullptr;
    // Polled between records; when it reads nonzero the walk stops.
    const volatile std::sig_atomic_t* stop = nullptr;
};

// One loss: a file (or a record whose name is lost, or a whole disc) and
// where and why.
struct SalvageLoss {
    std::string path;   // UTF-8, "\" separated, as a full extraction names it;
                        // "" when the record that names it is itself lost
    int32_t disc;       // disc number
    int64_t offset;     // offset of the damaged record in that disc file; -1 for a whole disc
    std::string reason; // English
    int64_t kept;       // bytes of the file kept; -1 when nothing of it is on disk
                        // (removed, never created, its name lost, or a whole disc)
    bool removed;       // the cut file was deleted (--remove-damaged)
};

struct SalvageResult {
    int64_t folders = 0;        // folders created
    int64_t files = 0;          // files created and kept (whole or cut)
    int64_t bytes = 0;          // bytes written into kept files
    int64_t records = 0;        // records read
    bool interrupted = false;   // `stop` ended the walk early
    std::vector<std::string> notes;  // what is wrong beyond the records (the header)
    std::vector<SalvageLoss> losses;
};

// Extracts `discs` (from collect_discs: discs not given are missing and
// skipped) into the host folder `dest`, which must not exist yet or be
// empty. Returns 1 when the walk went through the set (losses or not; it
// may also have been stopped: result->interrupted); 0 when it could not
// start or had to stop short for a reason that is not damage in the set
// (no cd1, a header too short to read, an output folder that cannot be
// made, a write that failed), with *error saying why; what was written
// stays.
int salvage_disc_set(const std::vector<DiscFile>& discs, const fs::path& dest, const SalvageOptions& options,
                     SalvageResult* result, std::string* error);

// One line of the loss report: "PATH  disc N, offset O: REASON" (the path
// "(name lost)" when unknown, "(disc N)" for a whole disc; no offset for a
// whole disc), control characters escaped.
std::string describe_loss(const SalvageLoss& loss);

// The report as JSON text: {"complete", "interrupted", "folders", "files",
// "bytes", "losses": [{"path" (null when lost), "disc", "offset" (null for
// a whole disc), "reason", "kept" (null when nothing kept)}]}.
std::string salvage_report_json(const SalvageResult& result);
