#include "disk_space.h"

#include "platform.h"

namespace {
DiskFreeQuery g_free_query = plat_disk_free_bytes;
}

void set_disk_free_query(DiskFreeQuery query)
{
    g_free_query = query ? query : plat_disk_free_bytes;
}

int64_t space_needed(int32_t total_size)
{
    return (int64_t)total_size + kSpaceMargin;
}

int32_t space_needed_shown(int32_t total_size)
{
    return total_size / 1024000 + 20;
}

void drive_of(const char* install_path, char* drive)
{
    drive[0] = install_path[0];
    drive[1] = drive[0] ? install_path[1] : '\0';
    drive[2] = '\0';
}

int has_enough_space(const char* install_path, int32_t total_size)
{
    char drive[3];
    drive_of(install_path, drive);
    uint64_t free_bytes = 0;
    g_free_query(drive, &free_bytes);  // a failed query leaves 0
    const int64_t needed = space_needed(total_size);
    // A negative total (a damaged header) needs no more than nothing.
    return needed <= 0 || free_bytes >= (uint64_t)needed ? 1 : 0;
}
