// The picture record: sizes and strides, adopted and owned blocks, release,
// the row flip, clipped pixel writes, and the bitmap header.
#include "bitmap_header.h"
#include "image_buffer.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

int32_t live_blocks()
{
    return tracked_stats().live;
}

TEST(ImageBuffer, ConstructionZeroesEveryField)
{
    ImageBuffer b;
    EXPECT_EQ(b.width, 0);
    EXPECT_EQ(b.height, 0);
    EXPECT_EQ(b.stride, 0);
    EXPECT_EQ(b.bpp, 0);
    EXPECT_EQ(b.key, 0);
    EXPECT_EQ(b.clip.x0 | b.clip.y0 | b.clip.x1 | b.clip.y1, 0);
    EXPECT_EQ(b.pixels, nullptr);
    EXPECT_EQ(b.rows, nullptr);
    EXPECT_EQ(b.owns, 0);
}

TEST(ImageBuffer, CreateSetsStrideClipKeyAndRows)
{
    struct Case {
        int32_t width, height, bpp, stride;
    } cases[] = {
        {3, 2, 8, 4},                     // 3 picture bytes and one pad byte
        {5, 3, 24, 16},                   // 15 bytes rounded up
        {4, 1, 8, 4},                     // already a multiple of 4
        {1, 1, 16, 4},                    // the progress bar's pixel
        {7, 2, 32, 28}, {10, 1, 15, 20},  // (10 x 15) / 8 = 18, rounded up
        {0, 4, 24, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bpp);
        int32_t before = live_blocks();
        {
            ImageBuffer b;
            b.create(c.width, c.height, c.bpp, nullptr);
            EXPECT_EQ(b.stride, c.stride);
            EXPECT_EQ(b.width, c.width);
            EXPECT_EQ(b.height, c.height);
            EXPECT_EQ(b.bpp, c.bpp);
            EXPECT_EQ(b.key, -1);
            EXPECT_EQ(b.clip.x0, 0);
            EXPECT_EQ(b.clip.y0, 0);
            EXPECT_EQ(b.clip.x1, c.width);
            EXPECT_EQ(b.clip.y1, c.height);
            EXPECT_EQ(b.owns, 1);
            ASSERT_NE(b.pixels, nullptr);
            for (int32_t i = 0; i < c.height; ++i)
                EXPECT_EQ(b.rows[i], b.pixels + i * c.stride);
            // Every byte of the block is writable (the ASan build of the
            // unit tests reports a write past it).
            memset(b.pixels, 0xAB, (size_t)c.stride * (size_t)c.height);
            // The default colour table is the grey ramp.
            EXPECT_EQ(b.palette[4 * 200 + 0], 200);
            EXPECT_EQ(b.palette[4 * 200 + 2], 200);
            EXPECT_EQ(b.palette[4 * 200 + 3], 0);
            EXPECT_EQ(live_blocks(), before + 2);  // block and row table
        }
        EXPECT_EQ(live_blocks(), before);
    }
}

TEST(ImageBuffer, ImpossibleSizesGiveAnEmptyPicture)
{
    struct Case {
        int32_t width, height, bpp;
        const char* why;
    } cases[] = {
        {-1, 5, 24, "negative width"},
        {5, -3, 24, "negative height"},
        {65535, 65535, 32, "a 16 GiB block"},
        {INT32_MAX, 2, 32, "a stride beyond 2 GiB"},
        // stride 0x07FFFFFFE0000000 x 32 rows wraps 64 bits to a negative size.
        {INT32_MAX, 32, INT32_MAX, "stride x height beyond 64 bits"},
        // No width, so no block: but 2^31 - 1 row pointers, and 0x40000001
        // of them, whose table size wraps a 32-bit size_t to 4 bytes.
        {0, INT32_MAX, 24, "a row table beyond 2 GiB"},
        {0, 0x40000001, 8, "a row table whose size wraps 32 bits"},
        // Below 8 bits the platform lays pixels out in a way the stride
        // does not describe.
        {4, 1, 4, "4 bits per pixel"},
        {8, 2, 1, "1 bit per pixel"},
        {3, 3, 0, "0 bits per pixel"},
    };
    int32_t before = live_blocks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        for (bool given : {false, true}) {
            uint8_t block[64] = {};
            ImageBuffer b;
            b.create(c.width, c.height, c.bpp, given ? block : nullptr);
            EXPECT_EQ(b.width, 0);
            EXPECT_EQ(b.height, 0);
            EXPECT_EQ(b.stride, 0);
            EXPECT_EQ(b.clip.x1 | b.clip.y1, 0);
            // Nothing to draw from and nothing to write into; a caller's
            // block is not taken on for a picture that cannot be held.
            EXPECT_EQ(b.pixels, nullptr);
            EXPECT_EQ(b.rows, nullptr);
            EXPECT_EQ(b.owns, 0);
            EXPECT_EQ(live_blocks(), before);
            b.put_pixel(0, 0, 0xFFFFFFFF);
            EXPECT_EQ(block[0], 0);
            b.release();
        }
    }
    // Created again from an empty picture, a record is whole.
    ImageBuffer b;
    b.create(4, 1, 4, nullptr);
    b.create(4, 1, 8, nullptr);
    EXPECT_EQ(b.stride, 4);
    ASSERT_NE(b.rows, nullptr);
    EXPECT_EQ(b.rows[0], b.pixels);
    b.release();
    EXPECT_EQ(live_blocks(), before);
}

