// Alcohol images: an .mds descriptor giving the disc's sessions and tracks,
// and the .mdf it names holding the tracks' sectors. The format is
// described in alcohol_image.cpp.
#pragma once

#include "sector_reader.h"

#include <cstdint>
#include <memory>
#include <string>

// The track of an .mds that holds the volume: its first data track.
struct AlcoholDataTrack {
    int number = 0;
    int mode = 0;              // 1: mode 1 (or a DVD's 2048-byte sectors); 2: mode 2 form 1
    uint32_t stride = 0;       // bytes per sector in the .mdf: 2048, 2336, 2352 or 2448
    uint32_t data_offset = 0;  // where the 2048 bytes of user data start in one
    uint64_t first_byte = 0;   // where the track starts in the .mdf
    uint64_t sectors = 0;
    std::string file;  // the .mdf as recorded: a name, or "*.ext" for the .mds's own name
};

// Reads the bytes of an .mds and finds the data track. 1, or 0 with *error
// worded to follow "the Alcohol image NAME " (for example "names no data
// track").
int parse_alcohol_descriptor(const std::string& bytes, AlcoholDataTrack* out, std::string* error);

// The data track of the .mds's .mdf as 2048-byte sectors. Null with *error
// naming the image and the format.
std::unique_ptr<SectorReader> open_alcohol_sectors(const fs::path& mds, std::string* error);
