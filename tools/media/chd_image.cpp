// A CHD image through chdman: `chdman extractcd -i IMAGE -o DIR/disc.cue
// -ob DIR/disc.bin` writes the disc's tracks as raw sectors and a sheet
// naming them, into DIR, a folder made fresh for this image under the
// system's temporary folder. The cue-sheet reader reads the result. The
// folder and all chdman wrote into it go when no reader holds it and the
// cache has let it go (release_chd_discs, or the program's end), and at
// once on any failure.
#include "chd_image.h"

#include "cue_sheet.h"
#include "private_folder.h"
#include "run_program.h"

#include <map>
#include <mutex>

namespace {

// One CHD extracted: the folder and the cue sheet chdman wrote; removed
// when the last holder lets go.
struct ChdDisc {
    fs::path folder;
    fs::path sheet;
    ~ChdDisc() { remove_private_folder(&folder); }
};

// A reader of the extracted disc; it holds the disc while it reads.
struct ChdReader : SectorReader {
    std::shared_ptr<ChdDisc> disc;
    std::unique_ptr<SectorReader> cue;

    ~ChdReader() override { cue.reset(); }  // closes the .bin before the disc may go
    uint64_t sectors() const override { return cue->sectors(); }
    int read(void* buffer, uint64_t lsn, uint32_t count) override { return cue->read(buffer, lsn, count); }
};

// The CHDs extracted, by path, size and time of change (a file replaced
// is extracted anew). Kept until release_chd_discs; the holder's
// destructor releases them at the program's end.
struct ChdCache {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<ChdDisc>> discs;
    ~ChdCache() { discs.clear(); }
};
ChdCache& chd_cache()
{
    static ChdCache cache;
    return cache;
}

std::string cache_key(const fs::path& chd)
{
    std::error_code ec;
    fs::path p = fs::canonical(chd, ec);
    uintmax_t size = fs::file_size(chd, ec);
    auto time = fs::last_write_time(chd, ec).time_since_epoch().count();
    return p.string() + "|" + std::to_string(size) + "|" + std::to_string((long long)time);
}

// Runs chdman into a new folder. Null with *error; nothing left behind.
std::shared_ptr<ChdDisc> extract(const fs::path& chd, const std::string& name, std::string* error)
{
    std::shared_ptr<ChdDisc> disc = std::make_shared<ChdDisc>();
    std::string why;
    if (!make_private_folder("discset-chd-", &disc->folder, &why)) {
        *error = name + " cannot be read: " + why + " for the disc chdman writes out of it";
        return nullptr;
    }
    disc->sheet = disc->folder / "disc.cue";
    fs::path bin = disc->folder / "disc.bin";
    std::error_code ec;
    ProgramRun run;
    if (!run_program({"chdman", "extractcd", "-i", fs::absolute(chd, ec).string(), "-o", disc->sheet.string(), "-ob",
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
    return disc;
}

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
    ChdCache& cache = chd_cache();
    std::string key = cache_key(chd);
    {
        std::lock_guard<std::mutex> hold(cache.lock);
        auto it = cache.discs.find(key);
        if (it != cache.discs.end())
            r->disc = it->second;
    }
    if (!r->disc) {
        r->disc = extract(chd, name, error);
        if (!r->disc)
            return nullptr;
    }
    std::string why;
    r->cue = open_cue_sectors(r->disc->sheet, &why);
    if (!r->cue) {
        *error = name + ": the disc chdman wrote out of it cannot be read: " + why;
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(cache.lock);
    cache.discs.emplace(key, r->disc);
    return r;
}

void release_chd_discs()
{
    ChdCache& cache = chd_cache();
    std::lock_guard<std::mutex> hold(cache.lock);
    cache.discs.clear();
}
