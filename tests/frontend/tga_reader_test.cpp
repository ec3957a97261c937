// The TGA reader on pictures built byte by byte: types, row order, colour
// maps, run-length packets across rows, package members, and what the
// reader leaves behind when it refuses a file.
#include "file_object.h"
#include "image_buffer.h"
#include "tracked_memory.h"

#include "apkg_writer.h"
#include "test_support.h"
#include "tga_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Block bytes of row y, first n bytes.
std::string row_bytes(const ImageBuffer& b, int y, int n)
{
    return std::string((const char*)b.rows[y], (size_t)n);
}

struct TgaReader : testing::Test {
    TempDir dir;
    std::string put(const std::string& name, const std::string& content)
    {
        std::string path = dir.path(name);
        write_file(path, content);
        return path;
    }
};

// 4 x 3 pixels, 24 bits: pixel (x, y) of the picture (y = 0 is the top) is
// (10 x + y, 100 + y, 200 - x).
std::string rgb_row(int y)
{
    std::string row;
    for (int x = 0; x < 4; ++x)
        row += bytes({10 * x + y, 100 + y, 200 - x});
    return row;
}

TEST_F(TgaReader, BothRowOrdersGiveTheTopRowFirst)
{
    std::string bottom_first = tga_header(2, 4, 3, 24, 0x00) + rgb_row(2) + rgb_row(1) + rgb_row(0);
    std::string top_first = tga_header(2, 4, 3, 24, 0x20) + rgb_row(0) + rgb_row(1) + rgb_row(2);
    ImageBuffer a, b;
    ASSERT_EQ(a.load_tga(put("a.tga", bottom_first).c_str(), nullptr), 1);
    ASSERT_EQ(b.load_tga(put("b.tga", top_first).c_str(), nullptr), 1);
    EXPECT_EQ(a.width, 4);
    EXPECT_EQ(a.height, 3);
    EXPECT_EQ(a.bpp, 24);
    EXPECT_EQ(a.stride, 12);
    EXPECT_EQ(a.owns, 1);
    EXPECT_EQ(a.key, -1);
    EXPECT_EQ(a.clip.x1, 4);
    EXPECT_EQ(a.clip.y1, 3);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(row_bytes(a, y, 12), rgb_row(y)) << "row " << y;
        EXPECT_EQ(row_bytes(b, y, 12), rgb_row(y)) << "row " << y;
        EXPECT_EQ(a.rows[y], a.pixels + 12 * y);
    }
}

TEST_F(TgaReader, ColourMappedPictureDeliversItsMap)
{
    // 3 x 2, type 1, top row first: pixel data from byte 786.
    std::string file = tga_header(1, 3, 2, 8, 0x20) + tga_colour_map() + bytes({7, 8, 9, 250, 251, 252});
    std::string path = put("map.tga", file);

    std::vector<uint8_t> palette(1024, 0xEE);
    ImageBuffer b;
    ASSERT_EQ(b.load_tga(path.c_str(), palette.data()), 1);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(palette[4 * i + 0], i);
        ASSERT_EQ(palette[4 * i + 1], 255 - i);
        ASSERT_EQ(palette[4 * i + 2], i ^ 0x5A);
        ASSERT_EQ(palette[4 * i + 3], 0);
    }
    // The record keeps the same table for drawing.
    EXPECT_EQ(memcmp(b.palette, palette.data(), 1024), 0);
    EXPECT_EQ(b.stride, 4);
    EXPECT_EQ(row_bytes(b, 0, 3), bytes({7, 8, 9}));
    EXPECT_EQ(row_bytes(b, 1, 3), bytes({250, 251, 252}));

    // Without a palette buffer the same pixels are taken from byte 786.
    ImageBuffer c;
    ASSERT_EQ(c.load_tga(path.c_str(), nullptr), 1);
    EXPECT_EQ(row_bytes(c, 0, 3), bytes({7, 8, 9}));
    EXPECT_EQ(row_bytes(c, 1, 3), bytes({250, 251, 252}));
}

