// What the raw sectors of a data track say about themselves: an image's
// descriptor (a .ccd, an .mds, a .toc, an .nrg's chunks) gives a track's
// mode, and the sectors' own header and subheader have the last word
// before the track is read as user data, as for cue sheets.
#pragma once

#include "sector_reader.h"

#include <string>

// Checks sector `lsn` of `*track`, whose descriptor says `mode` (1, or 2
// for mode 2 form 1). Strides 2352 and 2448: the sync and header; a data
// sector of the other mode sets track->data_offset to that mode's, so a
// descriptor that misnames the mode still reads; then for mode 2 the
// subheader. Stride 2336: the subheader. Stride 2048: nothing to check.
// 1, or 0 with *error: a mode 2 form 2 sector, or the sector past the
// file's end (cut short).
int check_raw_data_sector(RawTrack* track, int mode, uint64_t lsn, std::string* error);
