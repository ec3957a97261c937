// The pre-flight check of a disc set before it is burned: everything setup
// and the launcher will look for on each disc, read the way they read it.
//
//  - the disc files cd1..cdN, each on its disc, every record sound (the walk
//    of disc_scan: header texts, disc count, total size, zlib streams);
//  - the first disc's setup.exe, launcher.exe and autorun.inf (whose open=
//    and icon= name files on the disc);
//  - the slide show: pictures pic\01.tga... counted on disc 1 as setup
//    counts them (plain files up to the first gap), each loading with the
//    installer's own TGA reader, and the progress replayed record by record
//    to find which disc is in the drive when each picture is asked for;
//  - the data folder and the web shortcut file on the last disc, the one in
//    the drive when setup's finishing steps read them;
//  - every disc within the disc size.
#pragma once

#include "disc_medium.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CheckOptions {
    int64_t disc_size;  // bytes one disc holds
};

// One line of the report. A problem is something a player would meet (or a
// set that cannot install); a note explains a rule that surprises authors
// and needs no change.
struct CheckFinding {
    int32_t disc;  // disc number; 0 for the set as a whole
    int note;      // 1 note, 0 problem
    std::string text;
};

struct CheckReport {
    std::vector<CheckFinding> findings;  // by disc, in the order found
    int32_t discs = 0;                   // disc files found
    int32_t problems = 0;
    int32_t notes = 0;
};

// Checks the discs `media` (in any order). 1 when no problem was found; 0
// otherwise. Never throws for anything found on a disc.
int check_disc_set(const std::vector<std::unique_ptr<DiscMedium>>& media, const CheckOptions& options,
                   CheckReport* report);

// "disc 2: text", "disc 1: note: text", "the set: text".
std::string finding_line(const CheckFinding& finding);