TEST_F(TgaReader, EightBitTrueColourTypesAlsoCarryAColourMap)
{
    // Type 2 at 8 bits: pixel data from 786 too.
    std::string raw = tga_header(2, 2, 1, 8, 0x20) + tga_colour_map() + bytes({3, 4});
    // Type 10 at 8 bits: one run packet of 2 pixels, value 5.
    std::string rle = tga_header(10, 2, 1, 8, 0x20) + tga_colour_map() + bytes({0x81, 5});
    std::vector<uint8_t> palette(1024, 0);
    ImageBuffer a, b;
    ASSERT_EQ(a.load_tga(put("t2.tga", raw).c_str(), palette.data()), 1);
    EXPECT_EQ(row_bytes(a, 0, 2), bytes({3, 4}));
    EXPECT_EQ(palette[4 * 3 + 1], 252);
    ASSERT_EQ(b.load_tga(put("t10.tga", rle).c_str(), nullptr), 1);
    EXPECT_EQ(row_bytes(b, 0, 2), bytes({5, 5}));
}

TEST_F(TgaReader, GreyPicturesStartAtByte18AndGiveTheGreyRamp)
{
    // Type 3: 2 x 2 raw; type 11: a run of 3 and a literal pixel.
    std::string raw = tga_header(3, 2, 2, 8, 0x20) + bytes({1, 2, 3, 4});
    std::string rle = tga_header(11, 2, 2, 8, 0x20) + bytes({0x82, 9, 0x00, 6});
    for (const std::string& file : {raw, rle}) {
        std::vector<uint8_t> palette(1024, 0xEE);
        ImageBuffer b;
        ASSERT_EQ(b.load_tga(put("g.tga", file).c_str(), palette.data()), 1);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(palette[4 * i], i);
            ASSERT_EQ(palette[4 * i + 1], i);
            ASSERT_EQ(palette[4 * i + 2], i);
            ASSERT_EQ(palette[4 * i + 3], 0);
        }
        if (file == raw) {
            EXPECT_EQ(row_bytes(b, 0, 2), bytes({1, 2}));
            EXPECT_EQ(row_bytes(b, 1, 2), bytes({3, 4}));
        } else {
            EXPECT_EQ(row_bytes(b, 0, 2), bytes({9, 9}));
            EXPECT_EQ(row_bytes(b, 1, 2), bytes({9, 6}));
        }
    }
}

TEST_F(TgaReader, TrueColourNeverTouchesThePaletteNorSkipsAnIdField)
{
    // ID length 2 and a colour-map description that the reader ignores: the
    // two ID bytes are taken as the first pixel's data.
    std::string h16 = tga_header(2, 2, 1, 16, 0x20);
    h16[0] = 2;
    h16[1] = 1;
    h16[5] = 0x10;
    std::string file16 = h16 + bytes({0x1F, 0x00, 0xE0, 0x03});
    std::string file32 = tga_header(10, 1, 1, 32, 0x20) + bytes({0x00, 1, 2, 3, 4});
    struct Case {
        std::string file;
        std::string row;
    } cases[] = {
        {file16, bytes({0x1F, 0x00, 0xE0, 0x03})},
        {file32, bytes({1, 2, 3, 4})},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> palette(1024, 0xEE);
        ImageBuffer b;
        ASSERT_EQ(b.load_tga(put("t.tga", c.file).c_str(), palette.data()), 1);
        EXPECT_EQ(palette, std::vector<uint8_t>(1024, 0xEE));
        EXPECT_EQ(row_bytes(b, 0, (int)c.row.size()), c.row);
    }
}

// Fills every block ImageBuffer::create makes while it lives, so that a
// test can tell the bytes a reader wrote from the ones it left alone.
struct BlockFill {
    explicit BlockFill(uint8_t byte) { image_set_block_fill(byte); }
    ~BlockFill() { image_set_block_fill(-1); }
};

