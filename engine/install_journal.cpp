#include "install_journal.h"

#include "platform.h"
#include "tracked_memory.h"

#include <cstring>

namespace {

// Grows a tracked block to hold at least `need` elements of `size` bytes.
void* grow(void* block, int32_t have, int32_t* room, int32_t need, size_t size)
{
    if (need <= *room)
        return block;
    int32_t n = *room ? *room : 64;
    while (n < need)
        n *= 2;
    void* bigger = tracked_alloc((size_t)n * size);
    if (block && have > 0)
        memcpy(bigger, block, (size_t)have * size);
    tracked_free(block);
    *room = n;
    return bigger;
}

}  // namespace

void InstallJournal::add(char kind, const char* path)
{
    int32_t len = (int32_t)strlen(path);
    text = (char*)grow(text, used, &room, used + len + 2, 1);
    starts = (int32_t*)grow(starts, count, &slots, count + 1, sizeof(int32_t));
    starts[count++] = used;
    text[used] = kind;
    memcpy(text + used + 1, path, (size_t)len + 1);
    used += len + 2;
}

char InstallJournal::kind(int32_t i) const
{
    return text[starts[i]];
}

const char* InstallJournal::path(int32_t i) const
{
    return text + starts[i] + 1;
}

void InstallJournal::roll_back()
{
    for (int32_t i = 0; i < count; ++i)
        if (kind(i) == kFile)
            plat_remove_file(path(i));
    // A directory created later lies inside one created earlier, or beside it.
    for (int32_t i = count - 1; i >= 0; --i)
        if (kind(i) == kDirectory)
            plat_remove_directory(path(i));
    release();
}

void InstallJournal::release()
{
    tracked_free(text);
    tracked_free(starts);
    text = nullptr;
    starts = nullptr;
    used = room = count = slots = 0;
}
