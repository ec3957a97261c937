// Alcohol images, read in place.
//
// The .mds is binary, numbers little endian, offsets counted from its
// first byte:
//   header (92 bytes)   0: "MEDIA DESCRIPTOR"; 16: version (2 bytes);
//                       18: medium type (16 bits: 0 CD-ROM, 1 CD-R, 2 CD-RW,
//                       0x10 DVD-ROM, 0x12 DVD-R); 20: sessions (16 bits);
//                       80: offset of the first session block (32 bits)
//   session (24 bytes, one after another)  0: start sector (signed 32);
//                       4: end sector (signed 32); 8: session number (16);
//                       10: track blocks in the session, lead-in ones
//                       included (8 bits); 11: lead-in blocks (8 bits);
//                       12, 14: first and last track (16 bits each);
//                       20: offset of its track blocks (32 bits)
//   track (80 bytes)    0: mode (its low four bits: 9 audio, 0xA mode 1,
//                       0xB mode 2, 0xC mode 2 form 1, 0xD mode 2 form 2,
//                       2 a DVD's data); 1: subchannel (0 none, 8: 96 bytes
//                       after each sector); 2: ADR/control; 4: point
//                       (1..99 a track, 0xA0.. a lead-in block); 12: offset
//                       of its extra block (32 bits); 16: bytes per sector
//                       in the .mdf (16 bits: 2048, 2336, 2352, 2448 with
//                       subchannel); 36: start sector (32 bits); 40: offset
//                       of its first sector in the .mdf (64 bits); 48: files
//                       (32 bits); 52: offset of its footer (32 bits)
//   extra (8 bytes)     0: pregap sectors; 4: the track's sectors
//   footer (16 bytes)   0: offset of the file name; 4: nonzero when the name
//                       is UTF-16 (little endian), else 8-bit text
//   file name           zero-terminated; "*.mdf" stands for the .mds's own
//                       name with the extension given
//
// Read: the first track (by point) of a data mode; mode 0xB (mode 2 with
// the form unrecorded) is read as form 1 when its sectors' subheader says
// so. Its length is the extra block's, else up to the next track or its
// session's end. Refused with a message: a missing signature, offsets or
// counts outside the descriptor, no data track, a data track not at sector
// 0 (the volume of an enhanced CD), mode 2 form 2, a sector size that does
// not fit the mode, a track in several files, a file name with a folder in
// it, a missing .mdf, a descriptor larger than kMaxImageDescriptorBytes.
#include "alcohol_image.h"

#include "byte_order.h"
#include "image_limits.h"
#include "raw_sector_check.h"

#include <algorithm>
#include <cstring>

