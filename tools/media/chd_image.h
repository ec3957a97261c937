// CHD images (compressed hunks of a whole CD): read by turning them into a
// .bin and a cue sheet with chdman (Debian package mame-tools) in a folder
// of their own, read as a cue sheet is. A command opens an image many
// times (each disc file, each pass), so one CHD is extracted once and its
// folder kept until release_chd_discs (or the program's end).
#pragma once

#include "sector_reader.h"

#include <memory>
#include <string>

// The CHD's data track as 2048-byte sectors. Null with *error: chdman
// missing (it says which package has it), chdman refusing the file (its
// words), or the cue sheet it wrote unreadable; the folder chdman wrote
// into is then removed at once.
std::unique_ptr<SectorReader> open_chd_sectors(const fs::path& chd, std::string* error);

// Removes the folders of the CHDs extracted so far once no reader uses
// them (at once for those no reader holds). Called at the program's end
// too.
void release_chd_discs();
