// Shared helpers for the unit tests: temporary folders named both ways,
// Big5 text from UTF-8 literals, whole files and folder snapshots on host
// paths, and a message-box recorder with scripted answers.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Code page 950 bytes of a UTF-8 literal (fails the test when impossible).
std::string big5(const std::string& utf8);
// UTF-8 of code page 950 bytes.
std::string utf8(const std::string& cp950);

// One entry of a program's text list compiled in the test as UTF-8, beside
// what the program shows (compiled as code page 950).
struct ListedText {
    const char* name;
    const char* utf8;
    const char* shown;
};
// Each shown text must be exactly its UTF-8 text converted to code page 950.
void expect_texts_are_big5(const ListedText* texts, size_t count);

// A fresh temporary folder, removed with everything in it at the end.
struct TempDir {
    fs::path host;    // host path
    std::string win;  // the same folder as the system names it (code page 950)

    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // win + "\" + name (name given in UTF-8, converted to code page 950).
    std::string path(const std::string& utf8_name) const;
};

// Whole-file helpers on host paths: the bytes of a file ("" when it cannot
// be read), and a file written with `bytes`, its folders made first.
std::string host_bytes(const fs::path& host_path);
void put_host_bytes(const fs::path& host_path, const std::string& bytes);

// Overwrites the 4 bytes at `at` of `bytes` with `value`, little endian, as
// the disc header stores its numbers (damaging a header in place).
void put_number(std::string* bytes, int at, int32_t value);

// Every entry below a host folder: relative UTF-8 path with "/" between
// names -> the file's contents, or kFolderMark for a folder. Empty when the
// folder does not exist.
typedef std::map<std::string, std::string> Snapshot;
const char kFolderMark[] = "<dir>";
Snapshot snapshot(const fs::path& host_folder);
// One line per entry, for a failure message: "name/" or "name (N bytes)".
std::string describe(const Snapshot& s);

// Host path of a system path.
fs::path host_of(const std::string& win_path);
// Whole-file helpers on system paths.
void write_file(const std::string& win_path, const std::string& bytes);
std::string read_file(const std::string& win_path);
bool exists(const std::string& win_path);

// A message box that was shown (texts converted to UTF-8).
struct ShownBox {
    std::string text;
    std::string caption;
    unsigned type;
};

// Records every message box and answers from a script (OK when the script
// is empty). Installed for its lifetime.
struct BoxRecorder {
    static std::vector<ShownBox> shown;
    static std::deque<int> answers;

    BoxRecorder();
    ~BoxRecorder();
};

// Deterministic pseudo-random bytes.
std::string random_bytes(size_t n, unsigned seed);