namespace {

const char kSignature[] = "MEDIA DESCRIPTOR";
const size_t kSignatureBytes = 16;
const size_t kHeaderBytes = 92;
const size_t kHeaderSessions = 20;
const size_t kHeaderSessionOffset = 80;

const size_t kSessionBytes = 24;
const size_t kSessionEnd = 4;
const size_t kSessionBlocks = 10;
const size_t kSessionTrackOffset = 20;

const size_t kTrackBytes = 80;
const size_t kTrackMode = 0;
const size_t kTrackPoint = 4;
const size_t kTrackExtraOffset = 12;
const size_t kTrackSectorBytes = 16;
const size_t kTrackStart = 36;
const size_t kTrackFileOffset = 40;
const size_t kTrackFiles = 48;
const size_t kTrackFooterOffset = 52;

const size_t kExtraBytes = 8;
const size_t kExtraLength = 4;
const size_t kFooterBytes = 16;
const size_t kFooterWide = 4;

const unsigned kModeDvd = 0x2;
const unsigned kModeMode1 = 0xA;
const unsigned kModeMode2 = 0xB;
const unsigned kModeForm1 = 0xC;
const unsigned kModeForm2 = 0xD;

// The bytes [at, at + n) of the descriptor, or null when they lie outside it.
const unsigned char* field(const std::string& d, uint64_t at, uint64_t n)
{
    if (at > d.size() || n > d.size() - at)
        return nullptr;
    return (const unsigned char*)d.data() + at;
}

uint32_t u32(const unsigned char* p)
{
    return (uint32_t)get_le32(p);
}

uint64_t u64(const unsigned char* p)
{
    return (uint64_t)u32(p) | (uint64_t)u32(p + 4) << 32;
}

// Where the user data start in a sector of `stride` bytes of `mode`; 0 with
// nothing set when the two do not fit together.
int data_offset_of(unsigned mode, uint32_t stride, uint32_t* offset)
{
    bool mode1 = mode == kModeMode1 || mode == kModeDvd;
    if (stride == 2048) {
        *offset = 0;
        return 1;
    }
    if (stride == 2336 && !mode1) {
        *offset = 8;
        return 1;
    }
    if ((stride == kRawSectorBytes || stride == kRawSubchannelSectorBytes) && mode != kModeDvd) {
        *offset = mode1 ? kMode1DataOffset : kMode2Form1DataOffset;
        return 1;
    }
    return 0;
}

// The recorded file name, in UTF-8.
int file_name_of(const std::string& d, uint32_t footer_at, std::string* name, std::string* error)
{
    const unsigned char* footer = field(d, footer_at, kFooterBytes);
    if (!footer) {
        *error = "has its data track's file footer outside the .mds (damaged)";
        return 0;
    }
    uint32_t at = u32(footer);
    bool wide = u32(footer + kFooterWide) != 0;
    name->clear();
    for (uint64_t i = at;; i += wide ? 2 : 1) {
        const unsigned char* c = field(d, i, wide ? 2 : 1);
        if (!c || name->size() > 1024) {
            *error = "has its .mdf file name outside the .mds or unterminated (damaged)";
            return 0;
        }
        uint32_t ch = wide ? get_le16(c) : *c;
        if (ch == 0)
            break;
        if (ch < 0x80) {
            *name += (char)ch;
        } else if (!wide) {
            *error = "names its .mdf with bytes outside ASCII, which are not read";
            return 0;
        } else if (ch < 0x800) {
            *name += (char)(0xC0 | ch >> 6);
            *name += (char)(0x80 | (ch & 0x3F));
        } else if (ch < 0xD800 || ch > 0xDFFF) {
            *name += (char)(0xE0 | ch >> 12);
            *name += (char)(0x80 | (ch >> 6 & 0x3F));
            *name += (char)(0x80 | (ch & 0x3F));
        } else {
            *error = "names its .mdf with a UTF-16 surrogate, which is not read";
            return 0;
        }
    }
    if (name->empty() || name->find_first_of("/\\") != std::string::npos || *name == "." || *name == "..") {
        *error = "names its .mdf as \"" + *name + "\": a file beside the .mds is expected";
        return 0;
    }
    return 1;
}

struct TrackEntry {
    const unsigned char* block;
    uint32_t session_end;
};

}  // namespace

