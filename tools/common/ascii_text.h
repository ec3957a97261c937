// ASCII case and blanks in names and descriptor texts: file endings,
// disc names, sheet keywords. Bytes outside ASCII (Big5, UTF-8) are left
// as they are, so a name is never changed beyond its ASCII letters.
#pragma once

#include <string>

// `c` with an ASCII capital turned into its small letter.
inline char ascii_lower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

// `c` with an ASCII small letter turned into its capital.
inline char ascii_upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// `s` with every ASCII capital turned into its small letter.
std::string ascii_lowered(std::string s);

// `s` without the blanks (space, tab, CR, LF) at either end.
std::string ascii_trimmed(const std::string& s);

// 1 when `s` ends with `suffix` (small letters) in any ASCII case, else 0.
int ends_with_ascii_nocase(const std::string& s, const char* suffix);
