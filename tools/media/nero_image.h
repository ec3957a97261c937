// Nero images (.nrg): the tracks' sectors first, then chunks describing
// them, then a footer pointing at the chunks. The format is described in
// nero_image.cpp.
#pragma once

#include "sector_reader.h"

#include <cstdint>
#include <memory>
#include <string>

// The track of an .nrg that holds the volume: its first data track.
struct NeroDataTrack {
    int number = 0;  // 1-based, in the order the chunk lists tracks
    int mode = 0;    // 1: mode 1; 2: mode 2 form 1
    RawTrack raw{};  // its bytes in the image (raw.file left empty)
};

// Reads the chunks and footer of an .nrg from its last bytes: `tail` holds
// the last tail.size() bytes of a file of `file_bytes` bytes (at least the
// footer and the chunks). 1, or 0 with *error worded to follow "the Nero
// image NAME " (for example "holds no data track").
int parse_nero_tail(const std::string& tail, uint64_t file_bytes, NeroDataTrack* out, std::string* error);

// The data track of the .nrg as 2048-byte sectors. Null with *error naming
// the image and the format.
std::unique_ptr<SectorReader> open_nero_sectors(const fs::path& nrg, std::string* error);
