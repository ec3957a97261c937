// CloneCD images: a .ccd sheet describing the disc, the .img beside it with
// every sector raw (2352 bytes), and an optional .sub of subchannel data,
// which is not needed and not read. The format is described in
// clonecd_image.cpp.
#pragma once

#include "sector_reader.h"

#include <cstdint>
#include <memory>
#include <string>

// The track of a .ccd that holds the volume: its first data track.
struct CloneCdDataTrack {
    int number = 0;        // its track number, 1..99
    int mode = 0;          // 1: mode 1; 2: mode 2 (read as form 1)
    uint64_t sectors = 0;  // sectors up to the next track or the lead-out
};

// Reads the text of a .ccd and finds the data track. 1, or 0 with *error
// saying what is missing or not read, worded to follow "the CloneCD image
// NAME " (for example "names no data track").
int parse_clonecd_sheet(const std::string& text, CloneCdDataTrack* out, std::string* error);

// The data track of the .ccd's image (the .img of the same name beside it)
// as 2048-byte sectors. Null with *error naming the image and the format.
std::unique_ptr<SectorReader> open_clonecd_sectors(const fs::path& ccd, std::string* error);
