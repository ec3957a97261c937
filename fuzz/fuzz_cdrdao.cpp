// Fuzz target: the cdrdao .toc reader on the input as the sheet's text. An
// accepted sheet names a file and gives sectors holding 2048 bytes of data
// at their offset.
#include "cdrdao_image.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text((const char*)data, size), error;
    CdrdaoDataTrack t;
    if (parse_cdrdao_sheet(text, &t, &error)) {
        if (t.file.empty() || t.raw.data_offset + 2048 > t.raw.stride || (t.mode != 1 && t.mode != 2))
            abort();
    } else if (error.empty()) {
        abort();
    }
    return 0;
}
