// The journal of one installation: every file and directory that the
// installation itself created, in the order of creation. Rolling back
// deletes exactly these, so a folder or file that was there before the
// installation started is never touched.
//
// A file that was there before and is about to be replaced is not deleted
// or overwritten: it is moved aside to a backup name, and the journal notes
// the pair. Rolling back moves every backup to its name again; a finished
// installation deletes the backups.
//
// Each path is noted once per kind: noting it again (a file record that
// comes twice) changes nothing. A hash index over the entries answers
// whether a path was noted, so the engine can tell without asking the file
// system that a file inside a folder it created cannot have been there
// before.
#pragma once

#include <cstdint>

struct InstallJournal {
    enum : char { kFile = 'F', kDirectory = 'D', kBackup = 'B' };

    char* text;       // entries packed one after the other: kind byte, path, NUL
                      // (a backup: kind byte, original path, NUL, backup path, NUL)
    int32_t used;     // bytes of `text` in use
    int32_t room;     // bytes of `text` allocated
    int32_t* starts;  // offset of each entry in `text`
    int32_t count;    // number of entries
    int32_t slots;    // entries `starts` can hold
    int32_t* index;   // open-addressing hash table: entry number + 1, 0 for a free slot
    int32_t buckets;  // slots of `index` (a power of two, at least twice `count`)

    InstallJournal() : text(nullptr), used(0), room(0), starts(nullptr), count(0), slots(0), index(nullptr), buckets(0)
    {
    }

    // Notes that `path` (a system path) was created as a file or directory,
    // unless it is noted with that kind already.
    void add(char kind, const char* path);
    // Notes that the file `original` was moved to `backup`. For contains(),
    // a backup entry goes by its original path.
    void add_backup(const char* original, const char* backup);
    // Whether the first `length` bytes of `path` (no more than its strlen)
    // were noted with `kind`.
    int contains(char kind, const char* path, int32_t length) const;
    // The path of an entry of `kind` that equals the first `length` bytes of
    // `path` but for the case of ASCII letters (the stored spelling, `length`
    // bytes), or null.
    const char* find_ignoring_case(char kind, const char* path, int32_t length) const;
    // Windows finds an existing name without regard to ASCII case, and keeps
    // its spelling. Rewrites `path` in place so that every level of it longer
    // than `from` bytes (the part before a separator, and the whole path)
    // that matches a noted directory or file that way takes the noted
    // spelling; the POSIX stand-in, whose names differ by case, then opens
    // what Windows opens.
    void match_case(char* path, int32_t from) const;
    // Kind and path of entry i (0 <= i < count).
    char kind(int32_t i) const;
    const char* path(int32_t i) const;
    // The backup path of entry i, which must be of kind kBackup (its path()
    // is the original).
    const char* backup(int32_t i) const;
    // Deletes what was noted: every file first, then moves the backups to
    // their original names, newest first, then removes the directories in
    // the reverse order of their creation, each only if it is empty by then.
    // The journal is empty afterwards.
    void roll_back();
    // The installation is complete: deletes the backups and forgets every
    // entry. The journal is empty afterwards.
    void commit();
    // Forgets every entry and releases the memory.
    void release();

private:
    // Notes an entry of `kind` for `path`, with `second` stored after it
    // when not null.
    void append(char kind, const char* path, const char* second);
};

// The number of elements a journal block of `room` grows to so that it holds
// `need`: doubled from 64 (or from `room`) until it does, and at most
// INT32_MAX, the most its 32-bit counts and offsets can address. -1 when
// `need` is beyond that.
int32_t journal_grown_room(int32_t room, int64_t need);