TEST_F(TgaReader, StridesLeavePadBytesUnwritten)
{
    const BlockFill fill(0xCD);
    // Width 3 at 8 bits: stride 4, one pad byte per row.
    ImageBuffer a;
    ASSERT_EQ(a.load_tga(put("a.tga", tga_header(3, 3, 2, 8, 0x20) + bytes({1, 2, 3, 4, 5, 6})).c_str(), nullptr), 1);
    EXPECT_EQ(a.stride, 4);
    EXPECT_EQ(row_bytes(a, 0, 4), bytes({1, 2, 3, 0xCD}));
    EXPECT_EQ(row_bytes(a, 1, 4), bytes({4, 5, 6, 0xCD}));
    // Width 5 at 24 bits: stride 16, one pad byte per row; stored bottom
    // row first, so the rows are exchanged whole, pad bytes with them.
    std::string px;
    for (int i = 0; i < 30; ++i)
        px += (char)(i + 1);
    ImageBuffer b;
    ASSERT_EQ(b.load_tga(put("b.tga", tga_header(2, 5, 2, 24, 0x00) + px).c_str(), nullptr), 1);
    EXPECT_EQ(b.stride, 16);
    EXPECT_EQ(row_bytes(b, 0, 16), px.substr(15, 15) + bytes({0xCD}));
    EXPECT_EQ(row_bytes(b, 1, 16), px.substr(0, 15) + bytes({0xCD}));
    // Run-length rows skip their pad bytes: 3 x 2 at 8 bits, one run of 6.
    ImageBuffer c;
    ASSERT_EQ(c.load_tga(put("c.tga", tga_header(11, 3, 2, 8, 0x20) + bytes({0x85, 9})).c_str(), nullptr), 1);
    EXPECT_EQ(row_bytes(c, 0, 4), bytes({9, 9, 9, 0xCD}));
    EXPECT_EQ(row_bytes(c, 1, 4), bytes({9, 9, 9, 0xCD}));
}

