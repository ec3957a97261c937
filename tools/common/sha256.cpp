// What the SHA-256 backends share: starting an object and writing a digest
// as hex.
#include "sha256.h"

int Sha256::create()
{
    if (!open_state())
        return 0;
    if (!restart()) {
        release();
        return 0;
    }
    return 1;
}

std::string sha256_hex_of(const unsigned char* digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < 32; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 15];
    }
    return hex;
}