TEST(ImageBuffer, AdoptedBlockStaysWithTheCaller)
{
    uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    int32_t before = live_blocks();
    uint8_t** rows = nullptr;
    {
        ImageBuffer b;
        b.create(2, 2, 16, block);
        EXPECT_EQ(b.owns, 0);
        EXPECT_EQ(b.pixels, block);
        EXPECT_EQ(b.rows[1], block + 4);
        b.put_pixel(1, 1, 0xBEEF);
        rows = b.rows;
    }
    // Destruction freed neither the block nor the row table.
    EXPECT_EQ(block[6], 0xEF);
    EXPECT_EQ(block[7], 0xBE);
    EXPECT_EQ(live_blocks(), before + 1);
    tracked_free(rows);
    EXPECT_EQ(live_blocks(), before);

    // Released, the adopting record drops its table and no longer points at
    // the caller's block, which keeps its contents.
    ImageBuffer b;
    b.create(2, 2, 16, block);
    b.release();
    EXPECT_EQ(b.pixels, nullptr);
    EXPECT_EQ(b.rows, nullptr);
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(live_blocks(), before);
}

TEST(ImageBuffer, ReleaseFreesClearsAndCanBeRepeated)
{
    int32_t before = live_blocks();
    ImageBuffer b;
    b.release();  // empty: nothing happens
    EXPECT_EQ(live_blocks(), before);

    b.create(6, 4, 24, nullptr);
    b.release();
    EXPECT_EQ(live_blocks(), before);
    EXPECT_EQ(b.owns, 0);
    EXPECT_EQ(b.pixels, nullptr);
    EXPECT_EQ(b.rows, nullptr);
    // Sizes keep their values.
    EXPECT_EQ(b.width, 6);
    EXPECT_EQ(b.height, 4);
    EXPECT_EQ(b.stride, 20);
    EXPECT_EQ(b.clip.x1, 6);

    b.release();  // a second release does nothing more
    EXPECT_EQ(live_blocks(), before);
    b.put_pixel(0, 0, 1);  // no block: nothing written, no crash

    // Created again after a release.
    b.create(2, 2, 8, nullptr);
    EXPECT_EQ(live_blocks(), before + 2);
    b.release();
    EXPECT_EQ(live_blocks(), before);
}

TEST(ImageBuffer, FlipReversesWholeRowsPadIncluded)
{
    for (int32_t height : {0, 1, 2, 3, 4, 7}) {
        SCOPED_TRACE(height);
        int32_t before = live_blocks();
        ImageBuffer b;
        b.create(3, height, 8, nullptr);  // stride 4: one pad byte per row
        for (int32_t y = 0; y < height; ++y)
            for (int32_t i = 0; i < b.stride; ++i)
                b.pixels[y * b.stride + i] = (uint8_t)(16 * y + i);
        uint8_t** rows = b.rows;
        b.flip_rows();
        for (int32_t y = 0; y < height; ++y)
            for (int32_t i = 0; i < b.stride; ++i)
                EXPECT_EQ(b.pixels[y * b.stride + i], (uint8_t)(16 * (height - 1 - y) + i));
        // The row table keeps pointing at rows by position.
        EXPECT_EQ(b.rows, rows);
        for (int32_t y = 0; y < height; ++y)
            EXPECT_EQ(b.rows[y], b.pixels + y * b.stride);
        b.release();
        EXPECT_EQ(live_blocks(), before);  // the temporary row was freed
    }
}

TEST(ImageBuffer, PutPixelWritesInsideClipAndPictureOnly)
{
    ImageBuffer b;
    b.create(1, 1, 16, nullptr);
    b.pixels[0] = b.pixels[1] = 0x77;
    b.put_pixel(1, 0, 0x001F);
    b.put_pixel(0, 1, 0x001F);
    b.put_pixel(-1, 0, 0x001F);
    EXPECT_EQ(b.pixels[0], 0x77);
    b.put_pixel(0, 0, 0x001F);
    EXPECT_EQ(b.pixels[0], 0x1F);
    EXPECT_EQ(b.pixels[1], 0x00);
    b.release();

    // 24 bits: three bytes, least significant first; the fourth is not touched.
    b.create(2, 2, 24, nullptr);
    memset(b.pixels, 0, (size_t)b.stride * 2);
    b.put_pixel(1, 1, 0xAA112233);
    EXPECT_EQ(b.rows[1][3], 0x33);
    EXPECT_EQ(b.rows[1][4], 0x22);
    EXPECT_EQ(b.rows[1][5], 0x11);
    EXPECT_EQ(b.rows[1][6], 0x00);  // pad byte

    // A narrower clip keeps writes out of the rest of the picture.
    b.clip = ImageClip{1, 0, 2, 1};
    b.put_pixel(0, 0, 0xFFFFFF);
    b.put_pixel(1, 1, 0xFFFFFF);
    EXPECT_EQ(b.rows[0][0], 0x00);
    EXPECT_EQ(b.rows[1][3], 0x33);
    b.put_pixel(1, 0, 0x010203);
    EXPECT_EQ(b.rows[0][3], 0x03);

    // A clip set wider than the picture (as from a window rectangle) does
    // not let a write leave the block.
    b.clip = ImageClip{-10, -10, 100, 100};
    b.put_pixel(2, 0, 0xFFFFFF);
    b.put_pixel(0, 2, 0xFFFFFF);
    b.put_pixel(-1, -1, 0xFFFFFF);
    EXPECT_EQ(b.rows[0][6], 0x00);
    b.release();

    // A depth set below 8 bits by hand writes nothing (no whole byte per
    // pixel to write).
    uint8_t block[4] = {0, 0, 0, 0};
    b.create(4, 1, 8, block);
    b.bpp = 4;
    b.put_pixel(0, 0, 0xFF);
    EXPECT_EQ(block[0], 0);
    b.release();
}

