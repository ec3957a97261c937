// CloneCD images, read in place.
//
// The .ccd is INI-like text: lines "[Section]" and "Key=Value", spaces
// around either ignored, section names and keys in any case, numbers in
// decimal or 0x hex, lines ending in LF or CR LF.
//   [CloneCD]   Version=N
//   [Disc]      TocEntries=N (the [Entry] sections that follow), Sessions=N,
//               DataTracksScrambled=0|1, CDTextLength=N
//   [Session N] PreGapMode=N, PreGapSubC=N
//   [Entry N]   one entry of the disc's table of contents as the lead-in
//               gives it: Session, Point (1..99: track Point starts at
//               PLBA; 0xA0 / 0xA1: the session's first / last track; 0xA2:
//               its lead-out starts at PLBA), ADR, Control (bit 0x04: a data
//               track), TrackNo, AMin, ASec, AFrame, ALBA, Zero, PMin, PSec,
//               PFrame, PLBA (the same address in sectors from the start of
//               the program area: PMin*4500 + PSec*75 + PFrame - 150)
//   [TRACK N]   MODE=0 (audio), 1 or 2; INDEX 0=..., INDEX 1=... (sectors)
// The .img beside the sheet, of the same name, holds every sector from
// sector 0 on, 2352 bytes each (sync, header, data, error codes); the .sub
// holds 96 bytes of subchannel per sector and is not needed.
//
// Read: the first track (by number) whose Control marks data; its mode
// comes from its [TRACK N] section; it ends where the next track (of any
// session) or a lead-out starts. Refused with a message: scrambled data
// tracks, no data track, a data track that does not start at sector 0 (an
// enhanced CD: audio first, the volume in a later session and addressed
// from the disc's start), a data track of mode 0 or an unknown mode, mode 2
// form 2 sectors, a missing .img, a sheet larger than
// kMaxImageDescriptorBytes. The header of the track's sector 16 has the
// last word on its mode (raw_sector_check.h).
#include "clonecd_image.h"

#include "ascii_text.h"
#include "image_limits.h"
#include "raw_sector_check.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

const uint32_t kControlData = 0x04;
const int64_t kPointLeadOut = 0xA2;

using Section = std::map<std::string, std::string>;
using Sheet = std::map<std::string, Section>;

// Sections by lower-case name, keys by lower-case name. Lines outside any
// section and lines without "=" are passed over, as comments are.
int read_sections(const std::string& text, Sheet* sheet, std::string* error)
{
    std::string current;
    size_t at = 0;
    while (at < text.size()) {
        size_t eol = text.find('\n', at);
        if (eol == std::string::npos)
            eol = text.size();
        std::string line = ascii_trimmed(text.substr(at, eol - at));
        at = eol + 1;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            current = ascii_lowered(ascii_trimmed(line.substr(1, line.size() - 2)));
            if (sheet->size() >= (size_t)kMaxCueTracks * 3 + 16 && !sheet->count(current)) {
                *error = "has more sections than a disc's tracks need (damaged)";
                return 0;
            }
            (*sheet)[current];
            continue;
        }
        size_t equals = line.find('=');
        if (current.empty() || equals == std::string::npos)
            continue;
        (*sheet)[current][ascii_lowered(ascii_trimmed(line.substr(0, equals)))] =
            ascii_trimmed(line.substr(equals + 1));
    }
    return 1;
}

// A number field of a section; false when it is absent or not a number.
int number_of(const Section& s, const char* key, int64_t* value)
{
    auto it = s.find(key);
    if (it == s.end() || it->second.empty())
        return 0;
    const char* text = it->second.c_str();
    char* end = nullptr;
    long long v = strtoll(text, &end, 0);
    if (*end != '\0' || v < -(1LL << 40) || v > (1LL << 40))
        return 0;
    *value = v;
    return 1;
}

// The address an entry gives in PLBA, or from PMin, PSec and PFrame.
int entry_address(const Section& entry, int64_t* lba)
{
    if (number_of(entry, "plba", lba))
        return 1;
    int64_t m, s, f;
    if (!number_of(entry, "pmin", &m) || !number_of(entry, "psec", &s) || !number_of(entry, "pframe", &f))
        return 0;
    *lba = m * 4500 + s * 75 + f - 150;
    return 1;
}

// The image file beside the sheet: its name with .img (or .IMG).
fs::path image_beside(const fs::path& ccd)
{
    std::error_code ec;
    for (const char* ext : {".img", ".IMG", ".Img"}) {
        fs::path p = ccd;
        p.replace_extension(ext);
        if (fs::is_regular_file(p, ec))
            return p;
    }
    fs::path p = ccd;
    return p.replace_extension(".img");
}

}  // namespace

