// Code page 950 <-> UTF-8 through the wide-character functions.
#include "platform.h"

#include <windows.h>

#include <vector>

namespace {

int convert(UINT from, UINT to, const char* in, char* out, int size)
{
    if (!in || !out || size <= 0)
        return 0;
    out[0] = '\0';
    if (!*in)
        return 1;
    int wide_len = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in, -1, nullptr, 0);
    if (wide_len <= 0)
        return 0;
    std::vector<wchar_t> wide((size_t)wide_len);
    if (MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in, -1, wide.data(), wide_len) <= 0)
        return 0;
    BOOL used_default = FALSE;
    BOOL* used = to == CP_UTF8 ? nullptr : &used_default;
    int n = WideCharToMultiByte(to, 0, wide.data(), -1, out, size, nullptr, used);
    if (n <= 0 || used_default) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

}  // namespace

int plat_cp950_to_utf8(const char* in, char* out, int size)
{
    return convert(950, CP_UTF8, in, out, size);
}

int plat_utf8_to_cp950(const char* in, char* out, int size)
{
    return convert(CP_UTF8, 950, in, out, size);
}