TEST(ImageBuffer, SwapExchangesContents)
{
    ImageBuffer a, b;
    a.create(2, 3, 8, nullptr);
    a.palette[4] = 99;
    uint8_t* block = a.pixels;
    a.swap(b);
    EXPECT_EQ(a.pixels, nullptr);
    EXPECT_EQ(a.owns, 0);
    EXPECT_EQ(b.pixels, block);
    EXPECT_EQ(b.height, 3);
    EXPECT_EQ(b.palette[4], 99);
    EXPECT_EQ(b.owns, 1);
}

// Bytes the heap accounts for a block of `size` bytes (its usable size,
// which may round the request up).
int64_t accounted_bytes(size_t size)
{
    int64_t before = tracked_stats().bytes_allocated;
    void* block = tracked_alloc(size);
    int64_t bytes = tracked_stats().bytes_allocated - before;
    tracked_free(block);
    return bytes;
}

TEST(BitmapHeader, DescribesThePictureForThePlatform)
{
    TrackedStats before = tracked_stats();
    BitmapHeader* h = nullptr;
    ASSERT_EQ(make_bitmap_header(&h, 5, 3, 24), 1);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 5);
    EXPECT_EQ(h->biHeight, 3);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, 24);
    EXPECT_EQ(h->biCompression, 0u);
    EXPECT_EQ(h->biSizeImage, 48u);  // stride 16 x 3 rows
    EXPECT_EQ(h->biXPelsPerMeter | h->biYPelsPerMeter, 0);
    EXPECT_EQ(h->biClrUsed | h->biClrImportant, 0u);
    EXPECT_EQ(tracked_stats().live, before.live + 1);
    tracked_free(h);
    tracked_free(nullptr);
    EXPECT_EQ(tracked_stats().live, before.live);
}

TEST(BitmapHeader, BlockIsTheHeaderAndForEightBitsATable)
{
    // The header block is accounted exactly as a block of 40 bytes, and of
    // 1064 bytes at 8 bits: the same usable size from the same heap. (The
    // ASan build and the Windows heap report the requested size itself.)
    const int64_t plain = accounted_bytes(40);
    const int64_t with_table = accounted_bytes(1064);
    for (int32_t bpp : {16, 24, 32, 15}) {
        SCOPED_TRACE(bpp);
        int64_t start = tracked_stats().bytes_allocated;
        BitmapHeader* h = nullptr;
        ASSERT_EQ(make_bitmap_header(&h, 3, 2, bpp), 1);
        EXPECT_EQ(tracked_stats().bytes_allocated - start, plain);
        tracked_free(h);
    }
    int64_t start = tracked_stats().bytes_allocated;
    BitmapHeader* h = nullptr;
    ASSERT_EQ(make_bitmap_header(&h, 3, 2, 8), 1);
    EXPECT_EQ(tracked_stats().bytes_allocated - start, with_table);
    EXPECT_EQ(h->biSizeImage, 8u);
    uint8_t* table = bitmap_colour_table(h);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(table[i], 0);
    table[1023] = 1;  // the whole table is ours to write
    tracked_free(h);
}

TEST(BitmapHeader, SizesBeyond32BitsAreGivenAsZero)
{
    BitmapHeader* h = nullptr;
    ASSERT_EQ(make_bitmap_header(&h, 65535, 65535, 32), 1);
    EXPECT_EQ(h->biSizeImage, 0u);
    tracked_free(h);
    // stride x height beyond 64 bits (the UBSan build reports a wrapped
    // product).
    ASSERT_EQ(make_bitmap_header(&h, INT32_MAX, 32, INT32_MAX), 1);
    EXPECT_EQ(h->biSizeImage, 0u);
    tracked_free(h);
    // Just below 2^32: stride 65536 x 65535 rows.
    ASSERT_EQ(make_bitmap_header(&h, 65535, 65535, 8), 1);
    EXPECT_EQ(h->biSizeImage, 65536u * 65535u);
    tracked_free(h);
}

}  // namespace
