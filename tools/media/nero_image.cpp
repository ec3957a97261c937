// Nero images, read in place.
//
// Numbers are big endian. The file holds the tracks' sectors, then a run of
// chunks, then the footer in its last bytes:
//   version 2   "NER5", then the chunks' offset in the file (64 bits)
//   version 1   "NERO", then the chunks' offset (32 bits)
// A chunk is a 4-letter id, its data's length (32 bits) and the data;
// "END!" (length 0) ends the run. The chunks read:
//   "ETN2"  the tracks of a track-at-once image, 32 bytes each: first byte
//           in the file (64), bytes (64), mode (32), first sector (32),
//           8 bytes unused
//   "ETNF"  the same for version 1, 20 bytes each: first byte (32), bytes
//           (32), mode (32), first sector (32), 4 bytes unused
//   modes   0: mode 1 in 2048-byte sectors; 2: mode 2 form 1 in 2048-byte
//           sectors; 3: mode 2 in 2336-byte sectors (subheader, then the
//           data); 7: audio in 2352-byte sectors
//   "SINF", "MTYP", "CDTX"  sessions, medium type, CD-TEXT: passed over
// Read: the first track of a data mode, as a raw track of the file.
// Refused with a message: no footer, a chunk run outside the file or
// without "END!", more chunks or tracks than a disc has, a disc-at-once
// image ("CUEX"/"CUES" with "DAOX"/"DAOI": its layout is not read), no
// data track, a data track not at sector 0 (the volume of an enhanced CD),
// a track whose bytes are not whole sectors or lie past the chunks, mode 2
// form 2 (the subheader of its sector 16 says so), an unknown chunk.
#include "nero_image.h"

#include "image_limits.h"
#include "raw_sector_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const size_t kFooter2Bytes = 12;
const size_t kFooter1Bytes = 8;
const size_t kChunkHeaderBytes = 8;
const size_t kEtn2EntryBytes = 32;
const size_t kEtnfEntryBytes = 20;
const uint32_t kModeMode1 = 0;
const uint32_t kModeForm1 = 2;
const uint32_t kModeMode2 = 3;

uint64_t be(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

struct NeroTrack {
    uint64_t first_byte, bytes;
    uint32_t mode, first_sector;
};

// The tracks of an ETN2 or ETNF chunk.
int read_extents(const unsigned char* data, uint64_t length, bool wide, std::vector<NeroTrack>* tracks,
                 std::string* error)
{
    size_t entry = wide ? kEtn2EntryBytes : kEtnfEntryBytes;
    if (length % entry != 0 || length / entry > (uint64_t)kMaxCueTracks) {
        *error = std::string("has a track chunk (") + (wide ? "ETN2" : "ETNF") + ") of " + std::to_string(length) +
                 " bytes, not whole entries of a disc's tracks (damaged)";
        return 0;
    }
    int w = wide ? 8 : 4;
    for (uint64_t at = 0; at < length; at += entry) {
        const unsigned char* e = data + at;
        tracks->push_back({be(e, w), be(e + w, w), (uint32_t)be(e + 2 * w, 4), (uint32_t)be(e + 2 * w + 4, 4)});
    }
    return 1;
}

}  // namespace

