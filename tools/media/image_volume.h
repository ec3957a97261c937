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
#include <vector>

// Bytes of one sector of user data.
constexpr uint32_t kImageSectorBytes = ISO_BLOCKSIZE;
// The largest directory read: a folder of some ten thousand entries.
// Anything larger is a damaged size field, and libiso9660 would allocate
// and read all of it.
constexpr uint32_t kMaxImageDirectoryBytes = 4u << 20;

// The sector after the last one of an extent of `size` bytes from sector
// `lsn`. Summed in 64 bits: a recorded size near 4 GiB must not wrap around
// to an extent that seems to end inside the image.
inline uint64_t extent_end_sector(uint64_t lsn, uint64_t size)
{
    return lsn + (size + kImageSectorBytes - 1) / kImageSectorBytes;
}

// An ISO 9660 image file, or a disc read from a cue sheet and its .bin.
struct ImageVolume {
    iso9660_t* iso = nullptr;
    CdIo_t* cdio = nullptr;
    uint64_t sectors = 0;    // 2048-byte sectors of user data the image holds
    uint8_t joliet = 0;      // Joliet level of the tree libiso9660 reads; 0: the ISO 9660 names

    // Reads `count` sectors from `lsn` on. 1 / 0.
    int read(void* buffer, uint64_t lsn, uint32_t count) const;
    // The extent of the root folder of the tree read (the Joliet one when
    // there is one), checked when the volume was opened.
    uint64_t root_lsn = 0;
    uint32_t root_size = 0;
    void release();
};

// An entry of a folder of the image, as its directory record gives it.
struct ImageFolderEntry {
    std::string name;       // UTF-8, as listings show it (see read_image_folder)
    bool is_directory;
    bool more_extents;      // not the last record of a file in several pieces
    uint64_t lsn;           // first sector of its data
    uint32_t size;          // bytes
};

// The entries of the folder recorded at `lsn` (`size` bytes), without "."
// and "..". Names: Joliet names (UCS-2) in UTF-8 without a version ";1";
// ISO 9660 names also without a trailing ".", in lower case as listings
// show them, bytes outside ASCII read as code page 950 as Windows reads
// them. The folder must lie inside the image and be at most
// kMaxImageDirectoryBytes; a record that overruns its sector or the folder,
// or a name that does not convert (or holds "/", "\" or a control
// character), fails. 1 / 0 with *error naming `shown` (the folder).
//
// The records are read here rather than through libiso9660's readdir:
// that sizes its copy of a converted Joliet name by the UCS-2 bytes, and
// Chinese names, longer in UTF-8, come out cut.
int read_image_folder(const ImageVolume& volume, uint64_t lsn, uint32_t size, const std::string& shown,
                      std::vector<ImageFolderEntry>* entries, std::string* error);

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
