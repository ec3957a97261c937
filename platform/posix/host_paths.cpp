// The POSIX stand-in's path translation (host_paths.h): the drive map, and
// Windows paths to host paths and back. No file is touched here.
#include "posix/host_paths.h"

#include "platform.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace {

const int kHostPathMax = 4096;
const int kNoDrive = -1;
const int kDriveZ = 'Z' - 'A';

struct DriveMap {
    std::string folder[26];  // host folder per letter; empty: not mapped
    int type[26];            // reported drive type per letter
    DriveMap()
    {
        for (int& t : type)
            t = PLAT_DRIVE_FIXED;
        folder[kDriveZ] = "/";
    }
};

DriveMap& drives()
{
    static DriveMap map;
    return map;
}

int drive_index(char letter)
{
    if (letter >= 'a' && letter <= 'z')
        return letter - 'a';
    if (letter >= 'A' && letter <= 'Z')
        return letter - 'A';
    return kNoDrive;
}

bool is_sep(char c)
{
    return c == '\\' || c == '/';
}

// Is `path` equal to `folder` or below it (at a name boundary)? *rest: where
// the part below the folder starts.
bool under_folder(const std::string& path, const std::string& folder, size_t* rest)
{
    if (folder.empty())
        return false;
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    if (f == "/") {
        if (path.empty() || path[0] != '/')
            return false;
        *rest = 1;
        return true;
    }
    if (path.compare(0, f.size(), f) != 0)
        return false;
    if (path.size() == f.size()) {
        *rest = path.size();
        return true;
    }
    if (path[f.size()] != '/')
        return false;
    *rest = f.size() + 1;
    return true;
}

// The drive whose folder holds the host path `path`, the longest folder
// winning when several do (E: at "/c/deeper" before C: at "/c"), or kNoDrive.
// *rest: where the part below that folder starts.
int drive_holding(const std::string& path, size_t* rest)
{
    int best = kNoDrive;
    size_t best_len = 0;
    for (int i = 0; i < 26; ++i) {
        size_t r = 0;
        const std::string& f = drives().folder[i];
        if (under_folder(path, f, &r) && (best == kNoDrive || f.size() > best_len)) {
            best = i;
            best_len = f.size();
            *rest = r;
        }
    }
    return best;
}

// The drive that holds the host's current directory, for paths that start
// at a root without naming a drive.
int current_drive()
{
    char cwd[kHostPathMax];
    size_t rest = 0;
    int drive = getcwd(cwd, sizeof cwd) ? drive_holding(cwd, &rest) : kNoDrive;
    return drive == kNoDrive ? kDriveZ : drive;
}

}  // namespace

int host_path_of(const char* path, std::string* host)
{
    if (!path)
        return 0;
    char utf8[kHostPathMax];
    if (!plat_cp950_to_utf8(path, utf8, sizeof utf8))
        return 0;
    std::string p = utf8;
    if (p.size() >= 2 && is_sep(p[0]) && is_sep(p[1]))
        return 0;  // UNC names have no host form here
    std::string out;
    size_t rest = 0;
    if (p.size() >= 2 && p[1] == ':' && drive_index(p[0]) != kNoDrive) {
        const std::string& folder = drives().folder[drive_index(p[0])];
        if (folder.empty())
            return 0;
        out = folder;
        rest = 2;
    } else if (!p.empty() && is_sep(p[0])) {
        out = drives().folder[current_drive()];
        rest = 0;
    }
    if (!out.empty()) {
        // Join the drive's folder and the rest with exactly one '/'.
        while (rest < p.size() && is_sep(p[rest]))
            ++rest;
        if (rest < p.size()) {
            if (out.back() != '/')
                out += '/';
            out.append(p, rest, std::string::npos);
        }
    } else {
        out = p;
    }
    std::replace(out.begin(), out.end(), '\\', '/');
    *host = out;
    return 1;
}

int plat_map_drive(char letter, const char* host_folder)
{
    int i = drive_index(letter);
    if (i == kNoDrive)
        return 0;
    drives().folder[i] = host_folder ? host_folder : "";
    return 1;
}

int plat_set_drive_type(char letter, int type)
{
    int i = drive_index(letter);
    if (i == kNoDrive)
        return 0;
    drives().type[i] = type;
    return 1;
}

int plat_posix_drive_type(char letter)
{
    int i = drive_index(letter);
    if (i == kNoDrive || drives().folder[i].empty())
        return PLAT_DRIVE_NO_ROOT;
    return drives().type[i];
}

int plat_to_host_path(const char* path, char* out, int size)
{
    std::string host;
    if (!out || size <= 0 || !host_path_of(path, &host) || host.size() + 1 > (size_t)size)
        return 0;
    memcpy(out, host.c_str(), host.size() + 1);
    return 1;
}

int plat_from_host_path(const char* host_path, char* out, int size)
{
    if (!host_path || !out || size <= 0)
        return 0;
    std::string p = host_path;
    std::string win;
    if (!p.empty() && p[0] == '/') {
        size_t rest = 0;
        int drive = drive_holding(p, &rest);
        if (drive == kNoDrive)
            return 0;
        win = std::string(1, (char)('A' + drive)) + ":\\" + p.substr(std::min(rest, p.size()));
    } else {
        win = p;
    }
    std::replace(win.begin(), win.end(), '/', '\\');
    return plat_utf8_to_cp950(win.c_str(), out, size);
}
