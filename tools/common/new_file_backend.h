// What create_new_host_file needs of the host system, one file per system:
// new_file_posix.cpp and new_file_win32.cpp.
#pragma once

#include "host_files.h"

#include <cstddef>

// Opens `path` for writing only if no file, folder or link of that name
// exists. A descriptor, or -1 with errno set.
int open_new_host_file(const fs::path& path);
// Writes up to `size` bytes; the count written, or -1 with errno set.
long write_host_file(int fd, const char* data, size_t size);
// 0, or -1 with errno set.
int close_host_file(int fd);
// Removes the file again (after a failed write); errors are ignored.
void remove_new_host_file(const fs::path& path);