int parse_clonecd_sheet(const std::string& text, CloneCdDataTrack* out, std::string* error)
{
    if (text.size() > kMaxImageDescriptorBytes) {
        *error = "has a .ccd sheet of " + std::to_string(text.size()) + " bytes, more than a disc's tracks need";
        return 0;
    }
    Sheet sheet;
    if (!read_sections(text, &sheet, error))
        return 0;
    if (!sheet.count("clonecd") || !sheet.count("disc")) {
        *error = "has a .ccd sheet without its [CloneCD] and [Disc] sections (not a CloneCD sheet)";
        return 0;
    }
    int64_t scrambled = 0;
    if (number_of(sheet["disc"], "datatracksscrambled", &scrambled) && scrambled != 0) {
        *error = "has scrambled data tracks (DataTracksScrambled=1), which are not read";
        return 0;
    }
    // Track starts and lead-outs from the table of contents.
    std::map<int64_t, std::pair<int64_t, int64_t>> tracks;  // number -> (start, control)
    std::vector<int64_t> lead_outs;
    for (const auto& [name, section] : sheet) {
        if (name.compare(0, 6, "entry ") != 0)
            continue;
        int64_t point, control = 0, lba;
        if (!number_of(section, "point", &point))
            continue;
        if (point != kPointLeadOut && (point < 1 || point > 99))
            continue;  // first / last track numbers and other entries
        if (!entry_address(section, &lba) || lba < 0) {
            *error = "has a table of contents entry [" + name + "] without a sound address (damaged)";
            return 0;
        }
        if (point == kPointLeadOut) {
            lead_outs.push_back(lba);
            continue;
        }
        number_of(section, "control", &control);
        tracks[point] = {lba, control};
    }
    auto data = tracks.begin();
    while (data != tracks.end() && !(data->second.second & kControlData))
        ++data;
    if (data == tracks.end()) {
        *error = "names no data track in its .ccd sheet (audio only, or no [Entry] sections)";
        return 0;
    }
    int64_t number = data->first, start = data->second.first;
    if (start != 0) {
        *error = "has its first data track (track " + std::to_string(number) + ") at sector " + std::to_string(start) +
                 ", after audio tracks (an enhanced CD), which is not read";
        return 0;
    }
    int64_t end = -1;
    for (const auto& [n, t] : tracks)
        if (t.first > start && (end < 0 || t.first < end))
            end = t.first;
    for (int64_t l : lead_outs)
        if (l > start && (end < 0 || l < end))
            end = l;
    if (end < 0) {
        *error = "gives no end for track " + std::to_string(number) + " (no lead-out entry, Point=0xa2)";
        return 0;
    }
    int64_t mode = -1;
    auto track = sheet.find("track " + std::to_string(number));
    if (track == sheet.end() || !number_of(track->second, "mode", &mode)) {
        *error = "gives no MODE for its data track (no [TRACK " + std::to_string(number) + "] section)";
        return 0;
    }
    if (mode != 1 && mode != 2) {
        *error = "has its data track " + std::to_string(number) + " recorded as MODE=" + std::to_string(mode) +
                 ", which is not read (mode 1 and mode 2 are)";
        return 0;
    }
    out->number = (int)number;
    out->mode = (int)mode;
    out->sectors = (uint64_t)(end - start);
    return 1;
}

const DescriptorKind kCloneCdDescriptor = {"the CloneCD image", "its .ccd sheet", kMaxImageDescriptorBytes};

namespace {

// The .img beside the sheet holds every track's raw sectors from the start.
int locate_clonecd_track(const fs::path& ccd, const CloneCdDataTrack& track, const std::string& name, RawTrack* raw,
                         std::string* error)
{
    fs::path img = image_beside(ccd);
    std::error_code ec;
    uintmax_t img_bytes = fs::file_size(img, ec);
    if (ec) {
        *error = name + " has no .img of raw sectors beside it (" + utf8_of(img) + " is missing)";
        return 0;
    }
    // The sector that holds the volume descriptor says which mode the
    // sectors are, and for mode 2 which form (open_checked_track).
    *raw = RawTrack{img, 0, kRawSectorBytes, track.mode == 1 ? kMode1DataOffset : kMode2Form1DataOffset,
                    std::min<uint64_t>(track.sectors, img_bytes / kRawSectorBytes)};
    return 1;
}

}  // namespace

std::unique_ptr<SectorReader> open_clonecd_sectors(const fs::path& ccd, std::string* error)
{
    return open_described_track(ccd, kCloneCdDescriptor, parse_clonecd_sheet, locate_clonecd_track, error);
}
