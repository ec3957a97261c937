#include "terminal_text.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at s[i] (1 to 4), its code point in
// *cp; 0 when the bytes there are not one (overlong forms and surrogates
// included).
size_t utf8_sequence(const std::string& s, size_t i, unsigned* cp)
{
    unsigned char c = (unsigned char)s[i];
    size_t n;
    unsigned v, min;
    if (c < 0x80)
        n = 1, v = c, min = 0;
    else if ((c & 0xE0) == 0xC0)
        n = 2, v = c & 0x1F, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
        n = 3, v = c & 0x0F, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
        n = 4, v = c & 0x07, min = 0x10000;
    else
        return 0;
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        unsigned char t = (unsigned char)s[i + k];
        if ((t & 0xC0) != 0x80)
            return 0;
        v = (v << 6) | (t & 0x3F);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
        return 0;
    *cp = v;
    return n;
}

}  // namespace

std::string printable(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    char esc[8];
    for (size_t i = 0; i < text.size();) {
        unsigned cp = 0;
        size_t n = utf8_sequence(text, i, &cp);
        if (n == 0) {
            snprintf(esc, sizeof esc, "\\x%02X", (unsigned char)text[i]);
            out += esc;
            ++i;
            continue;
        }
        if (cp < 0x20 || cp == 0x7F) {
            snprintf(esc, sizeof esc, "\\x%02X", cp);
            out += esc;
        } else if (cp >= 0x80 && cp <= 0x9F) {
            snprintf(esc, sizeof esc, "\\u%04X", cp);
            out += esc;
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out;
}

std::string escaped_bytes(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += (char)c;
        } else if (c == '\\') {
            out += '\\';
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}
