// A CHD image through chdman: `chdman extractcd -i IMAGE -o DIR/disc.cue
// -ob DIR/disc.bin` writes the disc's tracks as raw sectors and a sheet
// naming them, into DIR, a folder made fresh for this image under the
// system's temporary folder. The cue-sheet reader reads the result; the
// folder and all chdman wrote into it go when the reader is released, and
// at once on any failure.
#include "chd_image.h"

#include "cue_sheet.h"
#include "private_folder.h"
#include "run_program.h"

namespace {

// The extracted disc and the folder that holds it, removed together.
struct ChdReader : SectorReader {
    std::unique_ptr<SectorReader> cue;
    fs::path folder;

    ~ChdReader() override
    {
        cue.reset();  // closes the .bin before it is removed
        remove_private_folder(&folder);
    }
    uint64_t sectors() const override { return cue->sectors(); }
    int read(void* buffer, uint64_t lsn, uint32_t count) override { return cue->read(buffer, lsn, count); }
};

}  // namespace

std::unique_ptr<SectorReader> open_chd_sectors(const fs::path& chd, std::string* error)
{
    std::string name = "the CHD image " + utf8_of(chd);
    std::error_code ec;
    if (!fs::is_regular_file(chd, ec)) {
        *error = name + " is not a file";
        return nullptr;
    }
    std::unique_ptr<ChdReader> r(new ChdReader);
    std::string why;
    if (!make_private_folder("discset-chd-", &r->folder, &why)) {
        *error = name + " cannot be read: " + why + " for the disc chdman writes out of it";
        return nullptr;
    }
    fs::path sheet = r->folder / "disc.cue";
    fs::path bin = r->folder / "disc.bin";
    ProgramRun run;
    if (!run_program({"chdman", "extractcd", "-i", fs::absolute(chd, ec).string(), "-o", sheet.string(), "-ob",
                      bin.string()},
                     {}, &run, &why)) {
        *error = name + ": reading .chd images needs chdman, from the Debian package mame-tools (" + why + ")";
        return nullptr;
    }
    if (run.exit_code != 0) {
        *error = name + " cannot be read: chdman could not turn it into a cue sheet and its tracks (" +
                 program_message(run) + ")";
        return nullptr;
    }
    r->cue = open_cue_sectors(sheet, &why);
    if (!r->cue) {
        *error = name + ": the disc chdman wrote out of it cannot be read: " + why;
        return nullptr;
    }
    return r;
}
