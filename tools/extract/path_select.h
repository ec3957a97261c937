// Choosing what an extraction writes: the --include patterns of
// `discset extract`, matched against the UTF-8 path of every folder and
// file the records name.
//
// Patterns are globs on the path inside the install folder:
//  - "/" in a pattern is read as "\", the separator of record paths;
//  - "*" matches any run of characters within one name (it never crosses a
//    "\"), "**" any run including "\", "?" one character (a whole Big5
//    character, not a byte), "[abc]", "[a-z]" and "[!a-z]" (or "[^a-z]") one
//    character of (or not of) the set; there is no escape character: "[*]"
//    matches a "*";
//  - ASCII letters match without regard to case, as Windows finds names;
//    every other character matches only itself;
//  - a pattern that holds a "\" (a leading one is dropped) is matched
//    against the whole path from the install folder ("save\*.dat",
//    "\readme.txt"); one without a "\" is matched against the name alone, at
//    any depth ("*.txt");
//  - a pattern that matches a folder selects everything below it.
// A file is selected when a pattern matches it or one of its folders; the
// folders on the way to a selected file are created, nothing else is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PathPattern {
    std::u32string glob;  // the pattern, "/" turned into "\", leading "\" dropped
    bool whole_path;      // matched against the whole path, else against the name alone
    std::string text;     // as given, for messages
    int64_t hits;         // entries it selected
};

struct PathSelection {
    std::vector<PathPattern> patterns;  // none: everything is selected

    // Adds one pattern. 1, or 0 with the reason in *error (an empty pattern,
    // text that is not UTF-8, a "[" without its "]").
    int add(const std::string& pattern, std::string* error);
    // Whether the entry at `path` (UTF-8, "\" separated, with or without a
    // leading "\") is selected: 1 / 0. Counts a hit on every pattern that
    // selects it. Always 1 without patterns.
    int selects(const std::string& path);
    // The patterns that selected nothing so far, as given.
    std::vector<std::string> unmatched() const;
};

// Whether the whole of `text` matches `glob` (both as above; no folder
// rule): 1 / 0.
int glob_matches(const std::u32string& glob, const std::u32string& text);

// Code points of UTF-8 text; 0 when it is not UTF-8.
int decode_utf8(const std::string& utf8, std::u32string* out);
