#include "install_journal.h"

#include "platform.h"
#include "record_path.h"
#include "tracked_memory.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

// Grows a tracked block to hold at least `need` elements of `size` bytes.
// More than the 32-bit counts and offsets can address, or more bytes than
// size_t holds (a 32-bit build), cannot be had: that ends the process as a
// failed allocation does.
void* grow(void* block, int32_t have, int32_t* room, int64_t need, size_t size)
{
    if (need <= *room)
        return block;
    int32_t n = journal_grown_room(*room, need);
    if (n < 0 || (size_t)n > SIZE_MAX / size)
        tracked_alloc_failed(SIZE_MAX);
    void* bigger = tracked_alloc((size_t)n * size);
    if (block && have > 0)
        memcpy(bigger, block, (size_t)have * size);
    tracked_free(block);
    *room = n;
    return bigger;
}

char lower_ascii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

// FNV-1a over the kind byte and the path bytes, with ASCII letters taken in
// lower case outside double-byte characters: paths that differ only in ASCII
// case (one name on Windows) share a hash, so both lookups use one index.
uint32_t entry_hash(char kind, const char* path, int32_t length)
{
    uint32_t h = 2166136261u;
    h = (h ^ (unsigned char)kind) * 16777619u;
    for (int32_t i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)path[i];
        if (is_dbcs_lead(c) && i + 1 < length) {
            h = (h ^ c) * 16777619u;
            c = (unsigned char)path[++i];
        } else {
            c = (unsigned char)lower_ascii((char)c);
        }
        h = (h ^ c) * 16777619u;
    }
    return h;
}

