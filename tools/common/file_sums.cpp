#include "file_sums.h"

#include "sha256.h"

#include <cstdio>
#include <memory>

std::string sums_line(const std::string& sha256, const std::string& path)
{
    std::string name;
    bool escaped = false;
    for (char c : path) {
        if (c == '\\' || c == '\n' || c == '\r') {
            escaped = true;
            name += '\\';
            name += c == '\\' ? '\\' : c == '\n' ? 'n' : 'r';
        } else {
            name += c;
        }
    }
    return (escaped ? "\\" : "") + sha256 + "  " + name + "\n";
}

int parse_sums_line(const std::string& text, std::string* sha256, std::string* path)
{
    std::string line = text;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    bool escaped = !line.empty() && line[0] == '\\';
    size_t at = escaped ? 1 : 0;
    if (line.size() < at + 66)
        return 0;
    std::string hex = line.substr(at, 64);
    for (char& c : hex) {
        if (c >= 'A' && c <= 'F')
            c = (char)(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return 0;
    }
    at += 64;
    if (line[at] != ' ' || (line[at + 1] != ' ' && line[at + 1] != '*'))
        return 0;
    std::string name;
    for (size_t i = at + 2; i < line.size(); ++i) {
        char c = line[i];
        if (escaped && c == '\\') {
            if (++i == line.size())
                return 0;
            c = line[i] == '\\' ? '\\' : line[i] == 'n' ? '\n' : line[i] == 'r' ? '\r' : 0;
            if (!c)
                return 0;
        }
        name += c;
    }
    if (name.empty())
        return 0;
    *sha256 = hex;
    *path = name;
    return 1;
}

int sums_path_stays_inside(const std::string& path, std::string* why)
{
    if (path.empty()) {
        *why = "an empty path";
        return 0;
    }
    if (path[0] == '/' || path[0] == '\\' || path.find(':') != std::string::npos) {
        *why = "an absolute path, a drive or a stream (outside the folder)";
        return 0;
    }
    size_t start = 0;
    for (;;) {
        size_t end = path.find_first_of("/\\", start);
        std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (name == "..") {
            *why = "a path that climbs out of the folder (..)";
            return 0;
        }
        if (end == std::string::npos)
            return 1;
        start = end + 1;
    }
}

namespace {

// The listed file below `folder`, each name on the way checked not to be a
// link. 1 with *file, or 0 with what is wrong.
int find_listed(const fs::path& folder, const std::string& path, fs::path* file, std::string* problem)
{
    fs::path at = folder;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('/', start);
        std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end + 1;
        if (name.empty() || name == ".") {
            if (end == std::string::npos)
                break;
            continue;
        }
        at /= host_path_from_utf8(name);
        std::error_code ec;
        fs::file_status s = fs::symlink_status(at, ec);
        if (fs::is_symlink(s)) {
            *problem = "is reached through a symbolic link (" + utf8_of(at) + "), which is not followed";
            return 0;
        }
        if (!fs::exists(s)) {
            *problem = "missing";
            return 0;
        }
        if (end == std::string::npos) {
            if (!fs::is_regular_file(s)) {
                *problem = "is not a file";
                return 0;
            }
            *file = at;
            return 1;
        }
        if (!fs::is_directory(s)) {
            *problem = "missing (" + utf8_of(at) + " is not a folder)";
            return 0;
        }
    }
    *problem = "names no file";
    return 0;
}

// The SHA-256 of a host file. 1 / 0.
int hash_host_file(Sha256* hash, const fs::path& file, std::string* hex)
{
    FILE* f = open_host_file_read(file);
    if (!f)
        return 0;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[1 << 20]);
    int ok = hash->restart();
    size_t n;
    while (ok && (n = fread(buffer.get(), 1, 1 << 20, f)) > 0)
        ok = hash->update(buffer.get(), n);
    ok = ok && !ferror(f) && hash->finish(hex);
    fclose(f);
    return ok;
}

}  // namespace

int verify_sums(const std::string& text, const fs::path& folder, SumsVerdict* verdict)
{
    Sha256 hash;
    if (!hash.create()) {
        verdict->problems.push_back("SHA-256 is not available on this system");
        return 0;
    }
    size_t start = 0;
    int64_t number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        ++number;
        std::string listed, path, why, actual;
        if (line.empty())
            continue;
        if (!parse_sums_line(line, &listed, &path)) {
            verdict->problems.push_back("line " + std::to_string(number) + ": not a checksum line (HEX  PATH)");
            continue;
        }
        ++verdict->listed;
        fs::path file;
        if (!sums_path_stays_inside(path, &why)) {
            verdict->problems.push_back(path + ": refused: " + why);
        } else if (!find_listed(folder, path, &file, &why)) {
            verdict->problems.push_back(path + ": " + why);
        } else if (!hash_host_file(&hash, file, &actual)) {
            verdict->problems.push_back(path + ": cannot be read");
        } else if (actual != listed) {
            verdict->problems.push_back(path + ": differs (sha256 " + actual + ", listed " + listed + ")");
        } else {
            ++verdict->matched;
        }
    }
    hash.release();
    if (verdict->listed == 0 && verdict->problems.empty())
        verdict->problems.push_back("the list names no file");
    return verdict->problems.empty() ? 1 : 0;
}
