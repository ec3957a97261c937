// The journal of one installation: every file and directory that the
// installation itself created, in the order of creation. Rolling back
// deletes exactly these, so a folder or file that was there before the
// installation started is never touched.
//
// Each path is noted once per kind: noting it again (a file record that
// comes twice) changes nothing. A hash index over the entries answers
// whether a path was noted, so the engine can tell without asking the file
// system that a file inside a folder it created cannot have been there
// before.
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
    int32_t* index;     // open-addressing hash table: entry number + 1, 0 for a free slot
    int32_t buckets;    // slots of `index` (a power of two, at least twice `count`)

    InstallJournal()
        : text(nullptr), used(0), room(0), starts(nullptr), count(0), slots(0), index(nullptr), buckets(0)
    {
    }

    // Notes that `path` (a system path) was created as a file or directory,
    // unless it is noted with that kind already.
    void add(char kind, const char* path);
    // Whether the first `length` bytes of `path` (no more than its strlen)
    // were noted with `kind`.
    int contains(char kind, const char* path, int32_t length) const;
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
