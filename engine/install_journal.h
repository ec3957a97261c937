// The journal of one installation: every file and directory that the
// installation itself created, in the order of creation. Rolling back
// deletes exactly these, so a folder or file that was there before the
// installation started is never touched.
#pragma once

#include <cstdint>

struct InstallJournal {
    enum : char { kFile = 'F', kDirectory = 'D' };

    char* text;         // entries packed one after the other: kind byte, path, NUL
    int32_t used;       // bytes of `text` in use
    int32_t room;       // bytes of `text` allocated
    int32_t* starts;    // offset of each entry in `text`
    int32_t count;      // number of entries
    int32_t slots;      // entries `starts` can hold

    InstallJournal() : text(nullptr), used(0), room(0), starts(nullptr), count(0), slots(0) {}

    // Notes that `path` (a system path) was created as a file or directory.
    void add(char kind, const char* path);
    // Kind and path of entry i (0 <= i < count).
    char kind(int32_t i) const;
    const char* path(int32_t i) const;
    // Deletes what was noted: every file first, then the directories in the
    // reverse order of their creation, each only if it is empty by then.
    // The journal is empty afterwards.
    void roll_back();
    // Forgets every entry and releases the memory.
    void release();
};
