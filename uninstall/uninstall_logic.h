// The uninstaller's logic: what it reads, asks, checks and removes. It sees
// the system only through platform/ (files, registry, special folders,
// message boxes), so it runs natively on the POSIX stand-in and under Wine
// alike; the program entry (uninstall_main_win32.cpp) only moves the
// running program out of the install folder and deletes it at the end.
//
// What it removes, all named by the install (nothing else is touched):
//  - the manifest's files whose size and crc32 are still those of the set
//    (a changed file is the user's and stays), then the manifest's folders
//    newest first, each only when empty;
//  - the desktop link, the two links and the web shortcut in the group
//    folder <Programs>\company\product, then the group folder and the
//    company folder when empty; in the current user's folders and in
//    those of all users (where setup puts them when elevated as another
//    user than the desktop's);
//  - the uninstall key, then uninstall.dat and the manifest.
// uninstall.exe itself, and the install folder when nothing else is left in
// it, go once the program has ended (remove_uninstaller).
//
// Links are never followed: every name on the way to what is to be removed
// is looked at first. Nothing behind a link (a symbolic link, a junction, a
// mount point) is deleted, listed or counted, and a link found where the
// install put a file or folder stays, with what it leads to, and is named
// in the closing box (Windows and Wine would delete through some links).
//
// One uninstallation of a key at a time: a lock named after the key is
// taken before the question; a second run finds it held, says so and
// deletes nothing. The key's folder must be the install folder itself,
// compared by file identity, so another spelling of it (a short 8.3 name)
// is accepted and every other folder refused.
//
// Before anything is deleted every input is checked (uninstall.dat, the
// key, the manifest) and every file to delete is checked for read-only and
// in-use; a problem shows a box and deletes nothing. When a deletion fails
// all the same, the key, uninstall.dat and the manifest stay, so a second
// run finishes the work.
#pragma once

#include <cstdint>

enum : int32_t {
    kUninstallRemoved = 0,    // removed (files the user made or changed may remain)
    kUninstallCancelled = 1,  // the user answered No: nothing changed
    kUninstallFailed = 2,     // a box said why; nothing, or not everything, was removed
};

// Runs the whole uninstallation for the install folder `install_folder`
// (the folder uninstall.exe lies in, no trailing "\"). Returns one of the
// codes above. *remove_self (when not null) is set to 1 when uninstall.exe
// is to be deleted after the program has ended, else 0.
int32_t run_uninstall(const char* install_folder, int32_t* remove_self);

// Deletes "<install folder>\uninstall.exe", then removes the install folder
// when it is empty. 1 when uninstall.exe is gone, or is a link (which stays,
// with the folder), 0 when it is still there (for example still running).
int remove_uninstaller(const char* install_folder);

// The crc32 (zlib's) and length of the file `path`. 1 / 0 (cannot be read,
// or larger than 2 GiB).
int file_checksum(const char* path, uint32_t* size, uint32_t* crc);
