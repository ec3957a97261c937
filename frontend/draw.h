// Drawing pictures and text into a device context (Windows only).
#pragma once

#include "image_buffer.h"

#include <windows.h>

#include <cstdint>

// The background colour that means "no background" for draw_text.
constexpr COLORREF kNoBackground = (COLORREF)-1;

// The font every text of the installer is drawn in: face "細明體" (Big5
// bytes), character set 136 (CHINESEBIG5_CHARSET), fixed pitch.
extern const char kTextFontFace[];
constexpr int kTextCharset = 136;
constexpr int kTextPitchAndFamily = FIXED_PITCH;

// Draws the whole picture scaled into the rectangle (x, y, width, height)
// with the device context's current stretch mode. An 8-bit picture is drawn
// with the record's own colour table. A record without pixels (constructed,
// released, or of no size), or of a depth other than 8, 16, 24 or 32 bits,
// draws nothing.
void draw_image(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, const ImageBuffer& image);

// Draws `text` (Big5) with DrawTextA and `format` into `rect` in `colour`,
// transparently. When `background` is not kNoBackground the rectangle,
// border included, is first filled with it. Leaves the background mode
// TRANSPARENT and the text colour set; every call makes and deletes its own
// pen, brush and font.
void draw_text(HDC dc, const char* text, int32_t size, const RECT& rect, COLORREF colour, COLORREF background,
               UINT format);
