#include "file_object.h"

#include "apkg_format.h"
#include "package_directory.h"
#include "platform.h"
#include "tracked_memory.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int32_t g_open_count = 0;
int32_t g_warning_unregistered = 1;

void open_files_warning()
{
    if (g_open_count != 0)
        plat_message_box(nullptr, "Some file is not close", "error", PLAT_MB_OK);
}

void count_open()
{
    if (g_warning_unregistered) {
        atexit(open_files_warning);
        g_warning_unregistered = 0;
    }
    ++g_open_count;
}

// Opens member `name` of the package at `package_path` into `member`.
int open_member(PackageMember* member, const char* package_path, char* name)
{
    if (!member->package.open_read(package_path))
        return 0;
    PackageDirectory dir;
    if (!dir.read(&member->package)) {
        member->package.close();
        return 0;
    }
    uppercase_dbcs(name);
    int found = 0;
    for (int32_t i = 0; i < dir.count && !found; ++i) {
        char* entry_name = dir.name(i);
        if (!entry_name)
            continue;  // a name without its NUL cannot be matched
        uppercase_dbcs(entry_name);
        if (strcmp(entry_name, name) != 0)
            continue;
        // A member whose data reach past the end of the package is damaged;
        // the first entry of that name decides, as it would when intact.
        if (!dir.entry_valid(i))
            break;
        member->base = dir.data_offset(i);
        member->size = dir.data_size(i);
        member->position = member->base;
        found = member->package.seek(member->base);
        break;
    }
    dir.release();
    if (!found)
        member->package.close();
    return found;
}

}  // namespace

int32_t open_count()
{
    return g_open_count;
}

void uppercase_dbcs(char* text)
{
    for (unsigned char* p = (unsigned char*)text; *p; ++p) {
        if (*p & 0x80) {
            if (!p[1])
                break;  // a lone lead byte at the end
            ++p;
        } else if (*p >= 'a' && *p <= 'z') {
            *p = (unsigned char)(*p - 'a' + 'A');
        }
    }
}

int FileObject::open_read(const char* path)
{
    is_member = 0;
    handle = nullptr;
    FILE* f = plat_fopen(path, "rb");
    if (f) {
        handle = f;
        count_open();
        return 1;
    }
    // Package lookup in 256-byte work buffers; a path that does not fit is
    // not looked up.
    size_t len = strlen(path);
    if (len >= (size_t)apkg::kWorkBufferSize)
        return 0;
    char work[apkg::kWorkBufferSize];
    memcpy(work, path, len + 1);
    // Last backslash, byte by byte from the end.
    char* sep = strrchr(work, '\\');
    if (!sep)
        return 0;
    char name[apkg::kWorkBufferSize];
    strcpy(name, sep + 1);
    size_t dir_len = (size_t)(sep - work);
    if (dir_len + sizeof apkg::kExtension > sizeof work)
        return 0;
    memcpy(work + dir_len, apkg::kExtension, sizeof apkg::kExtension);

    PackageMember* member = (PackageMember*)tracked_alloc(sizeof(PackageMember));
    member->package = FileObject();
    member->base = member->size = member->position = 0;
    if (!open_member(member, work, name)) {
        tracked_free(member);
        return 0;
    }
    handle = member;
    is_member = 1;
    count_open();
    return 1;
}

int FileObject::open_write(const char* path)
{
    FILE* f = plat_fopen(path, "w+b");
    handle = f;
    if (!f)
        return 0;
    count_open();
    return 1;
}

int32_t FileObject::read(void* buffer, int32_t n)
{
    if (!handle || n <= 0)
        return 0;
    if (!is_member)
        return (int32_t)plat_fread(buffer, 1, (size_t)n, (FILE*)handle);
    PackageMember* m = (PackageMember*)handle;
    int32_t end = m->base + m->size;
    if (m->position >= end || m->position < m->base)
        return 0;
    // Read no further than the member's end.
    int32_t want = end - m->position < n ? end - m->position : n;
    int32_t got = m->package.read(buffer, want);
    apkg::complement((unsigned char*)buffer, got);
    m->position += got;
    return got;
}

int FileObject::read_failed()
{
    if (!handle)
        return 0;
    if (!is_member)
        return plat_read_failed((FILE*)handle);
    // A member's bytes come from its package: its failure is theirs.
    return ((PackageMember*)handle)->package.read_failed();
}

int FileObject::write(const void* buffer, int32_t n)
{
    if (!handle || is_member || n <= 0)
        return 0;
    return plat_fwrite(buffer, (size_t)n, 1, (FILE*)handle) == 1 ? 1 : 0;
}

int FileObject::seek(int32_t offset)
{
    if (!handle)
        return 0;
    if (!is_member)
        return fseek((FILE*)handle, offset, SEEK_SET) == 0 ? 1 : 0;
    PackageMember* m = (PackageMember*)handle;
    int64_t target = (int64_t)m->base + offset;
    if (offset < 0 || target > INT32_MAX || !m->package.seek((int32_t)target))
        return 0;
    m->position = (int32_t)target;
    return 1;
}

int32_t FileObject::size()
{
    if (!handle)
        return -1;
    if (is_member)
        return ((PackageMember*)handle)->size;
    FILE* f = (FILE*)handle;
    long here = ftell(f);
    if (here < 0 || fseek(f, 0, SEEK_END) != 0)
        return -1;
    long end = ftell(f);
    fseek(f, here, SEEK_SET);
    if (end < 0 || end > INT32_MAX)
        return -1;
    return (int32_t)end;
}

int FileObject::close()
{
    if (!handle)
        return 0;
    --g_open_count;
    if (!is_member) {
        // The stream is gone after fclose whatever it reports; keeping the
        // handle would only invite a second fclose of a freed stream.
        int ok = plat_fclose((FILE*)handle);
        handle = nullptr;
        return ok;
    }
    // Likewise for a member: its package is closed (and uncounted) by now
    // even when the runtime complained, so the record goes too. Keeping it
    // would leak it and let every retry uncount the member again.
    PackageMember* m = (PackageMember*)handle;
    int ok = m->package.close();
    tracked_free(m);
    handle = nullptr;
    return ok;
}

int FileObject::is_file(const char* path)
{
    if (!handle || !path)
        return 0;
    if (!is_member)
        return plat_stream_is_file((FILE*)handle, path);
    return ((PackageMember*)handle)->package.is_file(path);
}
