#include "ascii_text.h"

#include <cstring>

std::string ascii_lowered(std::string s)
{
    for (char& c : s)
        c = ascii_lower(c);
    return s;
}

std::string ascii_trimmed(const std::string& s)
{
    const char* blanks = " \t\r\n";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    size_t last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

int ends_with_ascii_nocase(const std::string& s, const char* suffix)
{
    size_t n = strlen(suffix);
    if (s.size() < n)
        return 0;
    for (size_t i = 0; i < n; ++i)
        if (ascii_lower(s[s.size() - n + i]) != suffix[i])
            return 0;
    return 1;
}
