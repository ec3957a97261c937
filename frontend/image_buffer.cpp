#include "image_buffer.h"

#include "picture_stride.h"
#include "tracked_memory.h"

#include <cstring>
#include <utility>

ImageBuffer::ImageBuffer()
    : width(0), height(0), stride(0), bpp(0), key(0), clip{0, 0, 0, 0}, pixels(nullptr), rows(nullptr),
      owns(0), palette{}
{
}

ImageBuffer::~ImageBuffer()
{
    if (owns == 1) {
        release();
        owns = 0;
    }
}

namespace {

// Byte that fills every block create() allocates; -1: none (see
// image_set_block_fill).
int32_t g_block_fill = -1;

// The stride and block size of a width x height picture of bpp bits, when
// such a picture can be held: no negative size, at least 8 bits per pixel
// (below that the platform lays rows out in ways the stride rule does not
// describe, and its drawing call would read a colour table that follows no
// header of ours), and a block and a row table that each fit in 2 GiB. The
// products are formed so that nothing can wrap, whatever the arguments.
int picture_layout(int32_t width, int32_t height, int32_t bpp, int64_t* stride, int64_t* bytes)
{
    if (width < 0 || height < 0 || bpp < 8)
        return 0;
    // Both factors are below 2^31: the product fits 64 bits.
    int64_t row = picture_stride(width, bpp);
    if (row > INT32_MAX)
        return 0;
    if (row > 0 && height > INT32_MAX / row)
        return 0;
    // A picture of no width still has `height` row pointers.
    if ((int64_t)height > (int64_t)INT32_MAX / (int64_t)sizeof(uint8_t*))
        return 0;
    *stride = row;
    *bytes = row * height;
    return 1;
}

}  // namespace

void image_set_block_fill(int32_t byte)
{
    g_block_fill = byte >= 0 && byte <= 255 ? byte : -1;
}

void ImageBuffer::create(int32_t new_width, int32_t new_height, int32_t new_bpp, uint8_t* block)
{
    int64_t new_stride = 0;
    int64_t bytes = 0;
    const int fits = picture_layout(new_width, new_height, new_bpp, &new_stride, &bytes);
    if (!fits) {
        // No such picture: an empty one, holding no block, rather than a
        // wrapped size. A caller's block stays the caller's.
        new_width = new_height = 0;
        new_stride = 0;
    }
    width = new_width;
    height = new_height;
    bpp = new_bpp;
    stride = (int32_t)new_stride;
    key = -1;
    clip = ImageClip{0, 0, width, height};
    for (int i = 0; i < 256; ++i) {
        palette[4 * i + 0] = palette[4 * i + 1] = palette[4 * i + 2] = (uint8_t)i;
        palette[4 * i + 3] = 0;
    }
    if (!fits) {
        pixels = nullptr;
        owns = 0;
        if (rows) {
            tracked_free(rows);
            rows = nullptr;
        }
        return;
    }
    if (block) {
        pixels = block;
        owns = 0;
    } else {
        pixels = (uint8_t*)tracked_alloc((size_t)bytes);
        owns = 1;
        if (g_block_fill >= 0)
            memset(pixels, g_block_fill, (size_t)bytes);
    }
    build_rows();
}

void ImageBuffer::build_rows()
{
    if (rows)
        tracked_free(rows);
    int32_t count = height > 0 ? height : 0;
    rows = (uint8_t**)tracked_alloc(sizeof(uint8_t*) * (size_t)count);
    for (int32_t i = 0; i < count; ++i)
        rows[i] = pixels ? pixels + (int64_t)i * stride : nullptr;
}

void ImageBuffer::release()
{
    if (owns == 1) {
        tracked_free(pixels);
        owns = 0;
    }
    // An adopted block stays with its owner, but the record no longer
    // refers to it either way.
    pixels = nullptr;
    if (rows) {
        tracked_free(rows);
        rows = nullptr;
    }
}

void ImageBuffer::flip_rows()
{
    if (stride <= 0)
        return;
    uint8_t* spare = (uint8_t*)tracked_alloc((size_t)stride);
    if (pixels) {
        for (int32_t i = 0; i < height - 1 - i; ++i) {
            uint8_t* upper = pixels + (int64_t)i * stride;
            uint8_t* lower = pixels + (int64_t)(height - 1 - i) * stride;
            memcpy(spare, upper, (size_t)stride);
            memcpy(upper, lower, (size_t)stride);
            memcpy(lower, spare, (size_t)stride);
        }
    }
    tracked_free(spare);
}

void ImageBuffer::put_pixel(int32_t x, int32_t y, uint32_t colour)
{
    int32_t size = bpp / 8;
    if (size < 1 || !rows || !pixels)
        return;
    if (x < clip.x0 || x >= clip.x1 || y < clip.y0 || y >= clip.y1)
        return;
    // The clip rectangle may be set from outside: the picture's own bounds
    // hold as well.
    if (x < 0 || x >= width || y < 0 || y >= height)
        return;
    uint8_t* at = rows[y] + (int64_t)x * size;
    for (int32_t i = 0; i < size; ++i)
        at[i] = i < 4 ? (uint8_t)(colour >> (8 * i)) : 0;
}

void ImageBuffer::swap(ImageBuffer& other)
{
    std::swap(width, other.width);
    std::swap(height, other.height);
    std::swap(stride, other.stride);
    std::swap(bpp, other.bpp);
    std::swap(key, other.key);
    std::swap(clip, other.clip);
    std::swap(pixels, other.pixels);
    std::swap(rows, other.rows);
    std::swap(owns, other.owns);
    uint8_t spare[kPaletteBytes];
    memcpy(spare, palette, sizeof spare);
    memcpy(palette, other.palette, sizeof spare);
    memcpy(other.palette, spare, sizeof spare);
}
