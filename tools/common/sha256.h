// SHA-256 of a stream of bytes, for the checksums that prove a copy
// (discset test --sums and --json, discset verify). The backend is the file
// compiled in: OpenSSL's libcrypto on Linux, the system's CNG (bcrypt) on
// Windows, where Debian has no libcrypto for mingw-w64.
#pragma once

#include <cstddef>
#include <string>

struct Sha256 {
    void* state = nullptr;  // the backend's

    // Ready for a first message. 1 / 0 (no memory, or no SHA-256 in the
    // system's library).
    int create();
    void release();
    // The backend's state, before any message. 1 / 0. (create's first step;
    // each backend has its own.)
    int open_state();
    // Starts a new message, dropping what was given so far. 1 / 0.
    int restart();
    int update(const void* data, size_t size);
    // The digest of the bytes given since create or restart, as 64
    // lower-case hex digits; restart before the next message. 1 / 0.
    int finish(std::string* hex);
};

// The hex digits of a 32-byte digest.
std::string sha256_hex_of(const unsigned char* digest);
