// A raw track of a file read as 2048-byte sectors: each sector's user data
// is picked out of its stride; a run of sectors is read with one read of
// the file.
#include "sector_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Raw sectors read with one read of the file.
const uint32_t kRunSectors = 32;

struct RawTrackReader : SectorReader {
    RawTrack track{};
    FILE* file = nullptr;
    uint64_t count = 0;
    std::vector<unsigned char> raw;  // kRunSectors raw sectors

    ~RawTrackReader() override
    {
        if (file)
            fclose(file);
    }
    uint64_t sectors() const override { return count; }
    int read(void* buffer, uint64_t lsn, uint32_t n) override
    {
        if (n == 0 || lsn >= count || n > count - lsn)
            return 0;
        unsigned char* out = (unsigned char*)buffer;
        uint64_t at = track.first_byte + lsn * track.stride;
        if (fseeko(file, (off_t)at, SEEK_SET) != 0)
            return 0;
        if (track.stride == kUserBytes)
            return fread(out, kUserBytes, n, file) == n;
        // Runs of raw sectors read at once, their user data picked out.
        while (n > 0) {
            uint32_t run = std::min<uint32_t>(n, kRunSectors);
            if (fread(raw.data(), track.stride, run, file) != run)
                return 0;
            for (uint32_t i = 0; i < run; ++i)
                memcpy(out + (size_t)i * kUserBytes, raw.data() + (size_t)i * track.stride + track.data_offset,
                       kUserBytes);
            out += (size_t)run * kUserBytes;
            n -= run;
        }
        return 1;
    }
};

}  // namespace

std::unique_ptr<SectorReader> open_raw_track(const RawTrack& track, std::string* error)
{
    std::string name = utf8_of(track.file);
    if (track.stride < kUserBytes || track.data_offset > track.stride - kUserBytes) {
        *error = name + ": a track of " + std::to_string(track.stride) + "-byte sectors cannot hold " +
                 std::to_string(kUserBytes) + " bytes of data at byte " + std::to_string(track.data_offset);
        return nullptr;
    }
    std::error_code ec;
    if (!fs::is_regular_file(track.file, ec)) {
        *error = name + " does not exist (or is not a file)";
        return nullptr;
    }
    uintmax_t bytes = fs::file_size(track.file, ec);
    if (ec || bytes < track.first_byte) {
        *error = name + " is shorter than the track it should hold (it starts at byte " +
                 std::to_string(track.first_byte) + ")";
        return nullptr;
    }
    uint64_t held = (bytes - track.first_byte) / track.stride;
    if (track.sectors && track.sectors > held) {
        *error = name + " is cut short: its track has " + std::to_string(track.sectors) + " sectors, the file holds " +
                 std::to_string(held);
        return nullptr;
    }
    std::unique_ptr<RawTrackReader> r(new RawTrackReader);
    r->track = track;
    r->count = track.sectors ? track.sectors : held;
    r->raw.resize((size_t)kRunSectors * track.stride);
    r->file = open_host_file_read(track.file);
    if (!r->file) {
        *error = name + " cannot be opened for reading";
        return nullptr;
    }
    return r;
}

int raw_sector_data_offset(const unsigned char* sector, uint32_t* data_offset)
{
    static const unsigned char kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (memcmp(sector, kSync, sizeof kSync) != 0)
        return 0;
    if (sector[15] == 1)
        *data_offset = kMode1DataOffset;
    else if (sector[15] == 2)
        *data_offset = kMode2Form1DataOffset;
    else
        return 0;
    return 1;
}

int holds_iso_volume(SectorReader* reader)
{
    unsigned char sector[kUserBytes];
    if (reader->sectors() <= kFirstDescriptorSector || !reader->read(sector, kFirstDescriptorSector, 1))
        return 0;
    return memcmp(sector + 1, "CD001", 5) == 0;
}