// Whether the first `length` bytes of `a` and `b` are one name for Windows:
// equal but for the case of ASCII letters; a trail byte must match exactly.
bool same_but_case(const char* a, const char* b, int32_t length)
{
    for (int32_t i = 0; i < length; ++i) {
        if (is_dbcs_lead((unsigned char)a[i]) && i + 1 < length) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (lower_ascii(a[i]) != lower_ascii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t journal_grown_room(int32_t room, int64_t need)
{
    if (need > INT32_MAX)
        return -1;
    // Doubling in 64 bits cannot wrap; the last step stops at INT32_MAX.
    int64_t n = room > 0 ? room : 64;
    while (n < need)
        n *= 2;
    return n > INT32_MAX ? INT32_MAX : (int32_t)n;
}

int InstallJournal::contains(char k, const char* p, int32_t length) const
{
    if (!buckets)
        return 0;
    uint32_t mask = (uint32_t)buckets - 1;
    for (uint32_t b = entry_hash(k, p, length) & mask;; b = (b + 1) & mask) {
        int32_t e = index[b] - 1;
        if (e < 0)
            return 0;
        const char* stored = text + starts[e];
        if (stored[0] == k && strncmp(stored + 1, p, (size_t)length) == 0 && stored[1 + length] == '\0')
            return 1;
    }
}

const char* InstallJournal::find_ignoring_case(char k, const char* p, int32_t length) const
{
    if (!buckets)
        return nullptr;
    uint32_t mask = (uint32_t)buckets - 1;
    for (uint32_t b = entry_hash(k, p, length) & mask;; b = (b + 1) & mask) {
        int32_t e = index[b] - 1;
        if (e < 0)
            return nullptr;
        const char* stored = text + starts[e];
        if (stored[0] == k && strnlen(stored + 1, (size_t)length + 1) == (size_t)length &&
            same_but_case(stored + 1, p, length))
            return stored + 1;
    }
}

void InstallJournal::match_case(char* p, int32_t from) const
{
    if (!buckets || from < 0)
        return;
    int32_t total = (int32_t)strlen(p);
    if (from > total)
        return;
    const char* sep = find_separator(p + from);
    for (;;) {
        int32_t level = sep ? (int32_t)(sep - p) : total;
        if (level > from) {
            const char* noted = find_ignoring_case(kDirectory, p, level);
            if (!noted)
                noted = find_ignoring_case(kFile, p, level);
            if (noted)
                memcpy(p, noted, (size_t)level);
        }
        if (!sep)
            return;
        sep = find_separator(sep + 1);
    }
}

void InstallJournal::add(char k, const char* p)
{
    append(k, p, nullptr);
}

void InstallJournal::add_backup(const char* original, const char* backup_path)
{
    append(kBackup, original, backup_path);
}

void InstallJournal::append(char k, const char* p, const char* second)
{
    int32_t len = (int32_t)strlen(p);
    if (contains(k, p, len))
        return;
    int32_t second_len = second ? (int32_t)strlen(second) + 1 : 0;
    text = (char*)grow(text, used, &room, (int64_t)used + len + 2 + second_len, 1);
    starts = (int32_t*)grow(starts, count, &slots, (int64_t)count + 1, sizeof(int32_t));
    starts[count++] = used;
    text[used] = k;
    memcpy(text + used + 1, p, (size_t)len + 1);
    if (second)
        memcpy(text + used + len + 2, second, (size_t)second_len);
    used += len + 2 + second_len;

    // Keep the index at most half full; a bigger one is rebuilt from the entries.
    int32_t first = count - 1;
    if ((int64_t)count * 2 > buckets) {
        // A power of two: a doubling past INT32_MAX, or a table larger than
        // size_t can count, fails like the blocks above.
        int64_t n = buckets ? (int64_t)buckets * 2 : 128;
        if (n > INT32_MAX || (uint64_t)n > SIZE_MAX / sizeof(int32_t))
            tracked_alloc_failed(SIZE_MAX);
        tracked_free(index);
        index = (int32_t*)tracked_alloc((size_t)n * sizeof(int32_t));
        memset(index, 0, (size_t)n * sizeof(int32_t));
        buckets = (int32_t)n;
        first = 0;
    }
    uint32_t mask = (uint32_t)buckets - 1;
    for (int32_t e = first; e < count; ++e) {
        const char* stored = text + starts[e];
        uint32_t b = entry_hash(stored[0], stored + 1, (int32_t)strlen(stored + 1)) & mask;
        while (index[b])
            b = (b + 1) & mask;
        index[b] = e + 1;
    }
}

char InstallJournal::kind(int32_t i) const
{
    return text[starts[i]];
}

const char* InstallJournal::path(int32_t i) const
{
    return text + starts[i] + 1;
}

const char* InstallJournal::backup(int32_t i) const
{
    const char* original = path(i);
    return original + strlen(original) + 1;
}

void InstallJournal::roll_back()
{
    for (int32_t i = 0; i < count; ++i)
        if (kind(i) == kFile)
            plat_remove_file(path(i));
    // Newest first: when one name was moved aside twice (on Windows the same
    // file under two spellings), the oldest backup, the user's own file, is
    // the last one moved back. Whatever is at the original name by now was
    // put there by this installation, since the name was free once the
    // backup had been made, so it goes first. A backup that cannot be moved
    // back stays under its backup name: the user's data are still there.
    for (int32_t i = count - 1; i >= 0; --i) {
        if (kind(i) == kBackup) {
            plat_remove_file(path(i));
            plat_rename_file(backup(i), path(i));
        }
    }
    // A directory created later lies inside one created earlier, or beside it.
    for (int32_t i = count - 1; i >= 0; --i)
        if (kind(i) == kDirectory)
            plat_remove_directory(path(i));
    release();
}

void InstallJournal::commit()
{
    // A backup name that the installation later used for a file of its own
    // holds that file now (the backup was moved on to a newer name, which is
    // noted too): it stays. A backup that cannot be deleted (held open by
    // another program, say) is left where it is; the installed file is in
    // place and only the space of the old one is lost.
    for (int32_t i = 0; i < count; ++i) {
        if (kind(i) != kBackup)
            continue;
        const char* b = backup(i);
        if (!contains(kFile, b, (int32_t)strlen(b)))
            plat_remove_file(b);
    }
    release();
}

void InstallJournal::release()
{
    tracked_free(text);
    tracked_free(starts);
    tracked_free(index);
    text = nullptr;
    starts = nullptr;
    index = nullptr;
    used = room = count = slots = buckets = 0;
}
