// Host-side file helpers for the toolkit. The toolkit meets the user's file
// system directly (UTF-8 names on Linux, wide names on Windows) and turns
// names into the system's code page 950 where they go onto a disc or into a
// package.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// A host path from UTF-8 text; an empty path for text that does not
// convert (never throws).
fs::path host_path_from_utf8(const std::string& utf8);
// UTF-8 text of a host path (for messages); a placeholder when it does not
// convert (never throws).
std::string utf8_of(const fs::path& path);

// Code page 950 name of a UTF-8 name; 0 when it has no Big5 form.
int to_cp950(const std::string& utf8, std::string* cp950);
// UTF-8 of a code page 950 name; 0 when the bytes are not Big5.
int to_utf8(const std::string& cp950, std::string* utf8);
// A code page 950 name in ASCII upper case, double-byte characters kept
// (uppercase_dbcs): the form in which Windows takes two names as one.
std::string uppercase_cp950(const std::string& cp950);

// A host path as the system names it (code page 950, Windows form), the name
// FileObject opens. 0 when it has none; then *error (may be null) says so.
int system_path_of(const fs::path& host, std::string* path, std::string* error);

// One entry of a host folder, with its name in both encodings.
struct HostEntry {
    fs::path path;
    std::string utf8_name;
    bool is_directory;
    uint64_t size;
};
// The entries of a folder, sorted by their code page 950 names (the order
// that authoring and packing use, so their output is reproducible). Fails
// with a message naming the first entry that has no Big5 form.
int list_host_folder(const fs::path& folder, std::vector<HostEntry>* out, std::string* error);

// How deep walk_host_tree follows folders: a deeper tree is refused (a link
// loop on the host, or more than any disc layout needs).
constexpr int kMaxHostFolderDepth = 200;

// What walk_host_tree calls for each entry: `parent` is the path the
// entry's folder was given (the walk's `top` for the entries of the folder
// walked). For a folder it sets *below to the path its own entries get.
// False stops the walk, with *error saying why.
using HostTreeVisit =
    std::function<bool(const HostEntry& entry, const std::string& parent, std::string* below, std::string* error)>;

// Every entry below `folder`, depth first, each folder's entries in
// list_host_folder's order. Fails when a folder does not list, when `visit`
// fails, and at folders nested deeper than kMaxHostFolderDepth.
int walk_host_tree(const fs::path& folder, const std::string& top, const HostTreeVisit& visit, std::string* error);

// A host file opened for reading ("rb"); null when it cannot be.
FILE* open_host_file_read(const fs::path& path);

// Whole-file read and write on the host.
int read_host_file(const fs::path& path, std::string* bytes, std::string* error);
int write_host_file(const fs::path& path, const std::string& bytes, std::string* error);
