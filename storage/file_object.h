// File objects: every file the installer reads or writes goes through one.
// Reading falls back to packages: a path X\Y\name that does not exist as a
// plain file is looked up as the member "name" of the package X\Y.apkg
// (packages may themselves be members of packages further up).
#pragma once

#include <cstdint>

struct PackageMember;

struct FileObject {
    void* handle;       // FILE* for a plain file, PackageMember* for a member; null when closed
    int32_t is_member;  // 0 plain file, 1 package member

    FileObject() : handle(nullptr), is_member(0) {}

    // 1 opened, 0 not found. Plain file first, then a package member.
    int open_read(const char* path);
    // Creates or truncates a plain file ("w+b"). 1 / 0.
    int open_write(const char* path);
    // Bytes delivered (0 at the end, on error, or when closed).
    int32_t read(void* buffer, int32_t n);
    // 1 when a read of this object has failed (the disc or the package
    // holding the member could not be read), 0 when it has not: a read
    // that delivered less than asked then met the end of the file. A
    // failure stays reported until the object is closed.
    int read_failed();
    // 1 when all n bytes were written, 0 otherwise (n of 0, closed, member,
    // or a failed write).
    int write(const void* buffer, int32_t n);
    // Absolute position from the start of the file or member. 1 / 0.
    int seek(int32_t offset);
    // Length of the file or member; -1 when closed or unknown.
    int32_t size();
    // 1 closed, 0 already closed or the runtime refused. Either way the
    // object is closed afterwards: its stream, or its member record and the
    // package under it, are given back and counted as closed exactly once.
    int close();
    // 1 when `path` names the plain file this object reads or writes (for a
    // member, the package file that holds it, at whatever depth), so that a
    // copy can tell that its destination is its own source. 0 when closed.
    int is_file(const char* path);
};

// A member of an open package: the package file and the member's window in it.
struct PackageMember {
    FileObject package;  // the open package file
    int32_t base;        // absolute offset of the member's first byte
    int32_t size;        // member length
    int32_t position;    // absolute offset of the next byte, base .. base + size
};

// Upper-cases a NUL-terminated Big5 string in place: ASCII a-z become A-Z,
// a byte with its top bit set is a lead byte and it and its trail byte stay.
void uppercase_dbcs(char* text);

// Open file objects in the process (a package member counts twice: the
// package file and the member).
int32_t open_count();
