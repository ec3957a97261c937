#include "record_path.h"

#include "disc_format.h"
#include "platform.h"

#include <cstring>

namespace {

bool is_trail(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0xA1 && c <= 0xFE);
}

bool is_forbidden(unsigned char c)
{
    return c < 0x20 || c == ':' || c == '/' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// Does the component [begin, end) name a device? Windows takes the part
// before the first dot, without trailing spaces, as the device name.
bool is_device_name(const char* begin, const char* end)
{
    const char* stop = begin;
    while (stop < end && *stop != '.')
        ++stop;
    while (stop > begin && stop[-1] == ' ')
        --stop;
    size_t n = (size_t)(stop - begin);
    char base[8];
    if (n < 3 || n > 7)
        return false;
    for (size_t i = 0; i < n; ++i)
        base[i] = upper(begin[i]);
    base[n] = '\0';
    static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* name : kNames)
        if (strcmp(base, name) == 0)
            return true;
    if (n == 4 && (memcmp(base, "COM", 3) == 0 || memcmp(base, "LPT", 3) == 0) && base[3] >= '0' && base[3] <= '9')
        return true;
    return false;
}

int fail(const char** problem, const char* text)
{
    if (problem)
        *problem = text;
    return 0;
}

}  // namespace

const char* find_separator(const char* p)
{
    const unsigned char* s = (const unsigned char*)p;
    while (*s) {
        if (is_dbcs_lead(*s)) {
            if (!s[1])
                return nullptr;
            s += 2;
            continue;
        }
        if (*s == '\\')
            return (const char*)s;
        ++s;
    }
    return nullptr;
}

const char* find_last_separator(const char* p)
{
    const char* last = nullptr;
    for (const char* sep = find_separator(p); sep; sep = find_separator(sep + 1))
        last = sep;
    return last;
}

char* last_separator_char(char* text)
{
    char* last = nullptr;
    unsigned char* s = (unsigned char*)text;
    while (*s) {
        if (is_dbcs_lead(*s)) {
            if (!s[1])
                return nullptr;
            s += 2;
            last = nullptr;
            continue;
        }
        last = *s == '\\' ? (char*)s : nullptr;
        ++s;
    }
    return last;
}

const char* big5_round_trip_problem(unsigned char lead, unsigned char trail)
{
    // Two codes of one character each way, in either system's tables: the
    // name would come back from the host as the other code.
    static const struct {
        unsigned code;
        const char* problem;
    } kNoRoundTrip[] = {
        {0xA2A4, "Big5 code A2A4 does not convert back to itself (Windows turns its U+2550 into F9F9)"},
        {0xA2A5, "Big5 code A2A5 does not convert back to itself (Windows turns its U+255E into F9E9)"},
        {0xA2A6, "Big5 code A2A6 does not convert back to itself (Windows turns its U+256A into F9EA)"},
        {0xA2A7, "Big5 code A2A7 does not convert back to itself (Windows turns its U+2561 into F9EB)"},
        {0xA2CC, "Big5 code A2CC does not convert back to itself (its U+5341 becomes A451 on every system)"},
        {0xA2CE, "Big5 code A2CE does not convert back to itself (its U+5345 becomes A4CA on every system)"},
        {0xF9E9, "Big5 code F9E9 does not convert back to itself (Linux turns its U+255E into A2A5)"},
        {0xF9EA, "Big5 code F9EA does not convert back to itself (Linux turns its U+256A into A2A6)"},
        {0xF9EB, "Big5 code F9EB does not convert back to itself (Linux turns its U+2561 into A2A7)"},
        {0xF9F9, "Big5 code F9F9 does not convert back to itself (Linux turns its U+2550 into A2A4)"},
        {0xF9FA, "Big5 code F9FA does not convert back to itself (its U+256D becomes A27E on every system)"},
        {0xF9FB, "Big5 code F9FB does not convert back to itself (its U+256E becomes A2A1 on every system)"},
        {0xF9FC, "Big5 code F9FC does not convert back to itself (its U+2570 becomes A2A2 on every system)"},
        {0xF9FD, "Big5 code F9FD does not convert back to itself (its U+256F becomes A2A3 on every system)"},
    };
    unsigned code = (unsigned)lead << 8 | trail;
    for (const auto& c : kNoRoundTrip)
        if (c.code == code)
            return c.problem;
    return nullptr;
}

