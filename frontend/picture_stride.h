// The row pitch of a picture in memory: (width x bpp) / 8 bytes rounded up
// to a multiple of 4, as the platform's uncompressed bitmaps lay rows out.
// Computed in 64 bits so that no header can wrap it.
#pragma once

#include <cstdint>

inline int64_t picture_stride(int64_t width, int64_t bpp)
{
    return ((width * bpp) / 8 + 3) & ~int64_t(3);
}