int parse_alcohol_descriptor(const std::string& d, AlcoholDataTrack* out, std::string* error)
{
    if (d.size() > kMaxImageDescriptorBytes) {
        *error = "has an .mds of " + std::to_string(d.size()) + " bytes, more than a disc's tracks need";
        return 0;
    }
    const unsigned char* header = field(d, 0, kHeaderBytes);
    if (!header || memcmp(header, kSignature, kSignatureBytes) != 0) {
        *error = "has no \"MEDIA DESCRIPTOR\" signature at the start of its .mds (not an Alcohol descriptor)";
        return 0;
    }
    uint32_t sessions = get_le16(header + kHeaderSessions);
    uint32_t session_at = u32(header + kHeaderSessionOffset);
    if (sessions == 0 || sessions > (uint32_t)kMaxCueTracks) {
        *error = "records " + std::to_string(sessions) + " sessions in its .mds (damaged)";
        return 0;
    }
    // Every track block of every session, in the order recorded.
    std::vector<TrackEntry> tracks;
    for (uint32_t s = 0; s < sessions; ++s) {
        const unsigned char* session = field(d, session_at + (uint64_t)s * kSessionBytes, kSessionBytes);
        const unsigned char* blocks =
            session ? field(d, u32(session + kSessionTrackOffset), (uint64_t)session[kSessionBlocks] * kTrackBytes)
                    : nullptr;
        if (!blocks) {
            *error = "has session " + std::to_string(s + 1) + " or its track blocks outside the .mds (damaged)";
            return 0;
        }
        for (uint32_t b = 0; b < session[kSessionBlocks]; ++b) {
            const unsigned char* block = blocks + (size_t)b * kTrackBytes;
            if (block[kTrackPoint] >= 1 && block[kTrackPoint] <= 99)
                tracks.push_back({block, u32(session + kSessionEnd)});
        }
    }
    std::sort(tracks.begin(), tracks.end(),
              [](const TrackEntry& a, const TrackEntry& b) { return a.block[kTrackPoint] < b.block[kTrackPoint]; });
    size_t i = 0;
    for (; i < tracks.size(); ++i) {
        unsigned mode = tracks[i].block[kTrackMode] & 0x0F;
        if (mode == kModeDvd || (mode >= kModeMode1 && mode <= kModeForm2))
            break;
    }
    if (i == tracks.size()) {
        *error = "names no data track in its .mds (audio only, or no track blocks)";
        return 0;
    }
    const unsigned char* t = tracks[i].block;
    unsigned mode = t[kTrackMode] & 0x0F;
    int number = t[kTrackPoint];
    uint32_t start = u32(t + kTrackStart);
    if (mode == kModeForm2) {
        *error = "has its data track " + std::to_string(number) + " in mode 2 form 2, which is not read";
        return 0;
    }
    if (start != 0) {
        *error = "has its first data track (track " + std::to_string(number) + ") at sector " + std::to_string(start) +
                 ", after audio tracks (an enhanced CD), which is not read";
        return 0;
    }
    uint32_t stride = get_le16(t + kTrackSectorBytes);
    if (!data_offset_of(mode, stride, &out->data_offset)) {
        *error = "records " + std::to_string(stride) + "-byte sectors for its data track of mode 0x" +
                 "0123456789abcdef"[mode] + ", which do not fit together (damaged)";
        return 0;
    }
    if (u32(t + kTrackFiles) > 1) {
        *error = "keeps its data track in " + std::to_string(u32(t + kTrackFiles)) +
                 " files (.mdf, .md0, ...), which is not read";
        return 0;
    }
    uint64_t sectors = 0;
    uint32_t extra_at = u32(t + kTrackExtraOffset);
    const unsigned char* extra = extra_at ? field(d, extra_at, kExtraBytes) : nullptr;
    if (extra_at && !extra) {
        *error = "has its data track's extra block outside the .mds (damaged)";
        return 0;
    }
    if (extra)
        sectors = u32(extra + kExtraLength);
    if (sectors == 0) {
        uint64_t end = tracks[i].session_end;
        if (i + 1 < tracks.size() && u32(tracks[i + 1].block + kTrackStart) > start)
            end = std::min<uint64_t>(end, u32(tracks[i + 1].block + kTrackStart));
        sectors = end > start ? end - start : 0;
    }
    if (sectors == 0) {
        *error = "gives no length for its data track " + std::to_string(number) + " (damaged)";
        return 0;
    }
    if (!file_name_of(d, u32(t + kTrackFooterOffset), &out->file, error))
        return 0;
    out->number = number;
    out->mode = mode == kModeMode1 || mode == kModeDvd ? 1 : 2;
    out->stride = stride;
    out->first_byte = u64(t + kTrackFileOffset);
    out->sectors = sectors;
    return 1;
}

const DescriptorKind kAlcoholDescriptor = {"the Alcohol image", "its .mds", kMaxImageDescriptorBytes};

namespace {

// The .mdf the descriptor names ("*.mdf": the descriptor's own name with
// that ending), holding the track from its recorded offset.
int locate_alcohol_track(const fs::path& mds, const AlcoholDataTrack& track, const std::string& name, RawTrack* raw,
                         std::string* error)
{
    fs::path mdf = mds;
    if (track.file.size() > 1 && track.file[0] == '*')
        mdf.replace_extension(host_path_from_utf8(track.file.substr(1)));
    else
        mdf = mds.parent_path() / host_path_from_utf8(track.file);
    std::error_code ec;
    uintmax_t mdf_bytes = fs::file_size(mdf, ec);
    if (ec) {
        *error = name + " names " + utf8_of(mdf) + " for its sectors, which is missing";
        return 0;
    }
    uint64_t held = track.first_byte < mdf_bytes ? (mdf_bytes - track.first_byte) / track.stride : 0;
    *raw = RawTrack{mdf, track.first_byte, track.stride, track.data_offset, std::min<uint64_t>(track.sectors, held)};
    return 1;
}

}  // namespace

std::unique_ptr<SectorReader> open_alcohol_sectors(const fs::path& mds, std::string* error)
{
    return open_described_track(mds, kAlcoholDescriptor, parse_alcohol_descriptor, locate_alcohol_track, error);
}
