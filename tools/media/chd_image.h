// CHD images (compressed hunks of a whole CD): read by turning them into a
// .bin and a cue sheet with chdman (Debian package mame-tools) in a folder
// of their own, read as a cue sheet is, and removed when the reader goes.
#pragma once

#include "sector_reader.h"

#include <memory>
#include <string>

// The CHD's data track as 2048-byte sectors. Null with *error: chdman
// missing (it says which package has it), chdman refusing the file (its
// words), or the cue sheet it wrote unreadable.
std::unique_ptr<SectorReader> open_chd_sectors(const fs::path& chd, std::string* error);
