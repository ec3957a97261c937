// A disc image opened through libcdio, and read-only streams over runs of
// its sectors: what the reader of disc files in an image (disc_image.cpp)
// and the image form of a disc medium (disc_medium_image.cpp) share. Only
// in builds with libcdio.
#pragma once

#include "host_files.h"

#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>

#include <cstdint>
#include <cstdio>
#include <string>

// Bytes of one sector of user data.
constexpr uint32_t kImageSectorBytes = ISO_BLOCKSIZE;
// The largest directory read: a folder of some ten thousand entries.
// Anything larger is a damaged size field, and libiso9660 would allocate
// and read all of it.
constexpr uint32_t kMaxImageDirectoryBytes = 4u << 20;

// An ISO 9660 image file, or a disc read from a cue sheet and its .bin.
struct ImageVolume {
    iso9660_t* iso = nullptr;
    CdIo_t* cdio = nullptr;
    uint64_t sectors = 0;    // 2048-byte sectors of user data the image holds
    uint8_t joliet = 0;      // Joliet level of the tree libiso9660 reads; 0: the ISO 9660 names

    // Reads `count` sectors from `lsn` on. 1 / 0.
    int read(void* buffer, uint64_t lsn, uint32_t count) const;
    // The entries of the folder `path` ("/", "/PIC") as libiso9660 lists
    // them (iso9660_filelist_free); null when it cannot be read.
    CdioList_t* read_directory(const char* path) const;
    void release();
};

// Opens the image (an ISO 9660 file, or a .cue sheet naming its .bin) and
// reads its volume descriptors; `extensions` are the ISO_EXTENSION_* bits
// libiso9660 may use for an ISO file (a cue sheet's disc always gets all).
// The root folder of the tree it reads is checked to lie inside the image
// and to have a sane size. 1 / 0 with *error.
int open_image_volume(const fs::path& image, ImageVolume* out, std::string* error,
                      iso_extension_mask_t extensions = ISO_EXTENSION_ALL);

// A read-only, seekable stdio stream over `size` bytes from sector `lsn` of
// `volume`, which the stream takes over (fclose releases it; so does a
// failure here). Null with *error.
FILE* open_extent_stream(ImageVolume* volume, uint64_t lsn, uint64_t size, const std::string& what,
                         std::string* error);

// libcdio reports what went wrong through its log. While one exists, its
// warnings and errors are kept for the message instead of being printed.
struct CdioLogCapture {
    cdio_log_handler_t previous;
    CdioLogCapture();
    ~CdioLogCapture();
    // " (libcdio: ...)" when libcdio said something.
    std::string detail() const;
};
