// Cue sheets read as written: the tracks a sheet gives, each FILE resolved
// beside the sheet, and the data track that holds the ISO 9660 volume
// opened as sectors.
#pragma once

#include "sector_reader.h"

#include <string>
#include <vector>

// A track of a cue sheet.
struct CueTrack {
    int number = 0;
    bool audio = false;  // CD audio: passed over
    std::string mode;    // as the sheet writes it, e.g. "MODE1/2352"
    std::string named;   // its FILE as the sheet writes it
    RawTrack raw{};      // where its sectors lie (for a data track)
};

// Parses the text of a sheet whose relative FILE names lie in `folder`.
// The grammar is libcue's (FILE "name" BINARY, TRACK nn MODE, INDEX nn
// mm:ss:ff, PREGAP, POSTGAP, REM ...). A track's sector 0 is its INDEX 01,
// counted in sectors of the track's own size from the start of its file.
// 1 / 0 with *error.
int parse_cue_sheet(const std::string& text, const fs::path& folder, std::vector<CueTrack>* tracks, std::string* error);

// The one file in `folder` whose name is the last part of `named` (after
// its last / or backslash) in any ASCII case: sheets made on Windows often
// name their file in another case than it has, or by the full path it had
// on the machine that made them. Empty when no file or more than one
// matches.
fs::path file_beside_sheet(const fs::path& folder, const std::string& named);

// The first data track of the sheet whose sector 16 holds an ISO 9660
// volume descriptor, as sectors. A FILE that is not where the sheet says
// is looked for with file_beside_sheet. Null with *error: the sheet
// unreadable, a file it names missing (named), or no data track with a
// volume.
std::unique_ptr<SectorReader> open_cue_sectors(const fs::path& sheet, std::string* error);
