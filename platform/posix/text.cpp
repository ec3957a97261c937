// Code page 950 <-> UTF-8 with iconv. iconv decodes Big5 by whole
// characters, so a trail byte 0x5C never comes out as a backslash.
//
// Every file call translates its path, so opening a conversion descriptor
// per call (which loads and parses the code page's tables) would cost more
// than the conversion itself. Each thread keeps one descriptor per direction,
// opened on first use and closed when the thread ends; every conversion
// starts from the descriptor's initial state, so the result is the same as
// with a fresh descriptor.
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

const iconv_t kNoDescriptor = (iconv_t)-1;

struct Descriptors {
    iconv_t to_utf8 = kNoDescriptor;    // CP950 -> UTF-8
    iconv_t from_utf8 = kNoDescriptor;  // UTF-8 -> CP950
    ~Descriptors()
    {
        if (to_utf8 != kNoDescriptor)
            iconv_close(to_utf8);
        if (from_utf8 != kNoDescriptor)
            iconv_close(from_utf8);
    }
};

thread_local Descriptors t_descriptors;

// The thread's descriptor for one direction, opened on first use; a failed
// open is tried again at the next call.
iconv_t descriptor(iconv_t* slot, const char* from, const char* to)
{
    if (*slot == kNoDescriptor)
        *slot = iconv_open(to, from);
    return *slot;
}

int convert(iconv_t cd, const char* in, char* out, int size)
{
    if (cd == kNoDescriptor)
        return 0;
    // Back to the initial state: a conversion that failed half-way must not
    // leave anything behind for the next one.
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
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
    if (!in || !out || size <= 0)
        return 0;
    return convert(descriptor(&t_descriptors.to_utf8, "CP950", "UTF-8"), in, out, size);
}

int plat_utf8_to_cp950(const char* in, char* out, int size)
{
    if (!in || !out || size <= 0)
        return 0;
    return convert(descriptor(&t_descriptors.from_utf8, "UTF-8", "CP950"), in, out, size);
}
