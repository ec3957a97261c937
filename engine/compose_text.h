// Composing a text into a fixed buffer, refusing what does not fit: paths,
// registry key paths and the texts of boxes are never used cut short.
#pragma once

#include <cstdint>

// snprintf that refuses: 1 when the whole text and its NUL fit `size` bytes,
// else 0 with `out` emptied. A null argument string is refused too (callers
// check their arguments first).
int compose_text(char* out, int32_t size, const char* format, ...);
