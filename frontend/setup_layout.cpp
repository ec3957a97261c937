#include "setup_layout.h"

#include "setup_texts.h"

#include <cstdio>

ProgressLayout progress_layout(int32_t w, int32_t h)
{
    ProgressLayout layout;
    layout.dialog = {w / 4, h - 100, w / 2 - 40, 30};
    layout.button = {w / 4 + w / 2 - 40, h - 100, 40, 30};
    return layout;
}

PixelRect progress_bar(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t percent)
{
    const int32_t bar_left = left + 5, bar_top = top + 3, limit = right - 5, bar_bottom = bottom - 3;
    int64_t width = ((int64_t)limit - bar_left) * percent / 100;
    if (width > INT32_MAX)
        width = INT32_MAX;
    if (width < INT32_MIN)
        width = INT32_MIN;
    return {5, 3, (int32_t)width, bar_bottom - bar_top};
}

void progress_text(int32_t percent, char* out)
{
    if (percent < 2)
        snprintf(out, kProgressTextSize, "%s", setup_text::kPreparing);
    else
        snprintf(out, kProgressTextSize, setup_text::kProgressFormat, percent);
}
