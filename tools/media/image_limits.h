// The limits of the disc image readers, in one place. Each bounds what a
// damaged or hostile image can make a reader allocate or walk; a real disc
// stays far below every one of them.
#pragma once

#include <cstddef>
#include <cstdint>

// The tree of an image: a hostile image could otherwise keep the walk
// going (deep chains of folders, millions of entries).
constexpr int kMaxFolderDepth = 64;
constexpr size_t kMaxEntries = 200000;
// The listing spells out every path, and a deep chain of folders with long
// names makes each path long: a few MB of directory records can name paths
// that add up to gigabytes. No disc's paths come near this (it is some 80
// bytes for each of kMaxEntries).
constexpr uint64_t kMaxListingBytes = 16u << 20;
// The largest folder read: a directory of some ten thousand entries.
// Anything larger is a damaged size field.
constexpr uint32_t kMaxImageDirectoryBytes = 4u << 20;
// Volume descriptors looked at from sector 16 on before the set
// terminator: a disc records a handful (primary, boot record, Joliet,
// version descriptors).
constexpr uint32_t kMaxVolumeDescriptors = 64;
// The largest cue sheet read: a sheet of 99 tracks with long file names
// and comments is a few KiB.
constexpr size_t kMaxCueSheetBytes = 256u << 10;
// Tracks of a compact disc.
constexpr int kMaxCueTracks = 99;
// The largest CloneCD .ccd sheet or Alcohol .mds descriptor read: either
// describes at most 99 tracks in a few KiB.
constexpr size_t kMaxImageDescriptorBytes = 256u << 10;
