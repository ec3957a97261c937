// Builds TGA files byte by byte for the reader's tests.
#pragma once

#include <cstdint>
#include <string>

// The 18-byte header: image type at 2, width at 12, height at 14, depth at
// 16, descriptor at 17; everything else zero (no ID field, no colour-map
// description).
inline std::string tga_header(int type, int width, int height, int depth, int descriptor)
{
    std::string h(18, '\0');
    h[2] = (char)type;
    h[12] = (char)(width & 0xFF);
    h[13] = (char)(width >> 8);
    h[14] = (char)(height & 0xFF);
    h[15] = (char)(height >> 8);
    h[16] = (char)depth;
    h[17] = (char)descriptor;
    return h;
}

// A 768-byte colour map whose entry i is (i, 255 - i, i ^ 0x5A).
inline std::string tga_colour_map()
{
    std::string map;
    for (int i = 0; i < 256; ++i) {
        map += (char)i;
        map += (char)(255 - i);
        map += (char)(i ^ 0x5A);
    }
    return map;
}

inline std::string bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s += (char)v;
    return s;
}
