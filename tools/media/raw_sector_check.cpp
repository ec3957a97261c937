#include "raw_sector_check.h"

#include "host_files.h"

#include <cstdio>

namespace {

// A raw sector: 12 sync bytes, a 4-byte header whose last byte is the mode,
// for mode 2 an 8-byte subheader whose third byte is the submode (bit 0x20:
// form 2). A 2336-byte sector is a mode 2 sector without sync and header.
const size_t kRawSubmode = 18;
const size_t kFormlessSubmode = 2;
const unsigned char kSubmodeForm2 = 0x20;

}  // namespace

int check_raw_data_sector(RawTrack* track, int mode, uint64_t lsn, std::string* error)
{
    if (track->stride == 2048)
        return 1;
    unsigned char head[kRawSectorBytes];
    size_t n = track->stride < kRawSectorBytes ? track->stride : kRawSectorBytes;
    FILE* f = open_host_file_read(track->file);
    bool read =
        f && fseeko(f, (off_t)(track->first_byte + lsn * track->stride), SEEK_SET) == 0 && fread(head, 1, n, f) == n;
    if (f)
        fclose(f);
    if (!read) {
        *error = "its data ends before the track's sector " + std::to_string(lsn) + " (cut short)";
        return 0;
    }
    bool raw = track->stride != 2336;
    uint32_t offset;
    if (raw && raw_sector_data_offset(head, &offset)) {
        track->data_offset = offset;
        mode = offset == kMode2Form1DataOffset ? 2 : 1;
    }
    if (mode == 2 && (head[raw ? kRawSubmode : kFormlessSubmode] & kSubmodeForm2)) {
        *error = "its data track is mode 2 form 2, which is not read (mode 2 form 1 is)";
        return 0;
    }
    return 1;
}

int read_image_descriptor(const fs::path& file, uintmax_t limit, const std::string& name, const char* what,
                          std::string* bytes, std::string* error)
{
    std::error_code ec;
    uintmax_t size = fs::file_size(file, ec);
    if (ec || size > limit) {
        *error = name + " cannot be read: " + what + " " + (ec ? "is unreadable" : "is larger than any disc's");
        return 0;
    }
    std::string why;
    if (!read_host_file(file, bytes, &why)) {
        *error = name + " " + why;
        return 0;
    }
    return 1;
}

std::unique_ptr<SectorReader> open_checked_track(RawTrack track, int mode, const std::string& name, std::string* error)
{
    std::string why;
    if (!check_raw_data_sector(&track, mode, kFirstDescriptorSector, &why)) {
        *error = name + ": " + why;
        return nullptr;
    }
    auto reader = open_raw_track(track, &why);
    if (!reader)
        *error = name + ": " + why;
    return reader;
}
