// Pictures in memory: the ImageBuffer record with its row table and clip
// rectangle, and the TGA reader that fills it. Portable code: tracked memory
// and file objects only, no window system.
#pragma once

#include <cstdint>

// Bytes in a colour table: 256 entries of blue, green, red, 0 (the order of
// the platform's RGBQUAD), as load_tga delivers it and drawing expects it.
constexpr int32_t kPaletteBytes = 1024;

// Clip rectangle in the order of the platform RECT; x0, y0 inclusive,
// x1, y1 exclusive.
struct ImageClip {
    int32_t x0;
    int32_t y0;
    int32_t x1;
    int32_t y1;
};

// A picture: `height` rows of `stride` bytes, top row first, each pixel in
// the platform's uncompressed bitmap layout (8 bits: palette index; 16 bits:
// 5-5-5 word, blue lowest; 24 bits: blue, green, red; 32 bits: blue, green,
// red and a fourth byte).
//
// Colours of an 8-bit picture: the record carries its own colour table,
// `palette`, which draw_image hands to the platform with every drawing of an
// 8-bit record. ImageBuffer::create fills it with the grey ramp (i, i, i, 0);
// load_tga replaces it with the file's colour map (types 1, 2, 9, 10 at
// 8 bits) or the grey ramp (types 3, 11), whether or not the caller asked for
// a copy of it. A caller that wants other colours writes the table itself.
struct ImageBuffer {
    int32_t width;
    int32_t height;
    int32_t stride;  // ((width * bpp) / 8 + 3) with the low two bits cleared
    int32_t bpp;
    int32_t key;  // -1 after create; read by nothing
    ImageClip clip;
    uint8_t* pixels;                 // the pixel block; null when the record holds none
    uint8_t** rows;                  // `height` row pointers into `pixels`; null when none
    int32_t owns;                    // 1 when the record allocated `pixels` and frees it
    uint8_t palette[kPaletteBytes];  // colour table of an 8-bit picture

    // Every field 0, both pointers null.
    ImageBuffer();
    // Releases the record when it owns its block; a record that adopted a
    // caller's block frees nothing (its row table stays until release).
    ~ImageBuffer();
    // A record owns memory: it is exchanged, never copied.
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    // Sets every field for a width x height picture of bpp bits; adopts
    // `block` (owns 0) or, when it is null, allocates an uncleared block of
    // stride x height bytes (owns 1); builds the row table, freeing the old
    // table but not an old block. A negative size, fewer than 8 bits per
    // pixel, or a block or row table that would not fit in 2 GiB makes an
    // empty 0 x 0 picture instead: no block (a caller's is not adopted), no
    // row table, nothing to draw.
    void create(int32_t width, int32_t height, int32_t bpp, uint8_t* block);
    // Replaces the row table: entry i points at pixels + i x stride.
    void build_rows();
    // Frees an owned block and the row table; clears `pixels`, `rows` and
    // `owns` so nothing can draw from freed memory. Sizes keep their values.
    // Releasing an empty or released record does nothing.
    void release();
    // Reverses the order of the rows in place through one temporary row.
    void flip_rows();
    // Writes the bpp / 8 low-order bytes of `colour`, least significant
    // first, at (x, y) when the point lies inside both `clip` and the
    // picture; otherwise writes nothing.
    void put_pixel(int32_t x, int32_t y, uint32_t colour);
    // Exchanges the contents of two records.
    void swap(ImageBuffer& other);

    // Reads a TGA picture (types 1, 2, 3, 9, 10, 11; 8 bits or more) through
    // FileObject::open_read, so a picture may be a package member. On
    // success returns 1: the record holds the picture top row first (an
    // owned block it held before is released) and, for an 8-bit picture,
    // `palette_out` (1024 bytes, may be null) receives its colour table.
    // A missing file, a refused type or depth, or a damaged file (too short
    // for what its header describes, a run that goes past the last row, a
    // picture over kMaxPicturePixelBytes) returns 0 and changes nothing:
    // the record, the palette buffer and the tracked memory are as before,
    // and the file is closed again.
    int load_tga(const char* path, uint8_t* palette_out);
};

// For tests: every block ImageBuffer::create allocates from now on is filled
// with `byte` (0 to 255), so a test can tell which bytes a reader wrote; -1,
// the default, leaves blocks as the heap hands them out (they are never
// cleared otherwise).
void image_set_block_fill(int32_t byte);

// The largest pixel block load_tga accepts (a 4096 x 4096, 32-bit picture).
constexpr int64_t kMaxPicturePixelBytes = int64_t(64) << 20;
