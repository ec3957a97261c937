#include "path_select.h"

#include <cstring>

namespace {

const char32_t kSeparator = U'\\';

char32_t fold(char32_t c)
{
    return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c;
}

// The end of the class that starts at glob[at] ("["), the index of its
// "]", or npos. A "]" right after "[" (or "[!") is a member, as in fnmatch.
size_t class_end(const std::u32string& glob, size_t at)
{
    size_t i = at + 1;
    if (i < glob.size() && (glob[i] == U'!' || glob[i] == U'^'))
        ++i;
    if (i < glob.size() && glob[i] == U']')
        ++i;
    for (; i < glob.size(); ++i)
        if (glob[i] == U']')
            return i;
    return std::u32string::npos;
}

// Whether `c` is in the class glob[at .. end] ("[" to "]").
int in_class(const std::u32string& glob, size_t at, size_t end, char32_t c)
{
    size_t i = at + 1;
    bool negated = i < end && (glob[i] == U'!' || glob[i] == U'^');
    if (negated)
        ++i;
    bool found = false;
    bool first = true;
    for (; i < end; ++i, first = false) {
        char32_t lo = glob[i];
        if (lo == U']' && !first)
            break;
        if (i + 2 < end && glob[i + 1] == U'-') {
            char32_t hi = glob[i + 2];
            // A range of letters takes both cases: [a-c] holds B.
            if ((c >= lo && c <= hi) || (fold(c) >= fold(lo) && fold(c) <= fold(hi)))
                found = true;
            i += 2;
        } else if (fold(c) == fold(lo)) {
            found = true;
        }
    }
    return found != negated && c != kSeparator;
}

// The names of `path` without its leading separator.
std::u32string without_leading_separator(const std::u32string& path)
{
    size_t from = 0;
    while (from < path.size() && path[from] == kSeparator)
        ++from;
    return path.substr(from);
}

}  // namespace

int decode_utf8(const std::string& utf8, std::u32string* out)
{
    out->clear();
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = (unsigned char)utf8[i];
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || (extra > 0 && i + (size_t)extra >= utf8.size()))
            return 0;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char t = (unsigned char)utf8[i + k];
            if ((t & 0xC0) != 0x80)
                return 0;
            cp = cp << 6 | (t & 0x3F);
        }
        static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
        out->push_back(cp);
        i += (size_t)extra + 1;
    }
    return 1;
}

int glob_matches(const std::u32string& glob, const std::u32string& text)
{
    // matched[j]: glob[0 .. g) matches text[0 .. j). Filled one pattern
    // element at a time, so the work is at most glob size x text size.
    std::vector<char> matched(text.size() + 1, 0), next(text.size() + 1, 0);
    matched[0] = 1;
    for (size_t g = 0; g < glob.size();) {
        char32_t p = glob[g];
        size_t step = 1;
        std::fill(next.begin(), next.end(), 0);
        if (p == U'*') {
            bool crosses = g + 1 < glob.size() && glob[g + 1] == U'*';
            while (g + step < glob.size() && glob[g + step] == U'*')
                ++step;
            // Any run from a matched position: within one name, or any.
            bool running = false;
            for (size_t j = 0; j <= text.size(); ++j) {
                if (matched[j])
                    running = true;
                if (running)
                    next[j] = 1;
                if (j < text.size() && text[j] == kSeparator && !crosses)
                    running = false;
            }
        } else if (p == U'[' && class_end(glob, g) != std::u32string::npos) {
            size_t end = class_end(glob, g);
            for (size_t j = 0; j < text.size(); ++j)
                if (matched[j] && in_class(glob, g, end, text[j]))
                    next[j + 1] = 1;
            step = end - g + 1;
        } else {
            for (size_t j = 0; j < text.size(); ++j)
                if (matched[j] && (p == U'?' ? text[j] != kSeparator : fold(p) == fold(text[j])))
                    next[j + 1] = 1;
        }
        matched.swap(next);
        g += step;
    }
    return matched[text.size()] ? 1 : 0;
}

int PathSelection::add(const std::string& pattern, std::string* error)
{
    PathPattern p;
    p.text = pattern;
    p.hits = 0;
    std::u32string glob;
    if (!decode_utf8(pattern, &glob)) {
        *error = "the pattern " + pattern + " is not UTF-8 text";
        return 0;
    }
    for (char32_t& c : glob)
        if (c == U'/')
            c = kSeparator;
    p.whole_path = glob.find(kSeparator) != std::u32string::npos;
    p.glob = without_leading_separator(glob);
    if (p.glob.empty()) {
        *error = "the pattern \"" + pattern + "\" names no file or folder";
        return 0;
    }
    for (size_t i = 0; i < p.glob.size(); ++i)
        if (p.glob[i] == U'[') {
            size_t end = class_end(p.glob, i);
            if (end == std::u32string::npos) {
                *error = "the pattern " + pattern + " opens a [ set without closing it";
                return 0;
            }
            i = end;
        }
    patterns.push_back(p);
    return 1;
}

int PathSelection::selects(const std::string& path)
{
    if (patterns.empty())
        return 1;
    std::u32string text;
    if (!decode_utf8(path, &text))
        return 0;
    text = without_leading_separator(text);
    int any = 0;
    for (PathPattern& p : patterns) {
        // The path itself and each of its folders, shortest first.
        bool hit = false;
        size_t name_start = 0;
        for (size_t end = 0; end <= text.size() && !hit; ++end) {
            if (end < text.size() && text[end] != kSeparator)
                continue;
            if (p.whole_path)
                hit = glob_matches(p.glob, text.substr(0, end)) == 1;
            else
                hit = glob_matches(p.glob, text.substr(name_start, end - name_start)) == 1;
            name_start = end + 1;
        }
        if (hit) {
            ++p.hits;
            any = 1;
        }
    }
    return any;
}

std::vector<std::string> PathSelection::unmatched() const
{
    std::vector<std::string> out;
    for (const PathPattern& p : patterns)
        if (p.hits == 0)
            out.push_back(p.text);
    return out;
}