bool is_mapped_big5(unsigned char lead, unsigned char trail)
{
    if (!is_trail(trail))
        return false;
    unsigned code = (unsigned)lead << 8 | trail;
    bool ordinary = (code >= 0xA140 && code <= 0xA3BF) || code == 0xA3E1 || (code >= 0xA440 && code <= 0xC67E) ||
                    (code >= 0xC940 && code <= 0xF9FE);
    return ordinary && !big5_round_trip_problem(lead, trail);
}

int check_path_component(const unsigned char* name, int32_t length, const char** problem)
{
    if (problem)
        *problem = "";
    if (!name || length <= 0)
        return fail(problem, "empty path component");
    const unsigned char* end = name + length;
    for (const unsigned char* p = name; p < end;) {
        unsigned char c = *p;
        if (is_dbcs_lead(c)) {
            if (p + 1 >= end || !is_trail(p[1]))
                return fail(problem, "invalid Big5 character");
            if (const char* twin = big5_round_trip_problem(c, p[1]))
                return fail(problem, twin);
            if (!is_mapped_big5(c, p[1]))
                return fail(problem, "Big5 code without a Unicode character (user-defined or unassigned)");
            p += 2;
            continue;
        }
        if (c == '\\')
            return fail(problem, "separator inside a single name");
        if (c == 0x80 || c == 0xFF || is_forbidden(c))
            return fail(problem, "character not allowed in a path");
        ++p;
    }
    unsigned char last = end[-1];
    if (last == '.' || last == ' ')
        return fail(problem, "path component ending in a dot or space (such as \"..\")");
    if (is_device_name((const char*)name, (const char*)end))
        return fail(problem, "path component naming a device");
    return 1;
}

int fold_record_path(int32_t type, const unsigned char* data, int32_t length, int32_t install_path_length, char* out,
                     const char** problem)
{
    if (problem)
        *problem = "";
    if (out)
        out[0] = '\0';
    if (!out)
        return fail(problem, "no room for the path");
    if (!data || length <= 0)
        return fail(problem, "empty path");
    const unsigned char* nul = (const unsigned char*)memchr(data, 0, (size_t)length);
    if (!nul)
        return fail(problem, "path without its terminating NUL");
    int32_t n = (int32_t)(nul - data);
    if (install_path_length < 0 || (int64_t)install_path_length + n + 1 > PLAT_PATH_SIZE)
        return fail(problem, "path too long for the install folder");
    if (n == 0 || data[0] != '\\')
        return fail(problem, "path does not start with a backslash");
    bool directory = type == disc::kDirectory;
    if (n == 1) {
        // "\": the install folder itself, which the engine has made already.
        if (!directory)
            return fail(problem, "file path naming the install folder itself");
        return 1;
    }

    int32_t written = 0;
    const unsigned char* component = data + 1;
    for (;;) {
        const unsigned char* next = (const unsigned char*)find_separator((const char*)component);
        const unsigned char* stop = next ? next : nul;
        bool trailing_separator = next && next + 1 == nul;
        if (trailing_separator && !directory) {
            out[0] = '\0';
            return fail(problem, "file path ending in a backslash");
        }
        // Windows drops every trailing dot and space of the last component
        // of a path, and one trailing dot of any other (a component before
        // a trailing "\" counts as another). No trail byte is a dot or a
        // space, so the bytes can be looked at one by one.
        if (!next) {
            while (stop > component && (stop[-1] == '.' || stop[-1] == ' '))
                --stop;
        } else if (stop > component && stop[-1] == '.') {
            --stop;
        }
        int32_t size = (int32_t)(stop - component);
        if (size == 0 && (next ? next : nul) > component) {
            out[0] = '\0';
            return fail(problem, "path component of dots and spaces only (such as \"..\")");
        }
        if (!check_path_component(component, size, problem)) {
            out[0] = '\0';
            return 0;
        }
        out[written++] = '\\';
        memcpy(out + written, component, (size_t)size);
        written += size;
        out[written] = '\0';
        if (!next || trailing_separator)
            return 1;
        component = next + 1;
    }
}
