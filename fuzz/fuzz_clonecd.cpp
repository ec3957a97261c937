// Fuzz target: the CloneCD .ccd reader on the input as the sheet's text.
// An accepted sheet gives a data track of mode 1 or 2 with sectors; a
// refused one says why.
#include "clonecd_image.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text((const char*)data, size), error;
    CloneCdDataTrack t;
    if (parse_clonecd_sheet(text, &t, &error)) {
        if ((t.mode != 1 && t.mode != 2) || t.sectors == 0 || t.number < 1 || t.number > 99)
            abort();
    } else if (error.empty()) {
        abort();
    }
    return 0;
}
