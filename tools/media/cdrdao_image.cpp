// cdrdao .toc sheets, read in place.
//
// The sheet is text: words, double-quoted strings and "//" comments to the
// end of the line; "{ ... }" blocks (CD_TEXT) are passed over. What is read:
//   CD_DA | CD_ROM | CD_ROM_XA | CD_I      the disc's kind (passed over)
//   TRACK mode [RW | RW_RAW]               a track; modes and the bytes of
//       each sector in its file: AUDIO 2352, MODE0 2336, MODE1 2048,
//       MODE1_RAW 2352, MODE2 2336, MODE2_FORM1 2048, MODE2_FORM2 2324,
//       MODE2_FORM_MIX 2336, MODE2_RAW 2352; RW / RW_RAW: 96 bytes of
//       subchannel follow each sector
//   DATAFILE "name" [#offset] [length]     the track's sectors from byte
//   FILE "name" start [length]             `offset` (or `start`, 0 or
//                                          mm:ss:ff) of the file; length in
//                                          mm:ss:ff, else to the file's end
//   PREGAP mm:ss:ff, INDEX, ISRC "...", COPY, NO COPY, PRE_EMPHASIS, ...
//                                          passed over
// The file is named beside the sheet (relative names) or absolutely.
// Read: the first track, which must be of a data mode (mode 1, or mode 2
// whose sectors' subheader says form 1). Refused with a message: no TRACK,
// a first track of audio or mode 0 (the volume of an enhanced CD lies
// after audio), mode 2 form 2, a data track without a file or with several
// files or with ZERO / SILENCE / START inside it, a missing file, a name
// with an escape, a sheet larger than kMaxCueSheetBytes.
//
// libcdio has a cdrdao driver too, but the one Debian 12 ships opens the
// named files from the current folder rather than the sheet's, and reads
// the 2048-byte sectors of a MODE1 track as zeros.
#include "cdrdao_image.h"

#include "image_limits.h"
#include "raw_sector_check.h"

#include <cstring>
#include <vector>

namespace {

struct Word {
    std::string text;
    bool quoted;
};

// The words of the sheet; false on an unterminated string or an escape.
int words_of(const std::string& text, std::vector<Word>* words, std::string* error)
{
    int depth = 0;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            size_t eol = text.find('\n', i);
            i = eol == std::string::npos ? text.size() : eol;
        } else if (c == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos) {
                *error = "has a string without its closing quote";
                return 0;
            }
            std::string s = text.substr(i + 1, close - i - 1);
            if (s.find('\\') != std::string::npos) {
                *error = "has a string with an escape (\"" + s + "\"), which is not read";
                return 0;
            }
            if (depth == 0)
                words->push_back({s, true});
            i = close + 1;
        } else if (c == '{' || c == '}') {
            depth += c == '{' ? 1 : -1;
            if (depth < 0 || depth > 16) {
                *error = "has unbalanced braces";
                return 0;
            }
            ++i;
        } else {
            size_t end = text.find_first_of(" \t\r\n\"{}", i);
            end = end == std::string::npos ? text.size() : end;
            if (depth == 0)
                words->push_back({text.substr(i, end - i), false});
            i = end;
        }
    }
    return 1;
}

// mm:ss:ff as sectors; false when the word is not one.
int msf_sectors(const std::string& w, uint64_t* sectors)
{
    unsigned m, s, f;
    char tail;
    if (sscanf(w.c_str(), "%u:%u:%u%c", &m, &s, &f, &tail) != 3 || s >= 60 || f >= 75 || m > 999)
        return 0;
    *sectors = ((uint64_t)m * 60 + s) * 75 + f;
    return 1;
}

struct TrackMode {
    const char* name;
    uint32_t stride;
    uint32_t data_offset;
    int mode;  // 0: not read as data
};
const TrackMode kModes[] = {
    {"AUDIO", 2352, 0, 0},        {"MODE0", 2336, 0, 0},          {"MODE1", 2048, 0, 1},
    {"MODE1_RAW", 2352, 16, 1},   {"MODE2", 2336, 8, 2},          {"MODE2_FORM1", 2048, 0, 2},
    {"MODE2_FORM2", 2324, 0, -1}, {"MODE2_FORM_MIX", 2336, 8, 2}, {"MODE2_RAW", 2352, 24, 2},
};

}  // namespace

