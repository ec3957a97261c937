// The directory of an APKG package, read and checked against the package's
// size, so that no entry can point a reader outside the file.
#pragma once

#include <cstdint>

struct FileObject;

struct PackageDirectory {
    unsigned char* entries;  // count x 40 bytes, from tracked_alloc
    int32_t count;
    int32_t package_size;

    PackageDirectory() : entries(nullptr), count(0), package_size(0) {}

    // Reads the header and the whole directory from the start of an open
    // package. 1 / 0: not "APKG", truncated header, a negative count, or a
    // directory that does not lie inside the file.
    int read(FileObject* package);
    // Frees the directory.
    void release();

    // The entry's name field, NUL-terminated inside its 32 bytes, or null
    // when the field has no NUL (outside the format: never matched).
    char* name(int32_t i);
    int32_t data_offset(int32_t i) const;
    int32_t data_size(int32_t i) const;
    // 1 when the entry's name is terminated and its data lie inside the file.
    int entry_valid(int32_t i);
};
