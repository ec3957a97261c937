// The TGA subset the installer reads: field offsets and the values it
// accepts. Multi-byte numbers are little-endian.
#pragma once

#include <cstdint>

namespace tga {

constexpr int32_t kImageType = 2;    // 1 byte
constexpr int32_t kWidth = 12;       // 2 bytes, unsigned
constexpr int32_t kHeight = 14;      // 2 bytes, unsigned
constexpr int32_t kDepth = 16;       // 1 byte: bits per pixel
constexpr int32_t kDescriptor = 17;  // 1 byte
constexpr int32_t kHeaderBytes = 18;

// Descriptor bit: the first stored row is the top row (else the bottom row).
constexpr uint8_t kTopRowFirst = 0x20;

// At 8 bits, types 1, 2, 9 and 10 carry 256 colour-map entries of blue,
// green, red right after the header; the pixel data follow them.
constexpr int32_t kColourMapEntries = 256;
constexpr int32_t kColourMapBytes = kColourMapEntries * 3;
constexpr int32_t kMappedDataOffset = kHeaderBytes + kColourMapBytes;  // 786

// Image types: colour-mapped, true-colour and grey pixels stored raw, and
// the same three run-length encoded (the type with kRleType added).
constexpr uint8_t kRleType = 8;
enum ImageType : uint8_t {
    kMappedRaw = 1,
    kTrueColourRaw = 2,
    kGreyRaw = 3,
    kMappedRle = kMappedRaw + kRleType,
    kTrueColourRle = kTrueColourRaw + kRleType,
    kGreyRle = kGreyRaw + kRleType,
};

// Run-length packets: a count byte k, then one pixel repeated (k & 0x7F) + 1
// times when k has kRunPacket set, else k + 1 literal pixels.
constexpr uint8_t kRunPacket = 0x80;
constexpr int32_t kMaxPacketPixels = 128;

}  // namespace tga
