// Fuzz target: the Alcohol .mds reader on the input as the descriptor's
// bytes. An accepted descriptor gives a data track whose sectors hold 2048
// bytes of data at their offset, and a file name beside the descriptor.
#include "alcohol_image.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes((const char*)data, size), error;
    AlcoholDataTrack t;
    if (parse_alcohol_descriptor(bytes, &t, &error)) {
        if (t.data_offset + 2048 > t.stride || t.sectors == 0 || (t.mode != 1 && t.mode != 2) || t.file.empty() ||
            t.file.find_first_of("/\\") != std::string::npos)
            abort();
    } else if (error.empty()) {
        abort();
    }
    return 0;
}
