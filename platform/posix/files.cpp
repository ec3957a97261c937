// POSIX stand-in for the file system calls: Windows paths in code page 950
// are translated to host paths before every call.
//
// A drive letter names a host folder (Z: is "/" from the start, as under
// Wine). "\" and "/" both separate names. The path is converted to UTF-8 as a
// whole before the separators are looked at, so the second byte of a Big5
// character (0x5C in 許, 功, 蓋, ...) never splits a name.
#include "platform.h"

#include <algorithm>
#include <set>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const int kHostPathMax = 4096;

struct DriveMap {
    std::string folder[26];  // host folder per letter; empty: not mapped
    int type[26];            // reported drive type per letter
    DriveMap()
    {
        for (int& t : type)
            t = PLAT_DRIVE_FIXED;
        folder['Z' - 'A'] = "/";
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
    return -1;
}

bool is_sep(char c)
{
    return c == '\\' || c == '/';
}

// Is `path` equal to `folder` or below it (at a name boundary)?
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

// The drive whose folder holds the host's current directory (the longest
// match), for paths that start at a root without naming a drive.
int current_drive()
{
    char cwd[kHostPathMax];
    if (!getcwd(cwd, sizeof cwd))
        return 'Z' - 'A';
    int best = -1;
    size_t best_len = 0;
    for (int i = 0; i < 26; ++i) {
        size_t rest = 0;
        const std::string& f = drives().folder[i];
        if (under_folder(cwd, f, &rest) && (best < 0 || f.size() > best_len)) {
            best = i;
            best_len = f.size();
        }
    }
    return best < 0 ? 'Z' - 'A' : best;
}

bool translate(const char* path, std::string* host)
{
    if (!path)
        return false;
    char utf8[kHostPathMax];
    if (!plat_cp950_to_utf8(path, utf8, sizeof utf8))
        return false;
    std::string p = utf8;
    if (p.size() >= 2 && is_sep(p[0]) && is_sep(p[1]))
        return false;  // UNC names have no host form here
    std::string out;
    size_t rest = 0;
    if (p.size() >= 2 && p[1] == ':' && drive_index(p[0]) >= 0) {
        const std::string& folder = drives().folder[drive_index(p[0])];
        if (folder.empty())
            return false;
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
    return true;
}

}  // namespace

int plat_map_drive(char letter, const char* host_folder)
{
    int i = drive_index(letter);
    if (i < 0)
        return 0;
    drives().folder[i] = host_folder ? host_folder : "";
    return 1;
}

int plat_set_drive_type(char letter, int type)
{
    int i = drive_index(letter);
    if (i < 0)
        return 0;
    drives().type[i] = type;
    return 1;
}

int plat_posix_drive_type(char letter)
{
    int i = drive_index(letter);
    if (i < 0 || drives().folder[i].empty())
        return PLAT_DRIVE_NO_ROOT;
    return drives().type[i];
}

int plat_to_host_path(const char* path, char* out, int size)
{
    std::string host;
    if (!out || size <= 0 || !translate(path, &host) || host.size() + 1 > (size_t)size)
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
        int best = -1;
        size_t best_len = 0, best_rest = 0;
        for (int i = 0; i < 26; ++i) {
            size_t rest = 0;
            const std::string& f = drives().folder[i];
            if (under_folder(p, f, &rest) && (best < 0 || f.size() > best_len)) {
                best = i;
                best_len = f.size();
                best_rest = rest;
            }
        }
        if (best < 0)
            return 0;
        win = std::string(1, (char)('A' + best)) + ":\\" + p.substr(std::min(best_rest, p.size()));
    } else {
        win = p;
    }
    std::replace(win.begin(), win.end(), '/', '\\');
    return plat_utf8_to_cp950(win.c_str(), out, size);
}

FILE* plat_fopen(const char* path, const char* mode)
{
    std::string host;
    if (!translate(path, &host))
        return nullptr;
    return fopen(host.c_str(), mode);
}

int plat_create_directory(const char* path)
{
    std::string host;
    return translate(path, &host) && mkdir(host.c_str(), 0777) == 0;
}

int plat_remove_directory(const char* path)
{
    std::string host;
    return translate(path, &host) && rmdir(host.c_str()) == 0;
}

