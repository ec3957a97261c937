// Little-endian integers in byte buffers: every file format of the system
// (disc sets, APKG packages, TGA pictures) stores its numbers this way.
#pragma once

#include <cstdint>

inline int32_t get_le32(const unsigned char* p)
{
    return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

inline uint16_t get_le16(const unsigned char* p)
{
    return (uint16_t)(p[0] | p[1] << 8);
}

inline void put_le32(unsigned char* p, int32_t value)
{
    uint32_t v = (uint32_t)value;
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}
