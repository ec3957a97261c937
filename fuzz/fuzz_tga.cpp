// Fuzz target: the input is written to a file and read with load_tga into a
// record that already holds a picture, as the slide show reloads its
// background.
//
// Checked on every input: a refused file leaves the record, the palette
// buffer, the tracked memory and the open files as they were; an accepted
// one gives a block whose every byte is readable (the sanitizers watch the
// reads) and a row table that matches it.
#include "image_buffer.h"
#include "file_object.h"
#include "fuzz_support.h"
#include "platform.h"
#include "tracked_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string g_host;
std::string g_path;
volatile uint32_t g_sink;

void set_up()
{
    g_host = fuzz_folder("tga") + "/p.tga";
    g_path = fuzz_system_path(g_host);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_host.empty())
        set_up();
    fuzz_write_host(g_host, std::string((const char*)data, size));

    int32_t opened = open_count();
    int32_t live = tracked_stats().live;
    {
        // The record starts out holding a 3 x 2, 24-bit picture.
        ImageBuffer b;
        b.create(3, 2, 24, nullptr);
        memset(b.pixels, 0x5A, (size_t)b.stride * 2);
        uint8_t* old_pixels = b.pixels;
        uint8_t** old_rows = b.rows;
        uint8_t palette[kPaletteBytes];
        memset(palette, 0xEE, sizeof palette);

        if (b.load_tga(g_path.c_str(), palette)) {
            fuzz_check(b.width >= 0 && b.height >= 0 && b.owns == 1 && b.pixels && b.rows);
            uint32_t sum = 0;
            for (int32_t y = 0; y < b.height; ++y) {
                fuzz_check(b.rows[y] == b.pixels + (int64_t)y * b.stride);
                // Bytes the reader wrote (pad bytes may be unwritten).
                int32_t used = b.bpp / 8 * b.width < b.stride ? b.bpp / 8 * b.width : b.stride;
                for (int32_t i = 0; i < used; ++i)
                    sum += b.rows[y][i];
            }
            g_sink = sum;
            if (b.bpp != 8)
                for (uint8_t v : palette)
                    fuzz_check(v == 0xEE);
            b.release();
        } else {
            fuzz_check(b.width == 3 && b.height == 2 && b.bpp == 24 && b.stride == 12);
            fuzz_check(b.pixels == old_pixels && b.rows == old_rows && b.owns == 1);
            for (int i = 0; i < 24; ++i)
                fuzz_check(b.pixels[i] == 0x5A);
            for (uint8_t v : palette)
                fuzz_check(v == 0xEE);
            fuzz_check(tracked_stats().live == live + 2);
            b.release();
        }
    }
    // Nothing stays open or allocated, whatever the bytes were.
    fuzz_check(open_count() == opened);
    fuzz_check(tracked_stats().live == live);
    return 0;
}
