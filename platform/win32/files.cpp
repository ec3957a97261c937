// Win32 file system calls: the "A" functions take the code page 950 paths
// as they are.
#include "platform.h"

#include <windows.h>

#include <cstring>
#include <io.h>
#include <string>

FILE* plat_fopen(const char* path, const char* mode)
{
    if (!path)
        return nullptr;
    if (FILE* served = plat_open_by_handler(path, mode))
        return served;
    return fopen(path, mode);
}

int plat_create_directory(const char* path)
{
    return path && CreateDirectoryA(path, nullptr) ? 1 : 0;
}

int plat_remove_directory(const char* path)
{
    return path && RemoveDirectoryA(path) ? 1 : 0;
}

int plat_remove_file(const char* path)
{
    return path && DeleteFileA(path) ? 1 : 0;
}

// MoveFileA never replaces an existing target and renames read-only files.
int plat_rename_file(const char* from, const char* to)
{
    return from && to && MoveFileA(from, to) ? 1 : 0;
}

int plat_get_current_directory(char* buf, int size)
{
    if (!buf || size <= 0)
        return 0;
    DWORD n = GetCurrentDirectoryA((DWORD)size, buf);
    if (n == 0 || n >= (DWORD)size) {
        buf[0] = '\0';
        return 0;
    }
    return 1;
}

int plat_set_current_directory(const char* path)
{
    return path && SetCurrentDirectoryA(path) ? 1 : 0;
}

uint32_t plat_file_attributes(const char* path)
{
    if (!path)
        return PLAT_ATTR_INVALID;
    DWORD a = GetFileAttributesA(path);
    return a == INVALID_FILE_ATTRIBUTES ? PLAT_ATTR_INVALID : (uint32_t)a;
}

int plat_set_read_only(const char* path, int read_only)
{
    DWORD a = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    if (a == INVALID_FILE_ATTRIBUTES)
        return 0;
    a = read_only ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~(DWORD)FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesA(path, a) ? 1 : 0;
}

// ---- File identity -----------------------------------------------------------

namespace {

// Volume and file index of an open handle. An index of 0 is taken as
// unknown (a file system that keeps none), so it never makes two files one.
bool identity_of(HANDLE h, BY_HANDLE_FILE_INFORMATION* info)
{
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, info))
        return false;
    return info->nFileIndexHigh != 0 || info->nFileIndexLow != 0;
}

// A handle on `path` for asking about it: no access asked (nothing is read
// or written), directories open too (backup semantics), and no share mode
// is refused to others.
HANDLE open_to_query(const char* path)
{
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The same for a path.
bool identity_of(const char* path, BY_HANDLE_FILE_INFORMATION* info)
{
    if (!path)
        return false;
    HANDLE h = open_to_query(path);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = identity_of(h, info);
    CloseHandle(h);
    return ok;
}

// One file has one volume and index, and so one size and write time too.
// The last two are compared as well because some layers (Wine) report no
// volume serial number, and an index is unique only within its volume.
bool same_identity(const BY_HANDLE_FILE_INFORMATION& x, const BY_HANDLE_FILE_INFORMATION& y)
{
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow && x.nFileSizeHigh == y.nFileSizeHigh &&
           x.nFileSizeLow == y.nFileSizeLow && x.ftLastWriteTime.dwLowDateTime == y.ftLastWriteTime.dwLowDateTime &&
           x.ftLastWriteTime.dwHighDateTime == y.ftLastWriteTime.dwHighDateTime;
}

}  // namespace

int plat_same_file(const char* a, const char* b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return identity_of(a, &ia) && identity_of(b, &ib) && same_identity(ia, ib) ? 1 : 0;
}

