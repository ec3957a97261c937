// What the raw sectors of a data track say about themselves: an image's
// descriptor (a .ccd, an .mds) gives a track's mode, and the sectors' own
// header and subheader confirm it before the track is read as user data.
#pragma once

#include "sector_reader.h"

#include <string>

// Checks sector `lsn` of `track` (strides 2352 and 2448: sync, header and,
// for mode 2, the subheader; stride 2336: the subheader; stride 2048:
// nothing to check). `mode` is 1, or 2 for mode 2 form 1. 1, or 0 with
// *error saying what the sector holds instead (a sector past the file's
// end: cut short).
int check_raw_data_sector(const RawTrack& track, int mode, uint64_t lsn, std::string* error);
