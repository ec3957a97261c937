// What the raw sectors of a data track say about themselves: an image's
// descriptor (a .ccd, an .mds, a .toc, an .nrg's chunks) gives a track's
// mode, and the sectors' own header and subheader have the last word
// before the track is read as user data, as for cue sheets.
#pragma once

#include "host_files.h"
#include "sector_reader.h"

#include <cstdint>
#include <memory>
#include <string>

// Checks sector `lsn` of `*track`, whose descriptor says `mode` (1, or 2
// for mode 2 form 1). Strides 2352 and 2448: the sync and header; a data
// sector of the other mode sets track->data_offset to that mode's, so a
// descriptor that misnames the mode still reads; then for mode 2 the
// subheader. Stride 2336: the subheader. Stride 2048: nothing to check.
// 1, or 0 with *error: a mode 2 form 2 sector, or the sector past the
// file's end (cut short).
int check_raw_data_sector(RawTrack* track, int mode, uint64_t lsn, std::string* error);

// What the readers of the descriptor-and-sectors formats share.
//
// The descriptor file of an image (a .ccd or .toc sheet, an .mds), whole,
// when it is at most `limit` bytes. `name` names the image and `what` the
// file ("its .ccd sheet") in the message. 1, or 0 with *error.
int read_image_descriptor(const fs::path& file, uintmax_t limit, const std::string& name, const char* what,
                          std::string* bytes, std::string* error);

// The data track, checked at its first volume descriptor sector
// (check_raw_data_sector with `mode`), as a reader. Null with *error
// beginning with `name`.
std::unique_ptr<SectorReader> open_checked_track(RawTrack track, int mode, const std::string& name, std::string* error);

// How a format's descriptor is read: its name in messages ("the CloneCD
// image"), what the file is called there ("its .ccd sheet"), and the
// largest descriptor read.
struct DescriptorKind {
    const char* format;
    const char* what;
    uintmax_t limit;
};

// The image a descriptor `file` lays out, read by one flow for every
// such format: the descriptor is read (read_image_descriptor) and parsed
// by the format's `parse`; the format's `locate` finds the file that holds
// the data track and makes the raw track (1, or 0 with *error, given the
// image's name for its messages); the track is then checked and opened
// (open_checked_track). Null with *error naming the image.
template <typename Track>
std::unique_ptr<SectorReader> open_described_track(
    const fs::path& file, const DescriptorKind& kind, int (*parse)(const std::string&, Track*, std::string*),
    int (*locate)(const fs::path&, const Track&, const std::string&, RawTrack*, std::string*), std::string* error)
{
    std::string name = std::string(kind.format) + " " + utf8_of(file);
    std::string bytes, why;
    Track track;
    if (!read_image_descriptor(file, kind.limit, name, kind.what, &bytes, error))
        return nullptr;
    if (!parse(bytes, &track, &why)) {
        *error = name + " " + why;
        return nullptr;
    }
    RawTrack raw{};
    if (!locate(file, track, name, &raw, error))
        return nullptr;
    return open_checked_track(raw, track.mode, name, error);
}
