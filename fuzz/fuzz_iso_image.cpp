// Fuzz target: the ISO 9660 reader of disc images (volume descriptors and
// directory records) on an image made from the input. The input is the
// image from sector 16 on (the first 16 sectors are zero, as on most
// discs), so a few KiB of input reach the descriptors and the folders. The
// image is opened with the Joliet tree first and with the primary tree
// first; every folder reached is listed and the first files are read whole.
// Whatever the bytes, the reader must stay inside its buffers and end.
#include "fuzz_support.h"
#include "image_limits.h"
#include "image_volume.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kDepth = 8;      // folders below the root walked (the readers allow kMaxFolderDepth)
const int kFilesRead = 4;  // files read whole

struct Walk {
    fs::path image;
    iso_extension_mask_t extensions;
    int files_read = 0;
    int folders = 0;
};

void read_file(Walk* w, const ImageFolderEntry& e)
{
    ImageVolume v;
    std::string error;
    fuzz_check(open_image_volume(w->image, &v, &error, w->extensions) == 1);  // it opened a moment ago
    FILE* f = open_extent_stream(&v, e.lsn, e.size, e.name, &error);
    fuzz_check(f != nullptr);
    char buffer[4096];
    uint64_t total = 0;
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        total += n;
    fuzz_check(total <= e.size);
    fclose(f);
}

void walk(Walk* w, const ImageVolume& v, uint64_t lsn, uint32_t size, int depth)
{
    std::vector<ImageFolderEntry> entries;
    std::string error;
    if (++w->folders > 64 || !read_image_folder(v, lsn, size, "a folder", &entries, &error)) {
        return;
    }
    for (const ImageFolderEntry& e : entries) {
        fuzz_check(!e.name.empty() && e.name.find('/') == std::string::npos);
        if (e.is_directory && depth < kDepth)
            walk(w, v, e.lsn, e.size, depth + 1);
        else if (!e.is_directory && w->files_read < kFilesRead && extent_end_sector(e.lsn, e.size) <= v.sectors) {
            ++w->files_read;
            read_file(w, e);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fs::path image = fs::path(fuzz_folder("iso-image")) / "image.iso";
    std::string bytes(16 * 2048, '\0');
    bytes.append((const char*)data, size);
    fuzz_write_host(image.string(), bytes);
    for (iso_extension_mask_t extensions : {ISO_EXTENSION_ALL, ISO_EXTENSION_NONE}) {
        ImageVolume v;
        std::string error;
        if (!open_image_volume(image, &v, &error, extensions)) {
            fuzz_check(!error.empty());
            continue;
        }
        fuzz_check(v.root_size > 0 && v.root_size <= kMaxImageDirectoryBytes);
        fuzz_check(extent_end_sector(v.root_lsn, v.root_size) <= v.sectors);
        Walk w{image, extensions};
        walk(&w, v, v.root_lsn, v.root_size, 0);
        v.release();
    }
    return 0;
}
