// Creating the levels of a folder path, and deleting a folder tree.
#pragma once

#include <cstddef>

struct InstallJournal;

// Creates every level of `path`: at each "\" that is a character of its own
// (the second byte of a Big5 character is never taken for one) the part
// before it is created, then the whole path. Errors are ignored, so a drive
// part ("C:") and levels that exist are harmless. Every level that this call
// created is noted in `journal` (when not null), outermost first.
void make_directory_path(const char* path, InstallJournal* journal);

// Creates the folders on the way to `full` (a file or folder path) that lie
// beyond its first `base_length` bytes (the folder it is installed into) and
// are not there yet, as make_directory_path does. Nothing when the parent is
// that folder itself or does not fit PLAT_PATH_SIZE.
void make_parent_folders(const char* full, size_t base_length, InstallJournal* journal);

// Deletes the folder `directory` with everything in it. It changes into the
// folder and deletes what it lists there (files, then sub-folders
// recursively), returns to the folder that was current at the call and
// removes `directory`. When it cannot change into the folder it deletes
// nothing. Whatever happens, the current folder at its return is the one
// at its call. A listed folder that is a link (reparse point) is not entered;
// only the link itself is removed. 1 when `directory` is gone, else 0.
int remove_tree(const char* directory);
