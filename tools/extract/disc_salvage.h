// Extracting what can be saved from a damaged disc set (`discset extract
// --keep-going`). Unlike the install engine, which stops at the first
// damaged record and rolls everything back, this walk keeps going. It reads
// the set twice. The first pass maps every disc: the sound records, the
// damaged records whose frame (type and length) still holds, and the spans
// it had to skip to find the next sound record (record_resync.h). The
// second pass writes: a file's records land at their offsets, and a lost
// record whose length can be known (its neighbours' length, the set's
// uninstall manifest, or the header's total when only one region is lost)
// is written as zeros so the rest of the file is kept; otherwise the file
// is cut before the damage. Every loss is named in a report.
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

// One loss: a file (or a record whose name is lost, a skipped span, or a
// whole disc) and where and why.
struct SalvageLoss {
    std::string path;          // UTF-8, "\" separated, as a full extraction names it;
                               // "" when the record that names it is itself lost, or
                               // for a skipped span or a whole disc
    int32_t disc = 0;          // disc number; 0 for the set as a whole
    int64_t offset = -1;       // offset of the damaged record (or the span's first byte) in
                               // that disc file; -1 for a whole disc
    std::string reason;        // English
    int64_t kept = -1;         // bytes of the file kept; -1 when nothing of it is on disk
                               // (removed, never created, its name lost, or a whole disc)
    bool removed = false;      // the cut file was deleted (--remove-damaged)
    std::string raw_path;      // the path's code page 950 bytes ("" with `path`)
    int64_t last = -1;         // a skipped span: its last byte (offset..last); else -1
    int64_t filled_from = -1;  // bytes filled_from..filled_to of the file were
    int64_t filled_to = -1;    // lost and written as zeros; -1 when none
};

struct SalvageResult {
    int64_t folders = 0;              // folders created
    int64_t files = 0;                // files created and kept (whole or cut)
    int64_t bytes = 0;                // bytes from the discs written into kept files
    int64_t filled = 0;               // zero bytes written in place of lost records
    int64_t records = 0;              // sound records read
    int64_t mkdirs = 0;               // folder creations asked of the system
    bool interrupted = false;         // `stop` ended the walk early
    bool header_read = false;         // the header of cd1 was read
    int64_t header_total = 0;         // the header's total size
    int64_t counted_total = 0;        // decompressed bytes of the sound records of types 1, 2 and 3
    bool passed_over_damage = false;  // a damaged record lay in a file --include passed over
                                      // (so the header's total cannot be met)
    std::vector<std::string> notes;   // what is wrong beyond the records (the header)
    std::vector<SalvageLoss> losses;

    // Every check passed: nothing lost or skipped, every disc read to its
    // end, every file closed, the header's total met (or missed only by
    // damage in files --include passed over), not interrupted.
    int complete() const;
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
// "(name lost)" when unknown, "(disc N)" for a whole disc, "(skipped)" for a
// span, given as "offsets A-B (N bytes)"; no offset for a whole disc), with
// the filled range or the bytes kept; control characters escaped.
std::string describe_loss(const SalvageLoss& loss);

// The loss report's format version (the "version" member of its JSON).
const int kLossReportVersion = 2;

// The report as JSON text: {"format": "discset-loss-report", "version",
// "complete", "interrupted", "folders", "files", "bytes", "filled",
// "header_total", "counted_total", "notes", "losses": [{"path" (null when
// lost), "path_hex", "path_escaped", "disc", "offset" (null for a whole
// disc), "last_offset" and "span_bytes" (null but for a skipped span),
// "reason", "kept" (null when nothing kept), "removed", "filled" ([first,
// last] byte of the file written as zeros, or null)}]}.
std::string salvage_report_json(const SalvageResult& result);

// The report of a run that stopped before it could salvage anything: not
// complete, with `error` as its one note.
std::string failed_report_json(const std::string& error);
