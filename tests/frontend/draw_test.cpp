// Drawing under Windows: pictures and text are drawn into a memory device
// context backed by a 32-bit DIB section, and the pixels are read back.
#include "draw.h"
#include "image_buffer.h"
#include "tracked_memory.h"

#include "test_support.h"
#include "tga_bytes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;  // pixels read back as 0x00RRGGBB
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kYellow = 0xFFFF00;

// A white canvas of width x height pixels, top row first.
struct Canvas {
    int width, height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;

    Canvas(int w, int h) : width(w), height(h)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        void* memory = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
        bits = (uint32_t*)memory;
        old = SelectObject(dc, bitmap);
        fill(kWhite);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    void fill(uint32_t colour)
    {
        GdiFlush();
        for (int i = 0; i < width * height; ++i)
            bits[i] = colour;
    }
    uint32_t at(int x, int y)
    {
        GdiFlush();
        return bits[y * width + x] & 0xFFFFFF;
    }
    bool inside(const RECT& r, int x, int y) const { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
    // Every pixel inside r satisfies in(), every pixel outside is white.
    template <typename In>
    void expect(const RECT& r, In in)
    {
        int wrong_in = 0, wrong_out = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint32_t c = at(x, y);
                if (inside(r, x, y))
                    wrong_in += !in(x, y, c);
                else
                    wrong_out += c != kWhite;
            }
        EXPECT_EQ(wrong_in, 0) << "pixels inside the rectangle";
        EXPECT_EQ(wrong_out, 0) << "pixels outside the rectangle";
    }
};

// A picture of four solid quadrants (red, green / blue, yellow), each
// `half` pixels square, stored in a 24-bit TGA bottom row first.
std::string quadrant_tga(int half)
{
    const uint32_t colours[2][2] = {{kRed, kGreen}, {kBlue, kYellow}};
    std::string file = tga_header(2, 2 * half, 2 * half, 24, 0x00);
    for (int y = 2 * half - 1; y >= 0; --y)
        for (int x = 0; x < 2 * half; ++x) {
            uint32_t c = colours[y / half][x / half];
            file += bytes({(int)(c & 0xFF), (int)((c >> 8) & 0xFF), (int)(c >> 16)});
        }
    return file;
}

uint32_t quadrant_colour(int x, int y, int half)
{
    const uint32_t colours[2][2] = {{kRed, kGreen}, {kBlue, kYellow}};
    return colours[y / half][x / half];
}

TEST(DrawImage, OneBluePixelStretchedOverABar)
{
    Canvas canvas(64, 32);
    ImageBuffer pixel;
    pixel.create(1, 1, 16, nullptr);
    pixel.put_pixel(0, 0, 0x001F);  // 5-5-5: pure blue
    int32_t live = tracked_stats().live;
    draw_image(canvas.dc, 5, 3, 40, 12, pixel);
    EXPECT_EQ(tracked_stats().live, live);  // the header was freed
    canvas.expect(RECT{5, 3, 45, 15}, [](int, int, uint32_t c) { return c == kBlue; });
    pixel.release();
}

TEST(DrawImage, ScalesTheWholePictureUpAndDown)
{
    TempDir dir;
    write_file(dir.path("q.tga"), quadrant_tga(4));
    ImageBuffer picture;
    ASSERT_EQ(picture.load_tga(dir.path("q.tga").c_str(), nullptr), 1);

    Canvas canvas(64, 48);
    // 8 x 8 up to 32 x 16 at (10, 20).
    draw_image(canvas.dc, 10, 20, 32, 16, picture);
    canvas.expect(RECT{10, 20, 42, 36},
                  [](int x, int y, uint32_t c) { return c == quadrant_colour((x - 10) / 2, y - 20, 8); });

    // 8 x 8 down to 4 x 4: every destination pixel stands for one colour.
    canvas.fill(kWhite);
    draw_image(canvas.dc, 3, 5, 4, 4, picture);
    canvas.expect(RECT{3, 5, 7, 9}, [](int x, int y, uint32_t c) { return c == quadrant_colour(x - 3, y - 5, 2); });

    // Same size: an exact copy, top row at the top.
    canvas.fill(kWhite);
    draw_image(canvas.dc, 0, 0, 8, 8, picture);
    canvas.expect(RECT{0, 0, 8, 8}, [](int x, int y, uint32_t c) { return c == quadrant_colour(x, y, 4); });
}

TEST(DrawImage, EightBitPicturesUseTheRecordsColourTable)
{
    // 2 x 1, type 1: indices 1 and 2 map to red and green in the file's map.
    std::string map(768, '\0');
    map[3 * 1 + 2] = (char)0xFF;  // entry 1: blue 0, green 0, red 255
    map[3 * 2 + 1] = (char)0xFF;  // entry 2: green 255
    TempDir dir;
    write_file(dir.path("p.tga"), tga_header(1, 2, 1, 8, 0x20) + map + bytes({1, 2}));
    ImageBuffer picture;
    ASSERT_EQ(picture.load_tga(dir.path("p.tga").c_str(), nullptr), 1);
    Canvas canvas(16, 8);
    draw_image(canvas.dc, 0, 0, 4, 2, picture);
    canvas.expect(RECT{0, 0, 4, 2}, [](int x, int, uint32_t c) { return c == (x < 2 ? kRed : kGreen); });

    // A created 8-bit record draws its indices as greys.
    ImageBuffer grey;
    grey.create(1, 1, 8, nullptr);
    grey.put_pixel(0, 0, 200);
    canvas.fill(kWhite);
    draw_image(canvas.dc, 1, 1, 3, 3, grey);
    canvas.expect(RECT{1, 1, 4, 4}, [](int, int, uint32_t c) { return c == 0xC8C8C8; });
    grey.release();
}

