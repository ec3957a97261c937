// POSIX stand-in for the file system calls. Every Windows path is turned
// into a host path first (posix/host_paths.h).
#include "platform.h"
#include "posix/host_paths.h"

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

bool is_dot_entry(const char* name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// The attributes of the host entry `host`, the same for plat_file_attributes
// and for listings, or PLAT_ATTR_INVALID when there is no such entry. A
// symbolic link stands for a Windows link (a reparse point): it carries the
// directory bit when it leads to a directory, as a directory link does, and
// the read-only bit of what it leads to, which plat_set_read_only changes. A
// link that leads nowhere is a reparse point and nothing else. Names that
// start with a dot are hidden, as under Wine.
uint32_t attributes_of(const std::string& host)
{
    struct stat own, target;
    if (lstat(host.c_str(), &own) != 0)
        return PLAT_ATTR_INVALID;
    uint32_t a = 0;
    const struct stat* st = &own;
    if (S_ISLNK(own.st_mode)) {
        a |= PLAT_ATTR_REPARSE_POINT;
        st = stat(host.c_str(), &target) == 0 ? &target : nullptr;
    }
    if (st && S_ISDIR(st->st_mode))
        a |= PLAT_ATTR_DIRECTORY;
    if (st && !(st->st_mode & S_IWUSR))
        a |= PLAT_ATTR_READONLY;
    size_t slash = host.rfind('/');
    const char* base = host.c_str() + (slash == std::string::npos ? 0 : slash + 1);
    if (base[0] == '.' && !is_dot_entry(base))
        a |= PLAT_ATTR_HIDDEN;
    return a == 0 ? (uint32_t)PLAT_ATTR_NORMAL : a;
}

}  // namespace

FILE* plat_fopen(const char* path, const char* mode)
{
    if (FILE* served = plat_open_by_handler(path, mode))
        return served;
    std::string host;
    if (!host_path_of(path, &host))
        return nullptr;
    return fopen(host.c_str(), mode);
}

int plat_create_directory(const char* path)
{
    std::string host;
    return host_path_of(path, &host) && mkdir(host.c_str(), 0777) == 0;
}

// A link to a directory goes as RemoveDirectoryA removes a directory link:
// the link itself, whatever the folder it leads to holds.
int plat_remove_directory(const char* path)
{
    std::string host;
    if (!host_path_of(path, &host))
        return 0;
    const uint32_t kDirectoryLink = PLAT_ATTR_DIRECTORY | PLAT_ATTR_REPARSE_POINT;
    uint32_t a = attributes_of(host);
    if (a != PLAT_ATTR_INVALID && (a & kDirectoryLink) == kDirectoryLink)
        return unlink(host.c_str()) == 0;
    return rmdir(host.c_str()) == 0;
}

int plat_remove_file(const char* path)
{
    std::string host;
    struct stat st;
    // remove() would also take an empty directory; only files go here.
    if (!host_path_of(path, &host) || lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
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
    if (!host_path_of(from, &host_from) || !host_path_of(to, &host_to))
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
    return host_path_of(path, &host) && chdir(host.c_str()) == 0;
}

uint32_t plat_file_attributes(const char* path)
{
    std::string host;
    return host_path_of(path, &host) ? attributes_of(host) : (uint32_t)PLAT_ATTR_INVALID;
}

int plat_is_link(const char* path)
{
    std::string host;
    struct stat st;
    return host_path_of(path, &host) && lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode) ? 1 : 0;
}

int plat_set_read_only(const char* path, int read_only)
{
    std::string host;
    struct stat st;
    if (!host_path_of(path, &host) || stat(host.c_str(), &st) != 0)
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
    if (!host_path_of(a, &host_a) || !host_path_of(b, &host_b) || stat(host_a.c_str(), &sa) != 0 ||
        stat(host_b.c_str(), &sb) != 0)
        return 0;
    return same_identity(sa, sb) ? 1 : 0;
}

int plat_stream_is_file(FILE* stream, const char* path)
{
    std::string host;
    struct stat ss, sp;
    if (!stream || !host_path_of(path, &host) || fstat(fileno(stream), &ss) != 0 || stat(host.c_str(), &sp) != 0)
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
    if (!host_path_of(dir, &host))
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
        entry.attrib = attributes_of(host.empty() ? e->d_name : host + "/" + e->d_name);
        if (entry.attrib == PLAT_ATTR_INVALID)
            continue;  // gone since readdir saw it
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
