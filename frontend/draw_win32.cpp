// Drawing with GDI. This file holds Chinese text: it is kept in UTF-8 and
// compiled with -fexec-charset=CP950 so the strings reach the "A" functions
// as Big5 bytes.
#include "draw.h"

#include "bitmap_header.h"
#include "tracked_memory.h"

#include <cstddef>
#include <cstring>

static_assert(sizeof(BitmapHeader) == sizeof(BITMAPINFOHEADER), "header size");
static_assert(offsetof(BitmapHeader, biBitCount) == offsetof(BITMAPINFOHEADER, biBitCount), "header layout");
static_assert(offsetof(BitmapHeader, biSizeImage) == offsetof(BITMAPINFOHEADER, biSizeImage), "header layout");
static_assert(offsetof(BitmapHeader, biClrImportant) == offsetof(BITMAPINFOHEADER, biClrImportant), "header layout");
static_assert(offsetof(BITMAPINFO, bmiColors) == kBitmapHeaderBytes, "colour table place");

const char kTextFontFace[] = "細明體";

namespace {

// Depths whose rows the platform lays out exactly as the record's stride
// says, with no colour table beyond the one an 8-bit header carries. For any
// other depth (below 8 bits the platform wants a table of 2 to 16 entries
// behind the header and packs pixels into bytes) the drawing call would read
// past the header or past the block.
bool drawable_depth(int32_t bpp)
{
    return bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

}  // namespace

void draw_image(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, const ImageBuffer& image)
{
    if (!image.pixels || image.width <= 0 || image.height <= 0 || !drawable_depth(image.bpp))
        return;
    BitmapHeader* header = nullptr;
    if (!make_bitmap_header(&header, image.width, image.height, image.bpp))
        return;
    // Negative height: the first row of the block is the top row.
    header->biHeight = -header->biHeight;
    if (image.bpp == 8)
        memcpy(bitmap_colour_table(header), image.palette, kPaletteBytes);
    StretchDIBits(dc, x, y, width, height, 0, 0, image.width, image.height, image.pixels,
                  reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS, SRCCOPY);
    tracked_free(header);
}

void draw_text(HDC dc, const char* text, int32_t size, const RECT& rect, COLORREF colour, COLORREF background,
               UINT format)
{
    if (background != kNoBackground) {
        HPEN pen = CreatePen(PS_SOLID, 1, background);
        HBRUSH brush = CreateSolidBrush(background);
        HGDIOBJ old_pen = SelectObject(dc, pen);
        HGDIOBJ old_brush = SelectObject(dc, brush);
        Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
        SelectObject(dc, old_brush);
        DeleteObject(brush);
        SelectObject(dc, old_pen);
        DeleteObject(pen);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    HFONT font = CreateFontA(-size, 0, 0, 0, 0, 0, 0, 0, kTextCharset, 0, 0, 0, kTextPitchAndFamily, kTextFontFace);
    HGDIOBJ old_font = SelectObject(dc, font);
    RECT area = rect;
    DrawTextA(dc, text, (int)strlen(text), &area, format);
    SelectObject(dc, old_font);
    DeleteObject(font);
}
