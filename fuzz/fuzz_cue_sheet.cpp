// Fuzz target: the cue sheet reader on a sheet holding the input, in a
// folder that also holds disc.bin (a data track of raw 2352-byte mode 1
// sectors whose sector 16 holds a volume descriptor) and audio.bin, which
// the seeds' FILE lines name. Whatever the sheet says, the reader must
// fail with a message or give a reader whose every sector reads from the
// file's bytes, never past them.
#include "cue_sheet.h"
#include "fuzz_support.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

const uint32_t kTrackSectors = 20;

std::string data_track()
{
    std::string bin(kTrackSectors * kRawSectorBytes, '\0');
    for (uint32_t s = 0; s < kTrackSectors; ++s) {
        char* sector = &bin[s * kRawSectorBytes];
        memset(sector + 1, 0xFF, 10);  // sync: 00, ten FF, 00
        sector[15] = 1;                // mode 1: the data at byte 16
        if (s == 16)
            memcpy(sector + 16, "\1CD001\1", 7);
    }
    return bin;
}

}  // namespace

// libcue keeps the disc record it was building when a sheet does not
// parse (its parser returns null without freeing it): a leak of about 1 KiB
// a failed parse, the library's and not ours. LeakSanitizer leaves
// allocations made inside libcue alone; ours it still reports.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libcue.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fs::path folder = fs::path(fuzz_folder("cue-sheet"));
    static bool made = false;
    if (!made) {
        fuzz_write_host((folder / "disc.bin").string(), data_track());
        fuzz_write_host((folder / "audio.bin").string(), std::string(4 * kRawSectorBytes, '\x55'));
        made = true;
    }
    fs::path sheet = folder / "sheet.cue";
    fuzz_write_host(sheet.string(), std::string((const char*)data, size));
    std::string error;
    std::unique_ptr<SectorReader> reader = open_cue_sectors(sheet, &error);
    if (!reader) {
        fuzz_check(!error.empty());
        return 0;
    }
    // The track holds a volume descriptor at its sector 16, so it has at
    // least 17 sectors, and no more than the file's.
    fuzz_check(reader->sectors() > 16 && reader->sectors() <= kTrackSectors * kRawSectorBytes / 2048);
    unsigned char buffer[2048];
    for (uint64_t s = 0; s < reader->sectors(); ++s)
        fuzz_check(reader->read(buffer, s, 1) == 1);
    fuzz_check(reader->read(buffer, reader->sectors(), 1) == 0);
    return 0;
}
