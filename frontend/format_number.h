// Fixed-width decimal text, used for the two-digit slide-show picture numbers.
#pragma once

#include <cstdint>

// The widest text format_number writes (and the width it clamps to): 10 to
// the 18th still fits the 64-bit place value.
constexpr int32_t kFormatNumberMaxWidth = 19;

// Writes `value` right-aligned into `width` positions and returns the text,
// held in one static buffer that the next call overwrites. Leading positions
// are '0' with a nonzero `zero_fill`, else blanks. A negative value keeps the
// first position for the sign, formats its magnitude into the remaining
// width - 1 positions without zero fill and puts '-' directly before the
// first digit. A value with more digits than positions is not widened: the
// first position gets '0' + the quotient, a character beyond '9' (100 at
// width 2 gives ":0"). A width below 1 (below 2 for a negative value) gives
// the empty text, or the lone sign blank.
const char* format_number(int32_t value, int32_t width, int32_t zero_fill);