int parse_cdrdao_sheet(const std::string& text, CdrdaoDataTrack* out, std::string* error)
{
    if (text.size() > kMaxCueSheetBytes) {
        *error = "has a .toc sheet of " + std::to_string(text.size()) + " bytes, more than a disc's tracks need";
        return 0;
    }
    std::vector<Word> w;
    if (!words_of(text, &w, error))
        return 0;
    size_t i = 0;
    while (i < w.size() && !(w[i].text == "TRACK" && !w[i].quoted))
        ++i;
    if (i + 1 >= w.size()) {
        *error = "has no TRACK in its .toc sheet (not a cdrdao sheet)";
        return 0;
    }
    const TrackMode* mode = nullptr;
    for (const TrackMode& m : kModes)
        if (w[i + 1].text == m.name)
            mode = &m;
    if (!mode) {
        *error = "gives its first track the unknown mode " + w[i + 1].text;
        return 0;
    }
    if (mode->mode == 0) {
        *error =
            "has a first track of " + w[i + 1].text + ", not data (audio first: an enhanced CD), which is not read";
        return 0;
    }
    if (mode->mode < 0) {
        *error = "has its data track in mode 2 form 2, which is not read";
        return 0;
    }
    i += 2;
    uint32_t stride = mode->stride;
    if (i < w.size() && (w[i].text == "RW" || w[i].text == "RW_RAW")) {
        stride += 96;
        ++i;
    }
    bool have_file = false;
    for (; i < w.size() && w[i].text != "TRACK"; ++i) {
        const std::string& k = w[i].text;
        if (w[i].quoted)
            continue;
        if (k == "ZERO" || k == "SILENCE" || k == "START") {
            *error = "has " + k + " in its data track, which is not read";
            return 0;
        }
        if (k != "FILE" && k != "DATAFILE" && k != "AUDIOFILE")
            continue;
        if (have_file) {
            *error = "keeps its data track in several files, which is not read";
            return 0;
        }
        if (i + 1 >= w.size() || !w[i + 1].quoted || w[i + 1].text.empty()) {
            *error = "has a " + k + " entry without a file name";
            return 0;
        }
        have_file = true;
        out->file = w[i + 1].text;
        i += 1;
        uint64_t offset = 0, sectors = 0;
        if (i + 1 < w.size() && !w[i + 1].quoted) {
            const std::string& a = w[i + 1].text;
            char* end = nullptr;
            if (k == "DATAFILE" && a.size() > 1 && a[0] == '#') {
                offset = strtoull(a.c_str() + 1, &end, 10);
                if (*end != '\0') {
                    *error = "has the offset " + a + " that is not a number";
                    return 0;
                }
                ++i;
            } else if (k != "DATAFILE") {
                if (a != "0" && !msf_sectors(a, &offset)) {
                    *error = "has the start " + a + ", not mm:ss:ff";
                    return 0;
                }
                offset *= stride;
                ++i;
            }
        }
        if (i + 1 < w.size() && !w[i + 1].quoted && msf_sectors(w[i + 1].text, &sectors))
            ++i;
        out->raw.first_byte = offset;
        out->raw.sectors = sectors;
    }
    if (!have_file) {
        *error = "names no file for its data track";
        return 0;
    }
    out->mode = mode->mode;
    out->raw.stride = stride;
    out->raw.data_offset = mode->data_offset;
    return 1;
}

const DescriptorKind kCdrdaoDescriptor = {"the cdrdao image", "its .toc sheet", kMaxCueSheetBytes};

namespace {

// The file a DATAFILE or FILE line names, taken from the sheet's folder
// when it is relative.
int locate_cdrdao_track(const fs::path& toc, const CdrdaoDataTrack& track, const std::string& name, RawTrack* raw,
                        std::string* error)
{
    fs::path file = host_path_from_utf8(track.file);
    if (file.is_relative())
        file = toc.parent_path() / file;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        *error = name + " names " + utf8_of(file) + " for its data track, which is missing";
        return 0;
    }
    *raw = track.raw;
    raw->file = file;
    return 1;
}

}  // namespace

std::unique_ptr<SectorReader> open_cdrdao_sectors(const fs::path& toc, std::string* error)
{
    return open_described_track(toc, kCdrdaoDescriptor, parse_cdrdao_sheet, locate_cdrdao_track, error);
}