TEST_F(TgaReader, RunLengthPacketsRunOnAcrossRows)
{
    // 2 x 2 at 24 bits, one run packet of 4 pixels: it fills the first row,
    // skips its 2 pad bytes (stride 8) and fills the second.
    ImageBuffer a;
    ASSERT_EQ(a.load_tga(put("a.tga", tga_header(10, 2, 2, 24, 0x20) + bytes({0x83, 1, 2, 3})).c_str(), nullptr), 1);
    EXPECT_EQ(a.stride, 8);
    EXPECT_EQ(row_bytes(a, 0, 6), bytes({1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(row_bytes(a, 1, 6), bytes({1, 2, 3, 1, 2, 3}));

    // 3 x 1 at 8 bits, type 9: a raw packet of 3 after the colour map.
    ImageBuffer b;
    std::string file = tga_header(9, 3, 1, 8, 0x20) + tga_colour_map() + bytes({0x02, 7, 8, 9});
    ASSERT_EQ(b.load_tga(put("b.tga", file).c_str(), nullptr), 1);
    EXPECT_EQ(row_bytes(b, 0, 3), bytes({7, 8, 9}));

    // 3 x 3 grey, stored bottom row first: a raw packet of 4 crossing the
    // first row end, a run of 4 crossing the second, and a raw packet of 1.
    ImageBuffer c;
    file = tga_header(11, 3, 3, 8, 0x00) + bytes({0x03, 1, 2, 3, 4, 0x83, 5, 0x00, 6});
    ASSERT_EQ(c.load_tga(put("c.tga", file).c_str(), nullptr), 1);
    EXPECT_EQ(row_bytes(c, 2, 3), bytes({1, 2, 3}));
    EXPECT_EQ(row_bytes(c, 1, 3), bytes({4, 5, 5}));
    EXPECT_EQ(row_bytes(c, 0, 3), bytes({5, 5, 6}));

    // 16 bits, run then raw within one row of 3.
    ImageBuffer d;
    file = tga_header(10, 3, 1, 16, 0x20) + bytes({0x81, 0x1F, 0x00, 0x00, 0xE0, 0x03});
    ASSERT_EQ(d.load_tga(put("d.tga", file).c_str(), nullptr), 1);
    EXPECT_EQ(row_bytes(d, 0, 6), bytes({0x1F, 0x00, 0x1F, 0x00, 0xE0, 0x03}));
}

TEST_F(TgaReader, OneBytePerPixelTypesAboveEightBits)
{
    // Type 1 at 16 bits: one byte per pixel, rows (width + 3) & ~3 apart,
    // inside a block sized for 16 bits.
    ImageBuffer b;
    std::string file = tga_header(1, 3, 2, 16, 0x20) + bytes({1, 2, 3, 4, 5, 6});
    ASSERT_EQ(b.load_tga(put("a.tga", file).c_str(), nullptr), 1);
    EXPECT_EQ(b.stride, 8);
    EXPECT_EQ(std::string((const char*)b.pixels, 3), bytes({1, 2, 3}));
    EXPECT_EQ(std::string((const char*)b.pixels + 4, 3), bytes({4, 5, 6}));
}

TEST_F(TgaReader, PictureInsideAPackage)
{
    std::string package;
    std::string error;
    std::string file = tga_header(2, 4, 3, 24, 0x20) + rgb_row(0) + rgb_row(1) + rgb_row(2);
    ASSERT_TRUE(apkg_build({{"01.TGA", file}}, &package, &error)) << error;
    write_file(dir.path("pic.apkg"), package);
    int32_t open_before = open_count();
    ImageBuffer b;
    ASSERT_EQ(b.load_tga(dir.path("pic\\01.tga").c_str(), nullptr), 1);
    EXPECT_EQ(row_bytes(b, 2, 12), rgb_row(2));
    EXPECT_EQ(open_count(), open_before);
}

TEST_F(TgaReader, ReloadingReleasesThePreviousPicture)
{
    std::string path = put("a.tga", tga_header(2, 4, 3, 24, 0x20) + rgb_row(0) + rgb_row(1) + rgb_row(2));
    ImageBuffer b;
    ASSERT_EQ(b.load_tga(path.c_str(), nullptr), 1);
    int32_t live = tracked_stats().live;
    ASSERT_EQ(b.load_tga(path.c_str(), nullptr), 1);
    EXPECT_EQ(tracked_stats().live, live);
    b.release();
    EXPECT_EQ(tracked_stats().live, live - 2);
}

// A loaded record to compare against after a refusal.
struct Snapshot {
    ImageBuffer* record;
    int32_t width, height, stride, bpp, key, owns;
    uint8_t* pixels;
    uint8_t** rows;
    std::string block;
    std::string palette;
    explicit Snapshot(ImageBuffer& b)
        : record(&b), width(b.width), height(b.height), stride(b.stride), bpp(b.bpp), key(b.key), owns(b.owns),
          pixels(b.pixels), rows(b.rows), block((const char*)b.pixels, (size_t)(b.stride * b.height)),
          palette((const char*)b.palette, 1024)
    {
    }
    void expect_unchanged() const
    {
        const ImageBuffer& b = *record;
        EXPECT_EQ(b.width, width);
        EXPECT_EQ(b.height, height);
        EXPECT_EQ(b.stride, stride);
        EXPECT_EQ(b.bpp, bpp);
        EXPECT_EQ(b.key, key);
        EXPECT_EQ(b.owns, owns);
        EXPECT_EQ(b.pixels, pixels);
        EXPECT_EQ(b.rows, rows);
        EXPECT_EQ(std::string((const char*)b.pixels, block.size()), block);
        EXPECT_EQ(std::string((const char*)b.palette, 1024), palette);
    }
};

// Damaged and refused pictures: each returns 0 and leaves the record, the
// palette buffer, the tracked memory and the open files as they were.
TEST_F(TgaReader, RefusedPicturesChangeNothing)
{
    std::string map = tga_colour_map();
    std::string px24(4 * 3 * 3, '\x11');
    struct Case {
        const char* what;
        std::string file;
    } cases[] = {
        {"depth 4", tga_header(2, 4, 3, 4, 0x20) + px24},
        {"type 0", tga_header(0, 4, 3, 24, 0x20) + px24},
        {"type 4", tga_header(4, 4, 3, 24, 0x20) + px24},
        {"type 32", tga_header(32, 4, 3, 24, 0x20) + px24},
        {"empty file", ""},
        {"header cut at 17 bytes", tga_header(2, 4, 3, 24, 0x20).substr(0, 17)},
        {"colour map cut short", tga_header(1, 1, 1, 8, 0x20) + map.substr(0, 700)},
        {"colour map but no pixel", tga_header(1, 1, 1, 8, 0x20) + map},
        // 36 pixel bytes needed, 35 present.
        {"raw rows one byte short", tga_header(2, 4, 3, 24, 0x20) + px24.substr(1)},
        {"grey rows one byte short", tga_header(3, 4, 4, 8, 0x00) + std::string(15, '\x01')},
        // 4 pixels: a literal packet of 2 (6 bytes) then nothing more.
        {"packets end before the last row", tga_header(10, 2, 2, 24, 0x20) + bytes({0x01, 1, 2, 3, 4, 5, 6})},
        {"run packet cut inside its pixel", tga_header(10, 2, 2, 24, 0x20) + bytes({0x83, 1, 2})},
        {"literal packet cut short", tga_header(10, 2, 2, 24, 0x20) + bytes({0x03, 1, 2, 3, 4, 5, 6, 7})},
        // 4 pixels but the run covers 5: it would write past the last row.
        {"run past the last row", tga_header(10, 2, 2, 24, 0x20) + bytes({0x84, 1, 2, 3})},
        {"literal past the last row", tga_header(11, 2, 1, 8, 0x20) + bytes({0x02, 1, 2, 3})},
        {"run past the last row after a first packet", tga_header(9, 3, 1, 8, 0x20) + map + bytes({0x00, 1, 0xFF, 2})},
        // 65535 x 65535 at 32 bits: a 16 GiB block.
        {"block too large", tga_header(2, 65535, 65535, 32, 0x20) + px24},
        // 16384 x 4096 at 8 bits is 64 MiB of pixels; run-length data for
        // it need at least 2 bytes per 128 pixels, far more than present.
        {"run-length data too short for the size", tga_header(11, 16384, 4096, 8, 0x20) + bytes({0xFF, 1, 0xFF, 2})},
    };

    // The record holds a picture already; the refusals must keep it.
    std::vector<uint8_t> palette(1024, 0xEE);
    ImageBuffer b;
    std::string good = tga_header(1, 3, 2, 8, 0x20) + map + bytes({7, 8, 9, 250, 251, 252});
    ASSERT_EQ(b.load_tga(put("good.tga", good).c_str(), nullptr), 1);
    Snapshot kept(b);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = put("bad.tga", c.file);
        TrackedStats before = tracked_stats();
        int32_t open_before = open_count();
        EXPECT_EQ(b.load_tga(path.c_str(), palette.data()), 0);
        EXPECT_EQ(tracked_stats().live, before.live);
        EXPECT_EQ(open_count(), open_before);
        EXPECT_EQ(palette, std::vector<uint8_t>(1024, 0xEE));
        kept.expect_unchanged();
        // Nothing near the claimed size was allocated for a short file.
        EXPECT_LT(tracked_stats().bytes_allocated - before.bytes_allocated, 1 << 20);
    }

    // A missing file, and a missing member of an existing package.
    write_file(dir.path("pic.apkg"), std::string());
    for (const std::string& path : {dir.path("none.tga"), dir.path("pic\\02.tga")}) {
        int32_t live = tracked_stats().live;
        int32_t open_before = open_count();
        EXPECT_EQ(b.load_tga(path.c_str(), palette.data()), 0);
        EXPECT_EQ(tracked_stats().live, live);
        EXPECT_EQ(open_count(), open_before);
        kept.expect_unchanged();
    }
}

// Sizes that the header allows and that must neither hang nor overflow.
TEST_F(TgaReader, DegenerateSizesDecodeNothing)
{
    struct Case {
        const char* what;
        std::string file;
        int width, height, stride;
    } cases[] = {
        {"width 0, run-length", tga_header(10, 0, 50, 24, 0x20) + bytes({0x83, 1, 2, 3}), 0, 50, 0},
        {"width 0, raw", tga_header(2, 0, 3, 24, 0x00), 0, 3, 0},
        {"height 0", tga_header(11, 7, 0, 8, 0x00) + bytes({0x83, 1}), 7, 0, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int32_t live = tracked_stats().live;
        {
            ImageBuffer b;
            ASSERT_EQ(b.load_tga(put("z.tga", c.file).c_str(), nullptr), 1);
            EXPECT_EQ(b.width, c.width);
            EXPECT_EQ(b.height, c.height);
            EXPECT_EQ(b.stride, c.stride);
        }
        EXPECT_EQ(tracked_stats().live, live);
    }
}

TEST_F(TgaReader, TrailingBytesAreIgnored)
{
    std::string footer = std::string(8, '\0') + "TRUEVISION-XFILE." + std::string(1, '\0');
    ImageBuffer b;
    std::string file = tga_header(10, 2, 2, 24, 0x20) + bytes({0x83, 1, 2, 3}) + footer;
    ASSERT_EQ(b.load_tga(put("f.tga", file).c_str(), nullptr), 1);
    EXPECT_EQ(row_bytes(b, 1, 6), bytes({1, 2, 3, 1, 2, 3}));
}

}  // namespace