namespace {

typedef DWORD(WINAPI* FinalPathFunction)(HANDLE, LPSTR, DWORD, DWORD);

// GetFinalPathNameByHandleA, which Windows before Vista lacks.
FinalPathFunction final_path_function()
{
    static FinalPathFunction f =
        (FinalPathFunction)(void (*)())GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA");
    return f;
}

// The path the system reaches when it opens `path`, every link on the way
// followed, into `out` (`size` bytes). 1 / 0.
bool final_path_of(const char* path, char* out, DWORD size)
{
    FinalPathFunction final_path = final_path_function();
    if (!final_path)
        return false;
    HANDLE h = open_to_query(path);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD n = final_path(h, out, size, 0);
    CloseHandle(h);
    return n > 0 && n < size;
}

// The last separator of `path` that is a character of its own (a Big5
// character's second byte 0x5C is not one), or null.
const char* last_separator(const char* path)
{
    const char* last = nullptr;
    for (const char* p = path; *p; ++p) {
        if (IsDBCSLeadByte((BYTE)*p) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '\\' || *p == '/')
            last = p;
    }
    return last;
}

}  // namespace

// A link carries the reparse-point attribute on Windows. Wine reports a
// linked file without it, and opening the file then leads to what the link
// names: the entry's final path is not its folder's final path and its name.
int plat_is_link(const char* path)
{
    DWORD a = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    if (a == INVALID_FILE_ATTRIBUTES)
        return 0;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT)
        return 1;
    const char* sep = last_separator(path);
    if (!sep || !sep[1] || sep == path)
        return 0;  // a name with no folder: nothing to compare with
    // A folder that is a drive's root keeps its separator, as in C:\ .
    std::string folder(path, (size_t)(sep - path) + (sep[-1] == ':' ? 1 : 0));
    char entry_final[MAX_PATH * 2], folder_final[MAX_PATH * 2];
    if (!final_path_of(path, entry_final, sizeof entry_final) ||
        !final_path_of(folder.c_str(), folder_final, sizeof folder_final))
        return 0;
    // A separator of its own ends a root; 蓋 ends in the byte 0x5C too.
    std::string expected = folder_final;
    const char* folder_end = last_separator(folder_final);
    if (!folder_end || folder_end[1])
        expected += '\\';
    expected += sep + 1;
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, entry_final, -1, expected.c_str(), -1) == CSTR_EQUAL
               ? 0
               : 1;
}

int plat_stream_is_file(FILE* stream, const char* path)
{
    BY_HANDLE_FILE_INFORMATION is, ip;
    if (!stream)
        return 0;
    HANDLE h = (HANDLE)_get_osfhandle(_fileno(stream));
    return identity_of(h, &is) && identity_of(path, &ip) && same_identity(is, ip) ? 1 : 0;
}

int plat_file_in_use(const char* path)
{
    if (!path)
        return 0;
    // DeleteFileA opens the file for deletion with every share mode; a
    // program that opened it without FILE_SHARE_DELETE makes that fail.
    HANDLE h = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? 1 : 0;
    CloseHandle(h);
    return 0;
}

// ---- Directory listing (the runtime's _findfirst family) --------------------

namespace {

struct Listing {
    intptr_t handle;
};

void fill(DirEntry* entry, const _finddata_t& fd)
{
    strncpy(entry->name, fd.name, sizeof entry->name - 1);
    entry->name[sizeof entry->name - 1] = '\0';
    entry->attrib = fd.attrib;
}

}  // namespace

int DirListing::open(const char* dir, DirEntry* first)
{
    close();
    if (!dir || !first)
        return 0;
    std::string pattern = dir;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/' && pattern.back() != ':')
        pattern += '\\';
    pattern += "*.*";
    _finddata_t fd;
    intptr_t h = _findfirst(pattern.c_str(), &fd);
    if (h == -1)
        return 0;
    Listing* l = new Listing();
    l->handle = h;
    impl = l;
    fill(first, fd);
    return 1;
}

int DirListing::next(DirEntry* entry)
{
    Listing* l = static_cast<Listing*>(impl);
    _finddata_t fd;
    if (!l || !entry || _findnext(l->handle, &fd) != 0)
        return 0;
    fill(entry, fd);
    return 1;
}

void DirListing::close()
{
    Listing* l = static_cast<Listing*>(impl);
    if (!l)
        return;
    _findclose(l->handle);
    delete l;
    impl = nullptr;
}

// ---- The POSIX stand-in's marks: Windows knows which files are open ---------

int plat_mark_file_in_use(const char*, int)
{
    return 0;
}
