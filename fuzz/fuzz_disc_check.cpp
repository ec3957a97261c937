// Fuzz target: `discset list` / `discset test` over a disc set made from the
// input. The input is split at every "DISCNEXT" into the disc files cd1,
// cd2, ... of one folder; the whole set is walked with every check on.
// Whatever the bytes, the walk must end, stay inside its buffers, and report
// damage (never a sound set) when the header's count or total does not match,
// and give back every file object and heap block it took.
#include "disc_scan.h"
#include "file_object.h"
#include "fuzz_support.h"
#include "tracked_memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

fs::path g_folder;

void write_disc(int number, const uint8_t* data, size_t size)
{
    std::ofstream out(g_folder / ("cd" + std::to_string(number)), std::ios::binary | std::ios::trunc);
    out.write((const char*)data, (std::streamsize)size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_folder.empty())
        g_folder = fuzz_folder("disc-check");
    std::error_code ec;
    for (auto& e : fs::directory_iterator(g_folder, ec))
        fs::remove(e.path(), ec);

    static const char kMarker[] = "DISCNEXT";
    const size_t marker = sizeof kMarker - 1;
    int number = 1;
    size_t start = 0;
    for (size_t i = 0; i + marker <= size && number < 8; ++i) {
        if (memcmp(data + i, kMarker, marker) == 0) {
            write_disc(number++, data + start, i - start);
            start = i + marker;
            i = start - 1;
        }
    }
    write_disc(number, data + start, size - start);

    std::vector<DiscFile> discs;
    std::string error;
    if (!collect_discs({utf8_of(g_folder)}, &discs, &error))
        abort();  // the folder always holds cd1
    int32_t opened = open_count();
    int32_t live = tracked_stats().live;
    DiscSetSummary summary;
    int64_t files = 0;
    int ok = walk_disc_set(
        discs, [&](const TreeEntry& e) { files += !e.is_directory; }, &summary);
    for (const DiscDamage& d : summary.damage)
        (void)describe_damage(d, discs);
    if (ok && (!summary.damage.empty() || summary.counted_total != summary.header.total_size ||
               summary.header.disc_count != (int32_t)discs.size()))
        abort();  // called sound while it is not
    if (open_count() != opened || tracked_stats().live != live)
        abort();  // a disc file or a heap block was left behind
    return 0;
}
