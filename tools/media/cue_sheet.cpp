// Cue sheets through libcue, which parses the sheet's grammar; what the
// tracks mean for reading the disc (file, sector size, where user data
// sits in each sector) is worked out here.
#include "cue_sheet.h"

#include "ascii_text.h"
#include "image_limits.h"

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libcue.h>
}

namespace {

// Sector size in the file and bytes before the user data, by track mode.
// Modes that carry no 2048-byte user data (mode 2 form 2, mixed) are not
// data tracks that can hold a volume.
struct ModeLayout {
    int mode;
    const char* name;
    bool audio;
    uint32_t stride;
    uint32_t data_offset;
};
const ModeLayout kModes[] = {
    {MODE_AUDIO, "AUDIO", true, 2352, 0},
    {MODE_MODE1, "MODE1/2048", false, 2048, 0},
    {MODE_MODE1_RAW, "MODE1/2352", false, 2352, 16},
    {MODE_MODE2, "MODE2/2336", false, 2336, 8},
    {MODE_MODE2_FORM1, "MODE2/2048", false, 2048, 0},
    {MODE_MODE2_RAW, "MODE2/2352", false, 2352, 24},
};

// libcue reports every fault of a sheet on stderr, a line per byte it
// cannot read; the caller says in one message of its own why the sheet is
// refused. While libcue parses, stderr goes to /dev/null.
struct QuietStderr {
    int saved = -1;
    QuietStderr()
    {
        fflush(stderr);
        int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null_fd < 0)
            return;
        saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (saved >= 0 && dup2(null_fd, STDERR_FILENO) < 0) {
            close(saved);
            saved = -1;
        }
        close(null_fd);
    }
    ~QuietStderr()
    {
        if (saved < 0)
            return;
        fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
};

struct CdRelease {
    Cd* cd;
    ~CdRelease()
    {
        if (cd)
            cd_delete(cd);
    }
};

// The data offset the sectors of a raw 2352-byte track record in their
// headers (sector 16's, where the volume begins), which wins over the
// sheet's mode: sheets that say MODE1/2352 over mode 2 sectors are common.
// Other tracks, or a header that says nothing: the sheet's.
uint32_t data_offset_as_recorded(const RawTrack& t)
{
    if (t.stride != kRawSectorBytes)
        return t.data_offset;
    uint32_t offset = t.data_offset;
    unsigned char sector[kRawSectorBytes];
    FILE* f = open_host_file_read(t.file);
    if (f && fseeko(f, (off_t)(t.first_byte + 16ull * kRawSectorBytes), SEEK_SET) == 0 &&
        fread(sector, sizeof sector, 1, f) == 1 && !raw_sector_data_offset(sector, &offset))
        offset = t.data_offset;
    if (f)
        fclose(f);
    return offset;
}

// The sheet as libcue reads it. libcue knows its keywords in capitals
// only and drops a last line without a line end; sheets written by hand or
// by other tools have both. Each line's first word, a TRACK line's mode and
// a FILE line's last word (its type) are put in capitals, and the text ends
// with a line end. Names and titles stay as written.
std::string sheet_for_libcue(const std::string& text)
{
    const char* blanks = " \t\r";
    auto capitals = [](std::string* line, size_t from, size_t to) {
        for (size_t k = from; k < to; ++k)
            (*line)[k] = ascii_upper((*line)[k]);
    };
    std::string out;
    out.reserve(text.size() + 1);
    for (size_t at = 0; at < text.size();) {
        size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        at = end + 1;
        size_t first = line.find_first_not_of(blanks);
        if (first != std::string::npos) {
            size_t first_end = std::min(line.find_first_of(blanks, first), line.size());
            const std::string keyword = ascii_lowered(line.substr(first, first_end - first));
            capitals(&line, first, first_end);
            size_t last_end = line.find_last_not_of(blanks) + 1;
            size_t last = line.find_last_of(blanks, last_end - 1) + 1;  // 0 when the line is one word
            if ((keyword == "file" || keyword == "track") && last > first_end)
                capitals(&line, last, last_end);
        }
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace

int parse_cue_sheet(const std::string& text, const fs::path& folder, std::vector<CueTrack>* tracks, std::string* error)
{
    if (text.size() > kMaxCueSheetBytes) {
        *error = "it is larger than " + std::to_string(kMaxCueSheetBytes >> 10) + " KiB: not a cue sheet";
        return 0;
    }
    // A sheet is text: a file of other bytes is refused before libcue,
    // which would report each byte it cannot parse on stderr.
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
            *error = "it holds bytes that are not text";
            return 0;
        }
    CdRelease sheet{nullptr};
    {
        QuietStderr quiet;
        sheet.cd = cue_parse_string(sheet_for_libcue(text).c_str());
    }
    if (!sheet.cd) {
        *error = "it is not a cue sheet libcue can parse";
        return 0;
    }
    int n = cd_get_ntrack(sheet.cd);
    if (n <= 0 || n > kMaxCueTracks) {
        *error = "it gives " + std::to_string(n) + " tracks (a disc has 1 to " + std::to_string(kMaxCueTracks) + ")";
        return 0;
    }
    for (int i = 1; i <= n; ++i) {
        Track* t = cd_get_track(sheet.cd, i);
        const char* file = t ? track_get_filename(t) : nullptr;
        if (!file || !*file) {
            *error = "its track " + std::to_string(i) + " has no FILE";
            return 0;
        }
        CueTrack c;
        c.number = i;
        const ModeLayout* layout = nullptr;
        for (const ModeLayout& m : kModes)
            if (m.mode == (int)track_get_mode(t))
                layout = &m;
        if (!layout) {
            c.mode = "MODE2 form 2";  // no 2048-byte sectors of data: passed over like audio
            c.audio = true;
        } else {
            c.mode = layout->name;
            c.audio = layout->audio;
            c.raw.stride = layout->stride;
            c.raw.data_offset = layout->data_offset;
        }
        c.named = file;
        fs::path p = host_path_from_utf8(file);
        c.raw.file = p.is_relative() ? folder / p : p;
        long start = track_get_start(t);
        long length = track_get_length(t);
        if (start < 0) {
            *error = "its track " + std::to_string(i) + " has no INDEX 01";
            return 0;
        }
        c.raw.first_byte = (uint64_t)start * c.raw.stride;
        c.raw.sectors = length > 0 ? (uint64_t)length : 0;
        tracks->push_back(c);
    }
    return 1;
}

fs::path file_beside_sheet(const fs::path& folder, const std::string& named)
{
    size_t cut = named.find_last_of("/\\");
    const std::string last = ascii_lowered(cut == std::string::npos ? named : named.substr(cut + 1));
    if (last.empty())
        return {};
    fs::path found;
    int matches = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (ascii_lowered(utf8_of(it->path().filename())) == last && it->is_regular_file(kind)) {
            found = it->path();
            ++matches;
        }
    }
    return matches == 1 ? found : fs::path();
}

std::unique_ptr<SectorReader> open_cue_sectors(const fs::path& sheet, std::string* error)
{
    std::string name = utf8_of(sheet), text;
    std::error_code ec;
    uintmax_t bytes = fs::file_size(sheet, ec);
    if (ec || bytes > kMaxCueSheetBytes) {
        *error = "the cue sheet " + name + (ec ? " cannot be read" : " is too large to be a cue sheet");
        return nullptr;
    }
    std::vector<CueTrack> tracks;
    if (!read_host_file(sheet, &text, error) || !parse_cue_sheet(text, sheet.parent_path(), &tracks, error)) {
        *error = "the cue sheet " + name + " cannot be read: " + *error;
        return nullptr;
    }
    std::string missing, unreadable;
    for (const CueTrack& t : tracks) {
        if (t.audio)
            continue;
        RawTrack raw = t.raw;
        std::error_code exists;
        if (!fs::is_regular_file(raw.file, exists)) {
            raw.file = file_beside_sheet(sheet.parent_path(), t.named);
            if (raw.file.empty()) {
                if (missing.empty())
                    missing = utf8_of(t.raw.file);
                continue;
            }
        }
        std::string why;
        raw.data_offset = data_offset_as_recorded(raw);
        std::unique_ptr<SectorReader> r = open_raw_track(raw, &why);
        if (r && holds_iso_volume(r.get()))
            return r;
        if (unreadable.empty())
            unreadable = "track " + std::to_string(t.number) + " (" + t.mode + ") " +
                         (r ? "holds no ISO 9660 volume descriptor at its sector 16" : why);
    }
    if (!missing.empty())
        *error = "the cue sheet " + name + " names " + missing + ", which does not exist";
    else if (!unreadable.empty())
        *error = "the cue sheet " + name + " has no data track with an ISO 9660 volume: its " + unreadable;
    else
        *error = "the cue sheet " + name + " has only audio tracks: no data track holds files";
    return nullptr;
}
