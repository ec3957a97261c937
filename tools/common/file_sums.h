// Checksum lists in the form GNU sha256sum writes and `sha256sum -c` reads:
// one line per file, "HEX  PATH", the path relative to the folder checked,
// '/' between names. discset test --sums writes them for a set; discset
// verify checks an extracted folder against one.
#pragma once

#include "host_files.h"

#include <cstdint>
#include <string>
#include <vector>

// One line, with its '\n'. A path holding '\\', '\n' or '\r' is written as
// sha256sum writes it: the line starts with '\\' and those bytes become
// "\\\\", "\\n" and "\\r".
std::string sums_line(const std::string& sha256, const std::string& path);

// One line of a list (without its '\n', a trailing '\r' allowed): "HEX  PATH"
// or "HEX *PATH" (sha256sum's binary mode), escaped as sums_line writes.
// 1 with the digest (lower case) and the path, else 0.
int parse_sums_line(const std::string& line, std::string* sha256, std::string* path);

// A listed path that stays inside the folder: not empty, not absolute ('/',
// '\\' or a drive "C:" first), no ".." name and no ':' (a drive or a stream
// on Windows), '\\' counted as a separator too. 1, or 0 with why.
int sums_path_stays_inside(const std::string& path, std::string* why);

// What verify_sums found: the files that match, and one line per listed
// file that is missing, differs or cannot be checked, and per line that is
// no checksum line.
struct SumsVerdict {
    int64_t listed = 0;
    int64_t matched = 0;
    std::vector<std::string> problems;
};

// Checks every file the list `text` names below `folder`: each must be a
// regular file whose SHA-256 is the listed one. No name on the way from
// `folder` to a file may be a symbolic link (links are never followed, so
// no file outside `folder` is read). 1 when every file matches and the list
// names at least one; else 0 with the problems in *verdict.
int verify_sums(const std::string& text, const fs::path& folder, SumsVerdict* verdict);
