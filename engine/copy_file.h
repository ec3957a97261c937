// Copying one file as it is: the source through a file object (a plain file
// or a package member, which arrives as its decoded bytes), the destination
// as a new plain file. Attributes and times are not carried over.
#pragma once

// Bytes moved per read and write.
inline constexpr int kCopyChunkSize = 512000;

// 1 when the whole source was copied. 0 when the source or the destination
// cannot be opened (a source that cannot be opened leaves the destination
// untouched), when the destination is the source itself (both are left as
// they are), or when a read or a write fails: then the incomplete
// destination file is removed rather than left behind truncated.
int copy_file(const char* source_path, const char* destination_path);
