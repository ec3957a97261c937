// cdrdao .toc sheets: the first track, a data track, read in place from
// the file the sheet names. The format is described in cdrdao_image.cpp.
#pragma once

#include "sector_reader.h"

#include <memory>
#include <string>

// The data track of a .toc.
struct CdrdaoDataTrack {
    int mode = 0;      // 1: mode 1; 2: mode 2 form 1
    std::string file;  // as the sheet names it (UTF-8)
    RawTrack raw{};    // raw.file left empty; raw.sectors 0: to the file's end
};

// Reads the text of a .toc. 1, or 0 with *error worded to follow "the
// cdrdao image NAME " (for example "names no file for its data track").
int parse_cdrdao_sheet(const std::string& text, CdrdaoDataTrack* out, std::string* error);

// A cdrdao .toc (with the file it names, beside it). Null with *error
// naming the format and what is missing.
std::unique_ptr<SectorReader> open_cdrdao_sectors(const fs::path& toc, std::string* error);
