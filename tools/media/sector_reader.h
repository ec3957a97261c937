// Disc images as runs of 2048-byte sectors of user data, whatever the
// format keeps around them: a reader over the raw sectors of one track of a
// file, and the dispatch that opens an image by its kind (image_formats.cpp).
#pragma once

#include "host_files.h"

#include <cstdint>
#include <memory>
#include <string>

// Where a disc image keeps the data track that holds the ISO 9660 volume, as raw sectors in a file.
struct RawTrack {
    fs::path file;         // the file that holds the track's sectors
    uint64_t first_byte;   // where the track's sector 0 (the volume's LSN 0) starts in the file
    uint32_t stride;       // bytes per sector in the file: 2048, 2336, 2352 or 2448
    uint32_t data_offset;  // bytes before the 2048 bytes of user data in each sector: 0, 8, 16 or 24
    uint64_t sectors;      // sectors of the track; 0: as many as the file holds
};

// 2048-byte sectors of user data, whatever the image's format.
struct SectorReader {
    virtual ~SectorReader() = default;
    virtual uint64_t sectors() const = 0;                              // sectors readable
    virtual int read(void* buffer, uint64_t lsn, uint32_t count) = 0;  // 1 / 0
};

// A reader over a raw track of a file. Null with *error (file missing, too short, ...).
std::unique_ptr<SectorReader> open_raw_track(const RawTrack& track, std::string* error);

// The image's data as sectors, by its kind: the dispatch every format plugs into.
std::unique_ptr<SectorReader> open_image_sectors(const fs::path& image, std::string* error);

// 1 when open_image_sectors reads `image` itself as 2048-byte sectors (an
// ISO 9660 file); 0 when a format keeps the sectors otherwise (a sheet and
// the files it names, raw sectors of 2352 bytes, ...).
int image_is_iso_file(const fs::path& image);

// Bytes of user data in a data sector: the volume's sectors.
constexpr uint32_t kUserBytes = 2048;
// Bytes of a raw CD sector: sync, header, user data and error correction;
// with the 96 bytes of subchannel data some images keep after each.
constexpr uint32_t kRawSectorBytes = 2352;
constexpr uint32_t kRawSubchannelSectorBytes = 2448;
// Where the user data of a raw sector start: after the 12 sync bytes and
// the 4-byte header; for mode 2 form 1 also after the 8-byte subheader.
constexpr uint32_t kMode1DataOffset = 16;
constexpr uint32_t kMode2Form1DataOffset = 24;
// The sector of a volume's first descriptor (the primary's, on a disc
// this toolkit reads).
constexpr uint64_t kFirstDescriptorSector = 16;

// The bytes before the user data of a raw 2352-byte sector, from its sync
// pattern (00, ten FF, 00) and its mode byte (byte 15): 16 for mode 1, 24
// for mode 2 (form 1: an 8-byte subheader follows the header). 1 / 0 when
// the sector is not a data sector (audio, or mode 0).
int raw_sector_data_offset(const unsigned char* sector, uint32_t* data_offset);

// 1 when sector 16 of `reader` holds an ISO 9660 volume descriptor
// (standard identifier "CD001"): the track holds a volume.
int holds_iso_volume(SectorReader* reader);
