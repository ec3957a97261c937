// The slide show of the setup window: which numbered picture ("pic\01.tga",
// "pic\02.tga", ...) belongs to an install percentage, and how many pictures
// the disc carries. Portable: files are probed through the platform layer.
#pragma once

#include <cstdint>

// The most pictures counted.
constexpr int32_t kMaxSlidePictures = 100;
// Room for a picture name: "pic\" + two characters + ".tga" and the NUL.
constexpr int32_t kSlideNameSize = 16;

// Slide-show progress, one per process (inside the window state).
struct SlideShow {
    int32_t picture_count;    // consecutive pictures from pic\01.tga on (0 to 100)
    int32_t shown_index;      // zero-based index of the picture shown: 0 is pic\01.tga, -1 pic\00.tga
    int32_t current_percent;  // the last percentage seen
};

// What one progress report asks of the windows.
struct SlideStep {
    int32_t changed;  // 1: a new percentage, repaint the progress dialog
    int32_t load;     // 1: show picture `number`
    int32_t number;   // picture number, index + 1 (0 asks for pic\00.tga)
};

// 1 when the file or directory exists in the plain file system (packages are
// not consulted), else 0.
int file_exists(const char* path);

// The picture index for a percentage with `picture_count` pictures:
// ((picture_count + 1) x percent) / 100 - 1, truncating. Formed in 64 bits,
// so a huge percentage cannot overflow; it agrees with the 32-bit formula
// wherever that one is defined.
int64_t slide_index(int32_t picture_count, int32_t percent);

// "pic\NN.tga" for picture `number` (format_number with width 2, zero fill)
// into `out` (kSlideNameSize bytes).
void slide_picture_name(int32_t number, char* out);

// Sets show->picture_count: the number of consecutive pictures from
// "pic\01.tga" on, relative to the current directory, at most 100.
void count_pictures(SlideShow* show);

// Takes one progress report. An unchanged percentage changes nothing.
// Otherwise the percentage is remembered and, when its picture index differs
// from the shown one and is below the picture count, that index becomes the
// shown one and the step asks for its picture.
SlideStep slide_show_advance(SlideShow* show, int32_t percent);
