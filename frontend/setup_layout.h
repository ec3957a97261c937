// Where the progress display sits on the screen and what it shows: pure
// arithmetic over the screen size and the percentage, so it is tested
// without windows.
#pragma once

#include <cstdint>

// A rectangle by position and size, in pixels.
struct PixelRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// The progress dialog and the cancel button form one row W/2 pixels wide,
// 30 high, 100 pixels above the bottom edge: the dialog from x = W/4 for
// W/2 - 40 pixels, the button the next 40. The dialog is placed in screen
// coordinates, the button in the main window's client coordinates; they
// agree because the maximised main window starts at the screen origin.
struct ProgressLayout {
    PixelRect dialog;
    PixelRect button;
};
ProgressLayout progress_layout(int32_t screen_width, int32_t screen_height);

// The blue bar inside the dialog's client rectangle (left, top, right,
// bottom): drawn at (5, 3), (right - 5 - (left + 5)) x percent / 100 wide
// (truncating), bottom - 3 - (top + 3) high. A percentage above 100 gives a
// bar wider than its area, which the dialog's edge cuts off; the width is
// formed in 64 bits and kept within 32.
PixelRect progress_bar(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t percent);

// Room for the progress text.
constexpr int32_t kProgressTextSize = 64;
// The progress text (Big5) into `out` (kProgressTextSize bytes): the
// "preparing" text below 2 percent, else "install progress N %".
void progress_text(int32_t percent, char* out);
