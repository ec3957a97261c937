// Fuzz target: the Nero .nrg reader on the input as a whole image (its
// last bytes hold the footer and chunks). An accepted image gives a data
// track of whole sectors that lies before the chunks.
#include "nero_image.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes((const char*)data, size), error;
    NeroDataTrack t;
    if (parse_nero_tail(bytes, size, &t, &error)) {
        const RawTrack& r = t.raw;
        if (r.sectors == 0 || r.data_offset + 2048 > r.stride || r.first_byte + r.sectors * r.stride > size ||
            (t.mode != 1 && t.mode != 2))
            abort();
    } else if (error.empty()) {
        abort();
    }
    return 0;
}
