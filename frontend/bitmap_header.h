// The header that describes a picture to the platform's drawing call. Laid
// out as the platform's BITMAPINFOHEADER (40 bytes, little-endian) and
// defined here without the platform's headers so the portable code and its
// tests can build and inspect it; the drawing code checks that the two
// layouts agree.
#pragma once

#include <cstdint>

struct BitmapHeader {
    uint32_t biSize;  // 40
    int32_t biWidth;
    int32_t biHeight;   // negative: the first row in memory is the top row
    uint16_t biPlanes;  // 1
    uint16_t biBitCount;
    uint32_t biCompression;  // 0: uncompressed
    uint32_t biSizeImage;    // stride x height
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BitmapHeader) == 40, "BitmapHeader must match the platform layout");

// Bytes of the block make_bitmap_header allocates: the header, and for an
// 8-bit picture room for 256 colour-table entries of 4 bytes behind it.
constexpr int32_t kBitmapHeaderBytes = 40;
constexpr int32_t kBitmapHeaderWithTableBytes = 40 + 256 * 4;

// Allocates (tracked_alloc) and fills a header for a width x height picture
// of bpp bits and stores it through `out`; the caller frees it with
// tracked_free. The colour table of an 8-bit header is zeroed. A block size
// that does not fit 32 bits is given as 0, which the platform accepts for
// uncompressed bitmaps. Returns 1, or 0 with null stored when no memory
// could be had.
int make_bitmap_header(BitmapHeader** out, int32_t width, int32_t height, int32_t bpp);
// The colour table of a header made for 8 bits.
inline uint8_t* bitmap_colour_table(BitmapHeader* header)
{
    return (uint8_t*)header + kBitmapHeaderBytes;
}