int parse_nero_tail(const std::string& tail, uint64_t file_bytes, NeroDataTrack* out, std::string* error)
{
    const unsigned char* t = (const unsigned char*)tail.data();
    uint64_t tail_start = file_bytes - tail.size();
    uint64_t chunks_at;
    size_t footer;
    if (tail.size() >= kFooter2Bytes && memcmp(t + tail.size() - kFooter2Bytes, "NER5", 4) == 0) {
        footer = kFooter2Bytes;
        chunks_at = be(t + tail.size() - 8, 8);
    } else if (tail.size() >= kFooter1Bytes && memcmp(t + tail.size() - kFooter1Bytes, "NERO", 4) == 0) {
        footer = kFooter1Bytes;
        chunks_at = be(t + tail.size() - 4, 4);
    } else {
        *error = "has no Nero footer (\"NER5\" or \"NERO\" in its last bytes): not an .nrg, or cut short";
        return 0;
    }
    uint64_t chunks_end = file_bytes - footer;
    if (chunks_at < tail_start || chunks_at > chunks_end) {
        *error = "records its chunks at byte " + std::to_string(chunks_at) + ", outside the image's last " +
                 std::to_string(kMaxImageDescriptorBytes) + " bytes (damaged)";
        return 0;
    }
    std::vector<NeroTrack> tracks;
    bool ended = false, disc_at_once = false;
    for (uint64_t at = chunks_at - tail_start; !ended;) {
        if (chunks_end - tail_start - at < kChunkHeaderBytes) {
            *error = "has its chunk run cut off before its \"END!\" chunk (damaged)";
            return 0;
        }
        const unsigned char* c = t + at;
        uint64_t length = be(c + 4, 4);
        if (length > chunks_end - tail_start - at - kChunkHeaderBytes) {
            *error = "has a chunk \"" + std::string((const char*)c, 4) + "\" running past the footer (damaged)";
            return 0;
        }
        std::string id((const char*)c, 4);
        if (id == "END!")
            ended = true;
        else if (id == "ETN2" || id == "ETNF") {
            if (!read_extents(c + kChunkHeaderBytes, length, id == "ETN2", &tracks, error))
                return 0;
        } else if (id == "CUEX" || id == "CUES" || id == "DAOX" || id == "DAOI")
            disc_at_once = true;
        else if (id != "SINF" && id != "MTYP" && id != "CDTX") {
            bool printable = true;
            for (char ch : id)
                printable = printable && ch >= 0x20 && ch < 0x7F;
            *error = "has an unknown chunk " + (printable ? "\"" + id + "\"" : std::string("(not text)")) +
                     " (damaged, or a newer Nero format)";
            return 0;
        }
        at += kChunkHeaderBytes + length;
    }
    if (disc_at_once && tracks.empty()) {
        *error =
            "was written disc-at-once (its layout in CUEX/DAOX chunks), which is not read; "
            "track-at-once images (ETN2/ETNF) are";
        return 0;
    }
    size_t i = 0;
    while (i < tracks.size() && tracks[i].mode != kModeMode1 && tracks[i].mode != kModeForm1 &&
           tracks[i].mode != kModeMode2)
        ++i;
    if (i == tracks.size()) {
        *error = "holds no data track (audio only, or no track chunk)";
        return 0;
    }
    const NeroTrack& d = tracks[i];
    if (d.first_sector != 0) {
        *error = "has its first data track (track " + std::to_string(i + 1) + ") at sector " +
                 std::to_string(d.first_sector) + ", after audio tracks (an enhanced CD), which is not read";
        return 0;
    }
    uint32_t stride = d.mode == kModeMode2 ? 2336 : 2048;
    if (d.bytes % stride != 0 || d.bytes == 0 || d.first_byte > chunks_at || d.bytes > chunks_at - d.first_byte) {
        *error = "records its data track as " + std::to_string(d.bytes) + " bytes from byte " +
                 std::to_string(d.first_byte) + ": not whole " + std::to_string(stride) +
                 "-byte sectors before the chunks (damaged)";
        return 0;
    }
    out->number = (int)i + 1;
    out->mode = d.mode == kModeMode1 ? 1 : 2;
    out->raw.first_byte = d.first_byte;
    out->raw.stride = stride;
    out->raw.data_offset = d.mode == kModeMode2 ? 8 : 0;
    out->raw.sectors = d.bytes / stride;
    return 1;
}

std::unique_ptr<SectorReader> open_nero_sectors(const fs::path& nrg, std::string* error)
{
    std::string name = "the Nero image " + utf8_of(nrg);
    std::error_code ec;
    uintmax_t bytes = fs::file_size(nrg, ec);
    FILE* f = ec ? nullptr : open_host_file_read(nrg);
    if (!f) {
        *error = name + " cannot be opened for reading";
        return nullptr;
    }
    // The footer and the chunks lie in the last bytes.
    std::string tail((size_t)std::min<uintmax_t>(bytes, kMaxImageDescriptorBytes), '\0');
    bool read =
        fseeko(f, (off_t)(bytes - tail.size()), SEEK_SET) == 0 && fread(&tail[0], 1, tail.size(), f) == tail.size();
    fclose(f);
    std::string why;
    NeroDataTrack track;
    if (!read) {
        *error = name + " cannot be read (its last bytes)";
        return nullptr;
    }
    if (!parse_nero_tail(tail, bytes, &track, &why)) {
        *error = name + " " + why;
        return nullptr;
    }
    track.raw.file = nrg;
    return open_checked_track(track.raw, track.mode, name, error);
}
