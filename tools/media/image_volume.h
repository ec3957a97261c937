// A disc image's ISO 9660 volume read through a SectorReader, and
// read-only streams over runs of its sectors: what the reader of disc
// files in an image (disc_image.cpp) and the image form of a disc medium
// (disc_medium_image.cpp) share. Only in builds with libcdio.
#pragma once

#include "host_files.h"
#include "image_limits.h"
#include "sector_reader.h"

#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Bytes of one sector of user data.
constexpr uint32_t kImageSectorBytes = ISO_BLOCKSIZE;

// The sector after the last one of an extent of `size` bytes from sector
// `lsn`. Summed in 64 bits: a recorded size near 4 GiB must not wrap around
// to an extent that seems to end inside the image.
inline uint64_t extent_end_sector(uint64_t lsn, uint64_t size)
{
    return lsn + (size + kImageSectorBytes - 1) / kImageSectorBytes;
}

// The tree of names a volume descriptor gives.
enum ImageTree : uint8_t {
    kTreePrimary,   // the primary descriptor's: ISO 9660 names, shown in lower case
    kTreeJoliet,    // a Joliet descriptor's: UCS-2 names
    kTreeEnhanced,  // an enhanced descriptor's (ISO 9660:1999, "level 4"): names as recorded
};

// An ISO 9660 image file, or a disc read from a cue sheet and its .bin
// (any format open_image_sectors reads).
struct ImageVolume {
    SectorReader* reader = nullptr;  // owned: release() frees it
    int raw_sectors = 0;             // 1: the image is not the volume's 2048-byte sectors themselves (a sheet, a .bin)
    uint64_t sectors = 0;            // 2048-byte sectors of user data the image holds
    uint8_t joliet = 0;              // Joliet level of the tree read; 0: not a Joliet tree
    ImageTree tree = kTreePrimary;   // the tree read

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
    std::string name;  // UTF-8, as listings show it (see read_image_folder)
    bool is_directory;
    bool more_extents;  // not the last record of a file in several pieces
    uint64_t lsn;       // first sector of its data
    uint32_t size;      // bytes
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

// Opens the image (an ISO 9660 file, a .cue sheet, any kind
// open_image_sectors reads) and reads its volume descriptors from sector 16
// up to the set terminator: the primary one, a Joliet one (escape sequence
// %/@, %/C or %/E) and an enhanced one (version 2, no escape sequence),
// wherever they stand. With ISO_EXTENSION_JOLIET bits in `extensions` the
// Joliet tree is read first, then the enhanced, then the primary one;
// without them the primary first, then the enhanced, then Joliet. The
// first whose root folder lies inside the image, has a sane size and reads
// is the volume's tree. 1 / 0 with *error (the first tree's failure).
int open_image_volume(const fs::path& image, ImageVolume* out, std::string* error,
                      iso_extension_mask_t extensions = ISO_EXTENSION_ALL);

// A read-only, seekable stdio stream over `size` bytes from sector `lsn` of
// `volume`, which the stream takes over (fclose releases it; so does a
// failure here). Null with *error.
FILE* open_extent_stream(ImageVolume* volume, uint64_t lsn, uint64_t size, const std::string& what, std::string* error);

// libcdio reports what went wrong through its log. While one exists, its
// warnings and errors are kept for the message instead of being printed.
struct CdioLogCapture {
    cdio_log_handler_t previous;
    CdioLogCapture();
    ~CdioLogCapture();
    // " (libcdio: ...)" when libcdio said something.
    std::string detail() const;
};
