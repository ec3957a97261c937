#include "slide_show.h"

#include "format_number.h"
#include "platform.h"

#include <cstdio>

int file_exists(const char* path)
{
    return plat_file_attributes(path) != PLAT_ATTR_INVALID ? 1 : 0;
}

int64_t slide_index(int32_t picture_count, int32_t percent)
{
    return ((int64_t)picture_count + 1) * percent / 100 - 1;
}

void slide_picture_name(int32_t number, char* out)
{
    snprintf(out, kSlideNameSize, "pic\\%s.tga", format_number(number, 2, 1));
}

void count_pictures(SlideShow* show)
{
    char name[kSlideNameSize];
    show->picture_count = 0;
    for (int32_t n = 1; n <= kMaxSlidePictures; n++) {
        slide_picture_name(n, name);
        if (!file_exists(name))
            break;
        show->picture_count = n;
    }
}

SlideStep slide_show_advance(SlideShow* show, int32_t percent)
{
    SlideStep step = {0, 0, 0};
    if (percent == show->current_percent)
        return step;
    step.changed = 1;
    show->current_percent = percent;
    int64_t index = slide_index(show->picture_count, percent);
    if (index < -1)
        index = -1;  // a negative percentage: the number-0 picture, as below 1 step
    if (index != show->shown_index && index < show->picture_count) {
        show->shown_index = (int32_t)index;
        step.load = 1;
        step.number = (int32_t)index + 1;
    }
    return step;
}
