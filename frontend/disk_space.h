// The free-space test of the path dialog: the drive of the install path
// must hold the installation's total size plus a 20 MiB margin.
#pragma once

#include <cstdint>

// The margin added to the total size.
constexpr int64_t kSpaceMargin = 0x1400000;  // 20,971,520 bytes

// Bytes needed: total size + the margin, formed in 64 bits (a 32-bit sum
// would wrap from a total of 0x7EC00000 bytes on and refuse every drive).
int64_t space_needed(int32_t total_size);

// The figure of the refusal message: total size / 1,024,000 + 20 (about the
// same need, in units of 1,024,000 bytes).
int32_t space_needed_shown(int32_t total_size);

// The drive part of an install path: its first two characters ("C:"; a
// network path gives "\\", which no free-space query accepts) into `drive`
// (3 bytes).
void drive_of(const char* install_path, char* drive);

// The free-space query has_enough_space makes: plat_disk_free_bytes, or a
// stand-in with the same contract (1 and the drive's free bytes, or 0) that
// tests install to play a drive of a chosen size. Null restores the
// platform's query.
typedef int (*DiskFreeQuery)(const char* drive, uint64_t* free_bytes);
void set_disk_free_query(DiskFreeQuery query);

// 1 when the drive of `install_path` has at least space_needed(total_size)
// free bytes (all free bytes of the disk, not only the user's share); 0 when
// it has fewer or cannot be queried (then it counts as 0 free bytes).
int has_enough_space(const char* install_path, int32_t total_size);