TEST(DrawImage, RecordsWithoutPixelsDrawNothing)
{
    Canvas canvas(16, 16);
    ImageBuffer empty;
    draw_image(canvas.dc, 0, 0, 16, 16, empty);

    // Released after a load: the sizes remain, the pixels are gone.
    TempDir dir;
    write_file(dir.path("q.tga"), quadrant_tga(2));
    ImageBuffer released;
    ASSERT_EQ(released.load_tga(dir.path("q.tga").c_str(), nullptr), 1);
    released.release();
    ASSERT_EQ(released.width, 4);
    draw_image(canvas.dc, 0, 0, 16, 16, released);
    // An empty rectangle: every pixel of the canvas must still be white.
    canvas.expect(RECT{0, 0, 0, 0}, [](int, int, uint32_t) { return false; });
}

TEST(DrawImage, DepthsOutsideEightToThirtyTwoBitsDrawNothing)
{
    Canvas canvas(16, 8);
    // Below 8 bits no picture is made at all.
    ImageBuffer four;
    four.create(4, 2, 4, nullptr);
    draw_image(canvas.dc, 0, 0, 16, 8, four);

    // A record whose depth is set by hand: below 8 bits the platform would
    // take a colour table from behind the 40-byte header and pack the rows
    // otherwise; 15 and 12 bits are no depth it lays out as the record does.
    uint8_t block[64] = {};
    ImageBuffer hand;
    hand.create(4, 2, 8, block);
    for (int32_t bpp : {4, 1, 2, 12, 15}) {
        hand.bpp = bpp;
        draw_image(canvas.dc, 0, 0, 16, 8, hand);
    }
    canvas.expect(RECT{0, 0, 0, 0}, [](int, int, uint32_t) { return false; });

    // The same block at 8 bits is drawn: index 0 of the grey ramp, black.
    hand.bpp = 8;
    draw_image(canvas.dc, 0, 0, 16, 8, hand);
    canvas.expect(RECT{0, 0, 16, 8}, [](int, int, uint32_t c) { return c == 0; });
    hand.release();
}

bool reddish(uint32_t c)
{
    int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return r > g + 60 && r > b + 60;
}

TEST(TextDrawing, FontFaceIsBig5)
{
    EXPECT_EQ(std::string(kTextFontFace), big5("細明體"));
    EXPECT_EQ(std::string(kTextFontFace), "\xB2\xD3\xA9\xFA\xC5\xE9");
}

TEST(TextDrawing, RedTextInsideTheRectangleOnly)
{
    Canvas canvas(200, 40);
    HGDIOBJ font = GetCurrentObject(canvas.dc, OBJ_FONT);
    HGDIOBJ pen = GetCurrentObject(canvas.dc, OBJ_PEN);
    HGDIOBJ brush = GetCurrentObject(canvas.dc, OBJ_BRUSH);
    RECT r{20, 5, 180, 35};
    std::string text = big5("安裝進度 50 %");
    draw_text(canvas.dc, text.c_str(), 12, r, RGB(255, 0, 0), kNoBackground, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    int red = 0;
    // No rectangle is drawn: inside, every pixel is either white or text.
    canvas.expect(r, [&](int, int, uint32_t c) {
        red += reddish(c);
        return ((c >> 16) & 0xFF) == 0xFF;  // white, red, or red blended into white
    });
    EXPECT_GT(red, 10) << "no red text drawn";
    // The mode and colour stay set; the font, pen and brush are put back.
    EXPECT_EQ(GetBkMode(canvas.dc), TRANSPARENT);
    EXPECT_EQ(GetTextColor(canvas.dc), RGB(255, 0, 0));
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_FONT), font);
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BRUSH), brush);
}

TEST(TextDrawing, BackgroundFillsTheRectangleAndItsBorder)
{
    Canvas canvas(200, 40);
    RECT r{10, 4, 190, 30};
    draw_text(canvas.dc, big5("準備安裝中,請稍後.....").c_str(), 12, r, RGB(255, 0, 0), RGB(0, 0, 0),
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    int red = 0;
    canvas.expect(r, [&](int x, int y, uint32_t c) {
        bool border = x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1;
        if (border)
            return c == 0;
        red += c != 0;
        return c == 0 || ((c >> 16) & 0xFF) > ((c >> 8) & 0xFF);
    });
    EXPECT_GT(red, 10) << "no text over the background";

    // Another colour, an empty text: the whole rectangle in that colour.
    canvas.fill(kWhite);
    draw_text(canvas.dc, "", 12, r, RGB(255, 0, 0), RGB(0, 255, 0), DT_CENTER);
    canvas.expect(r, [](int, int, uint32_t c) { return c == kGreen; });
}

}  // namespace
