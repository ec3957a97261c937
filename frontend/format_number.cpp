#include "format_number.h"

namespace {

char result[kFormatNumberMaxWidth + 1];

}  // namespace

const char* format_number(int32_t value, int32_t width, int32_t zero_fill)
{
    result[0] = '\0';
    if (width < 1)
        return result;
    if (width > kFormatNumberMaxWidth)
        width = kFormatNumberMaxWidth;

    // 64 bits so that the magnitude of the most negative value is exact.
    int64_t remaining = value;
    int32_t at = 0;
    int32_t positions = width;
    const bool negative = value < 0;
    if (negative) {
        result[0] = ' ';
        result[1] = '\0';
        at = 1;
        positions = width - 1;
        remaining = -remaining;
        zero_fill = 0;
    }

    int64_t place = 1;
    for (int32_t i = 1; i < positions; i++)
        place *= 10;

    bool started = false;
    for (int32_t i = 0; i < positions; i++, at++) {
        const int64_t quotient = remaining / place;
        if (quotient == 0 && !started && i != positions - 1) {
            result[at] = zero_fill ? '0' : ' ';
        } else {
            result[at] = (char)('0' + quotient);
            started = true;
            if (negative && at > 0 && result[at - 1] == ' ')
                result[at - 1] = '-';
        }
        remaining %= place;
        place /= 10;
        result[at + 1] = '\0';
    }
    return result;
}
