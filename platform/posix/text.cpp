// Code page 950 <-> UTF-8 with iconv. iconv decodes Big5 by whole
// characters, so a trail byte 0x5C never comes out as a backslash.
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

int convert(const char* from, const char* to, const char* in, char* out, int size)
{
    if (!in || !out || size <= 0)
        return 0;
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1)
        return 0;
    char* src = const_cast<char*>(in);
    size_t src_left = strlen(in);
    char* dst = out;
    size_t dst_left = (size_t)size - 1;  // room for the NUL
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    int ok = r != (size_t)-1 && src_left == 0;
    if (ok) {
        // Flush any shift state (none for these encodings, but be exact).
        ok = iconv(cd, nullptr, nullptr, &dst, &dst_left) != (size_t)-1;
    }
    iconv_close(cd);
    if (!ok) {
        out[0] = '\0';
        return 0;
    }
    *dst = '\0';
    return 1;
}

}  // namespace

int plat_cp950_to_utf8(const char* in, char* out, int size)
{
    return convert("CP950", "UTF-8", in, out, size);
}

int plat_utf8_to_cp950(const char* in, char* out, int size)
{
    return convert("UTF-8", "CP950", in, out, size);
}
