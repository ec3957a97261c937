// Copying a directory tree file by file into a destination directory.
#pragma once

// Copies every entry of `source_directory` (absolute, or relative to the
// current directory) into `destination_directory`, which must be absolute:
// files with copy_file, sub-directories depth-first, each sub-directory
// copied completely before its parent's listing goes on. The destination
// directory is created when missing; files there without a source
// counterpart stay, files with one are overwritten. Hidden files and files
// without an extension are copied too. A file that cannot be copied is
// skipped, as is an entry whose destination path would not fit 260 bytes.
// A copy into the source itself leaves it as it is, and a destination inside
// the source is not copied into itself.
//
// The current directory serves as the traversal's position and is the one at
// the call again when this returns. When the source cannot be entered (or
// the current directory cannot be remembered) nothing is copied or created.
//
// 1 when every file of the tree was copied whole (also when there was no
// tree to copy); 0 when one could not be: its copy is not left behind
// short (copy_file), the other entries are still copied, and the caller
// learns that the destination lacks something.
int copy_tree(const char* source_directory, const char* destination_directory);
