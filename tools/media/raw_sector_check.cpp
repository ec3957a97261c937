#include "raw_sector_check.h"

#include <fstream>

namespace {

// A raw sector: 12 sync bytes, a 4-byte header whose last byte is the mode,
// for mode 2 an 8-byte subheader whose third byte is the submode (bit 0x20:
// form 2). A 2336-byte sector is a mode 2 sector without sync and header.
const size_t kHeaderMode = 15;
const size_t kRawSubmode = 18;
const size_t kFormlessSubmode = 2;
const unsigned char kSubmodeForm2 = 0x20;

}  // namespace

int check_raw_data_sector(const RawTrack& track, int mode, uint64_t lsn, std::string* error)
{
    if (track.stride == 2048)
        return 1;
    unsigned char head[24];
    std::ifstream in(track.file, std::ios::binary);
    in.seekg((std::streamoff)(track.first_byte + lsn * track.stride));
    if (!in.read((char*)head, sizeof head)) {
        *error = "its data ends before the track's sector " + std::to_string(lsn) + " (cut short)";
        return 0;
    }
    bool raw = track.stride != 2336;
    if (raw && head[kHeaderMode] != mode) {
        *error = "the track's sector " + std::to_string(lsn) + " is a mode " + std::to_string(head[kHeaderMode]) +
                 " sector, not mode " + std::to_string(mode) + " as the descriptor says (damaged or scrambled)";
        return 0;
    }
    if (mode == 2 && (head[raw ? kRawSubmode : kFormlessSubmode] & kSubmodeForm2)) {
        *error = "its data track is mode 2 form 2, which is not read (mode 2 form 1 is)";
        return 0;
    }
    return 1;
}