int plat_remove_file(const char* path)
{
    std::string host;
    struct stat st;
    // remove() would also take an empty directory; only files go here.
    if (!translate(path, &host) || lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return 0;
    return unlink(host.c_str()) == 0;
}

// rename() replaces an existing target, MoveFileA does not. The target is
// looked at first; between that look and the rename another process could
// create it, which a single-user installer accepts. (link() + unlink()
// would close that gap but fails on file systems without hard links.)
int plat_rename_file(const char* from, const char* to)
{
    std::string host_from, host_to;
    struct stat st;
    if (!translate(from, &host_from) || !translate(to, &host_to))
        return 0;
    if (lstat(host_to.c_str(), &st) == 0 || errno != ENOENT)
        return 0;
    return rename(host_from.c_str(), host_to.c_str()) == 0;
}

int plat_get_current_directory(char* buf, int size)
{
    char cwd[kHostPathMax];
    if (!buf || size <= 0 || !getcwd(cwd, sizeof cwd))
        return 0;
    return plat_from_host_path(cwd, buf, size);
}

int plat_set_current_directory(const char* path)
{
    std::string host;
    return translate(path, &host) && chdir(host.c_str()) == 0;
}

uint32_t plat_file_attributes(const char* path)
{
    std::string host;
    struct stat st;
    if (!translate(path, &host) || stat(host.c_str(), &st) != 0)
        return PLAT_ATTR_INVALID;
    uint32_t a = 0;
    if (S_ISDIR(st.st_mode))
        a |= PLAT_ATTR_DIRECTORY;
    if (!(st.st_mode & S_IWUSR))
        a |= PLAT_ATTR_READONLY;
    const char* base = strrchr(host.c_str(), '/');
    base = base ? base + 1 : host.c_str();
    if (base[0] == '.' && strcmp(base, ".") != 0 && strcmp(base, "..") != 0)
        a |= PLAT_ATTR_HIDDEN;
    if (a == 0)
        a = 0x80;  // FILE_ATTRIBUTE_NORMAL
    return a;
}

int plat_set_read_only(const char* path, int read_only)
{
    std::string host;
    struct stat st;
    if (!translate(path, &host) || stat(host.c_str(), &st) != 0)
        return 0;
    mode_t m = st.st_mode & 07777;
    m = read_only ? (m & ~(mode_t)0222) : (m | S_IWUSR);
    return chmod(host.c_str(), m) == 0;
}

namespace {

bool same_identity(const struct stat& x, const struct stat& y)
{
    return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

std::set<std::string>& files_in_use()
{
    static std::set<std::string> marked;
    return marked;
}

}  // namespace

int plat_same_file(const char* a, const char* b)
{
    std::string host_a, host_b;
    struct stat sa, sb;
    if (!translate(a, &host_a) || !translate(b, &host_b) || stat(host_a.c_str(), &sa) != 0 ||
        stat(host_b.c_str(), &sb) != 0)
        return 0;
    return same_identity(sa, sb) ? 1 : 0;
}

int plat_stream_is_file(FILE* stream, const char* path)
{
    std::string host;
    struct stat ss, sp;
    if (!stream || !translate(path, &host) || fstat(fileno(stream), &ss) != 0 || stat(host.c_str(), &sp) != 0)
        return 0;
    return same_identity(ss, sp) ? 1 : 0;
}

int plat_mark_file_in_use(const char* path, int in_use)
{
    if (!path)
        return 0;
    if (in_use)
        files_in_use().insert(path);
    else
        files_in_use().erase(path);
    return 1;
}

int plat_file_in_use(const char* path)
{
    return path && files_in_use().count(path) && plat_file_attributes(path) != PLAT_ATTR_INVALID ? 1 : 0;
}

// ---- Directory listing -------------------------------------------------------

namespace {

struct Listing {
    std::vector<DirEntry> entries;
    size_t next;
};

}  // namespace

int DirListing::open(const char* dir, DirEntry* first)
{
    close();
    std::string host;
    if (!translate(dir, &host))
        return 0;
    DIR* d = opendir(host.empty() ? "." : host.c_str());
    if (!d)
        return 0;
    Listing* l = new Listing();
    l->next = 0;
    while (dirent* e = readdir(d)) {
        DirEntry entry;
        // A host name with no Big5 form cannot be named by the system; it is
        // left out rather than handed on under a wrong name.
        if (!plat_utf8_to_cp950(e->d_name, entry.name, sizeof entry.name))
            continue;
        std::string full = host.empty() ? e->d_name : host + "/" + e->d_name;
        struct stat st;
        if (lstat(full.c_str(), &st) != 0)
            continue;
        entry.attrib = S_ISDIR(st.st_mode) ? (uint32_t)PLAT_ATTR_DIRECTORY : 0u;
        if (!(st.st_mode & S_IWUSR))
            entry.attrib |= PLAT_ATTR_READONLY;
        if (e->d_name[0] == '.' && strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            entry.attrib |= PLAT_ATTR_HIDDEN;
        l->entries.push_back(entry);
    }
    closedir(d);
    // Host listings come in no particular order; sort by name so that every
    // run (and every tool built on this) sees the same order.
    std::sort(l->entries.begin(), l->entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return strcmp(a.name, b.name) < 0; });
    impl = l;
    if (!next(first)) {
        close();
        return 0;
    }
    return 1;
}

int DirListing::next(DirEntry* entry)
{
    Listing* l = static_cast<Listing*>(impl);
    if (!l || !entry || l->next >= l->entries.size())
        return 0;
    *entry = l->entries[l->next++];
    return 1;
}

void DirListing::close()
{
    delete static_cast<Listing*>(impl);
    impl = nullptr;
}
