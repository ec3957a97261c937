// load_tga: reads a whole TGA file into memory with one read, checks that
// everything its header describes lies inside the file and fits the pixel
// block, and decodes into a fresh record that replaces the caller's only on
// success.
#include "image_buffer.h"

#include "byte_order.h"
#include "file_object.h"
#include "picture_stride.h"
#include "tga_format.h"
#include "tracked_memory.h"

#include <cstring>

namespace {

// A picture file may be larger than its pixel block by the run-length
// overhead (at worst one count byte per pixel) and trailing data.
constexpr int64_t kMaxPictureFileBytes = 2 * kMaxPicturePixelBytes + (int64_t(1) << 20);

// What the header says, with every size the decoder needs, in 64 bits.
struct TgaLayout {
    uint8_t type;
    int64_t width;
    int64_t height;
    int32_t depth;
    uint8_t descriptor;
    int64_t data_offset;  // first byte of the pixel data
    int64_t pixel_bytes;  // bytes per pixel taken from the file
    int64_t file_row;     // bytes of one row in the file (raw types)
    int64_t block_pitch;  // bytes between decoded rows in the block
    int64_t block_bytes;  // stride x height of the picture
    bool run_length;
    bool colour_map;  // 8 bits, types 1, 2, 9, 10
};

// Reads and checks the header against the file length. 1 when the picture
// can be decoded without reading outside `size` bytes or writing outside
// block_bytes; 0 otherwise.
int read_layout(const uint8_t* data, int64_t size, TgaLayout* out)
{
    if (size < tga::kHeaderBytes)
        return 0;
    TgaLayout l{};
    l.type = data[tga::kImageType];
    l.width = get_le16(data + tga::kWidth);
    l.height = get_le16(data + tga::kHeight);
    l.depth = data[tga::kDepth];
    l.descriptor = data[tga::kDescriptor];
    if (l.depth < 8)
        return 0;
    bool one_byte = false;
    switch (l.type) {
    case tga::kMappedRaw:
    case tga::kGreyRaw:
        one_byte = true;
        break;
    case tga::kMappedRle:
    case tga::kGreyRle:
        one_byte = true;
        l.run_length = true;
        break;
    case tga::kTrueColourRaw:
        break;
    case tga::kTrueColourRle:
        l.run_length = true;
        break;
    default:
        return 0;
    }
    l.colour_map = l.depth == 8 && l.type != tga::kGreyRaw && l.type != tga::kGreyRle;
    l.data_offset = l.colour_map ? tga::kMappedDataOffset : tga::kHeaderBytes;
    if (size < l.data_offset)
        return 0;

    l.pixel_bytes = one_byte ? 1 : l.depth / 8;
    // Colour-mapped and grey rows hold one byte per pixel whatever the
    // depth; true-colour rows hold (width x depth) / 8 bytes.
    l.file_row = one_byte ? l.width : (l.run_length ? l.pixel_bytes * l.width : (l.width * l.depth) / 8);
    l.block_pitch = (l.file_row + 3) & ~int64_t(3);
    l.block_bytes = picture_stride(l.width, l.depth) * l.height;
    if (l.block_bytes > kMaxPicturePixelBytes || l.block_pitch * l.height > l.block_bytes)
        return 0;

    int64_t available = size - l.data_offset;
    if (l.run_length) {
        // Every packet covers at most 128 pixels and takes at least a count
        // byte and one pixel: a file too short for that is refused before
        // any block is allocated for it.
        int64_t pixels = l.width * l.height;
        int64_t packets = (pixels + tga::kMaxPacketPixels - 1) / tga::kMaxPacketPixels;
        if (available / (1 + l.pixel_bytes) < packets)
            return 0;
    } else if (available < l.file_row * l.height) {
        return 0;
    }
    *out = l;
    return 1;
}

// Copies `height` packed rows into the block, each block_pitch bytes apart.
void decode_raw(const TgaLayout& l, const uint8_t* data, uint8_t* block)
{
    const uint8_t* from = data + l.data_offset;
    for (int64_t y = 0; y < l.height; ++y)
        memcpy(block + y * l.block_pitch, from + y * l.file_row, (size_t)l.file_row);
}

// Decodes run-length packets until every pixel of every row is written.
// Packets run on across row ends (the pad bytes of each row are skipped).
// 0 when the data end inside a packet or before the last row, or when a
// packet holds more pixels than the picture has left.
int decode_run_length(const TgaLayout& l, const uint8_t* data, int64_t size, uint8_t* block)
{
    const int64_t p = l.pixel_bytes;
    const int64_t total = l.width * l.height;
    int64_t done = 0;
    int64_t x = 0;
    uint8_t* row = block;
    int64_t at = l.data_offset;
    while (done < total) {
        if (at >= size)
            return 0;
        uint8_t count_byte = data[at++];
        int64_t count = (count_byte & 0x7F) + 1;
        if (count > total - done)
            return 0;
        bool run = (count_byte & tga::kRunPacket) != 0;
        int64_t packet_data = run ? p : count * p;
        if (size - at < packet_data)
            return 0;
        const uint8_t* from = data + at;
        at += packet_data;
        done += count;
        while (count > 0) {
            int64_t piece = l.width - x < count ? l.width - x : count;
            uint8_t* to = row + x * p;
            if (!run) {
                memcpy(to, from, (size_t)(piece * p));
                from += piece * p;
            } else if (p == 1) {
                memset(to, from[0], (size_t)piece);
            } else {
                for (int64_t i = 0; i < piece; ++i)
                    memcpy(to + i * p, from, (size_t)p);
            }
            count -= piece;
            x += piece;
            if (x == l.width) {
                x = 0;
                row += l.block_pitch;
            }
        }
    }
    return 1;
}

// Decodes the file bytes into `picture` (a fresh record). 1 / 0.
int decode_tga(const uint8_t* data, int64_t size, ImageBuffer* picture)
{
    TgaLayout l;
    if (!read_layout(data, size, &l))
        return 0;
    picture->create((int32_t)l.width, (int32_t)l.height, l.depth, nullptr);
    if (l.colour_map) {
        const uint8_t* map = data + tga::kHeaderBytes;
        for (int i = 0; i < tga::kColourMapEntries; ++i) {
            picture->palette[4 * i + 0] = map[3 * i + 0];
            picture->palette[4 * i + 1] = map[3 * i + 1];
            picture->palette[4 * i + 2] = map[3 * i + 2];
            picture->palette[4 * i + 3] = 0;
        }
    }
    if (l.width > 0 && l.height > 0) {
        if (!l.run_length)
            decode_raw(l, data, picture->pixels);
        else if (!decode_run_length(l, data, size, picture->pixels))
            return 0;
    }
    // The block always holds the top row first.
    if (!(l.descriptor & tga::kTopRowFirst))
        picture->flip_rows();
    return 1;
}

}  // namespace

int ImageBuffer::load_tga(const char* path, uint8_t* palette_out)
{
    FileObject file;
    if (!file.open_read(path))
        return 0;
    int32_t size = file.size();
    if (size < tga::kHeaderBytes || size > kMaxPictureFileBytes) {
        file.close();
        return 0;
    }
    uint8_t* data = (uint8_t*)tracked_alloc((size_t)size);
    int32_t got = file.read(data, size);
    file.close();

    ImageBuffer picture;
    int ok = got == size && decode_tga(data, size, &picture);
    tracked_free(data);
    if (!ok)
        return 0;  // `picture` frees what it allocated

    if (palette_out && picture.bpp == 8)
        memcpy(palette_out, picture.palette, kPaletteBytes);
    // The new picture replaces the old one, which is released first so a
    // reload never leaks an owned block.
    release();
    swap(picture);
    return 1;
}
