// Code page 950 <-> UTF-8 with iconv. iconv decodes Big5 by whole
// characters, so a trail byte 0x5C never comes out as a backslash.
//
// Every file call translates its path, so opening a conversion descriptor
// per call (which loads and parses the code page's tables) would cost more
// than the conversion itself. Each thread keeps one descriptor per direction,
// opened on first use and closed when the thread ends; every conversion
// starts from the descriptor's initial state, so the result is the same as
// with a fresh descriptor.
//
// Text is still converted after the thread's clean-up has run: the C
// runtime ends a process by running the thread's destructors first and the
// exit handlers after them, and the exit checks show their boxes (converted
// for the terminal) from those handlers. Once the descriptors are closed, a
// conversion opens a descriptor of its own and closes it again.
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

const iconv_t kNoDescriptor = (iconv_t)-1;

// Plain values: they stay readable after the thread's destructors have run.
thread_local iconv_t t_to_utf8 = kNoDescriptor;    // CP950 -> UTF-8
thread_local iconv_t t_from_utf8 = kNoDescriptor;  // UTF-8 -> CP950
thread_local int t_closed = 0;                     // 1 once the thread's clean-up has run

// Closes the thread's descriptors when the thread ends, and says so.
struct DescriptorCloser {
    int armed = 0;
    ~DescriptorCloser()
    {
        if (t_to_utf8 != kNoDescriptor)
            iconv_close(t_to_utf8);
        if (t_from_utf8 != kNoDescriptor)
            iconv_close(t_from_utf8);
        t_to_utf8 = t_from_utf8 = kNoDescriptor;
        t_closed = 1;
    }
};

thread_local DescriptorCloser t_closer;

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

// Converts with the thread's descriptor for one direction, opened on first
// use (a failed open is tried again at the next call); after the thread's
// clean-up, with a descriptor of this call's own.
int convert_with(iconv_t* slot, const char* from, const char* to, const char* in, char* out, int size)
{
    if (t_closed) {
        iconv_t cd = iconv_open(to, from);
        int ok = convert(cd, in, out, size);
        if (cd != kNoDescriptor)
            iconv_close(cd);
        return ok;
    }
    if (*slot == kNoDescriptor) {
        t_closer.armed = 1;  // first use of the closer: its destructor is due at thread end
        *slot = iconv_open(to, from);
    }
    return convert(*slot, in, out, size);
}

}  // namespace

int plat_cp950_to_utf8(const char* in, char* out, int size)
{
    if (!in || !out || size <= 0)
        return 0;
    return convert_with(&t_to_utf8, "CP950", "UTF-8", in, out, size);
}

int plat_utf8_to_cp950(const char* in, char* out, int size)
{
    if (!in || !out || size <= 0)
        return 0;
    return convert_with(&t_from_utf8, "UTF-8", "CP950", in, out, size);
}
