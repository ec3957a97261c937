// The seam between the installer and the operating system.
//
// Paths handed to these functions are Windows paths in the system's ANSI code
// page (Big5, code page 950): "D:\cd1", "pic\01.tga", "C:\Program Files\Co".
// The Win32 backend passes them to the "A" functions unchanged. The POSIX
// backend translates them to host paths (drive letters to host folders, "\"
// to "/", code page 950 to UTF-8) so the same code runs on Linux.
//
// Results follow the system's convention: 1 for success, 0 for failure,
// unless a function says otherwise.
#pragma once

#include <cstdint>
#include <cstdio>

// ---- Message boxes --------------------------------------------------------

// Button sets and answers, with the values of the Windows API.
enum : unsigned {
    PLAT_MB_OK = 0x0,
    PLAT_MB_OKCANCEL = 0x1,
    PLAT_MB_YESNO = 0x4,
    PLAT_MB_ICONERROR = 0x10,
};
enum : int {
    PLAT_IDOK = 1,
    PLAT_IDCANCEL = 2,
    PLAT_IDYES = 6,
    PLAT_IDNO = 7,
};

// Shows a message box and returns the answer. `owner` is a window handle or
// null. Every box of the system goes through here.
int plat_message_box(void* owner, const char* text, const char* caption, unsigned type);

// A replacement for the message box: receives what would be shown and
// returns the answer. Tests script answers and record texts with it; the
// command-line tools ask on the terminal.
typedef int (*MessageBoxHandler)(void* owner, const char* text, const char* caption, unsigned type);

// Installs a handler; null restores the default (MessageBoxA on Windows; on
// POSIX a line on standard error, answering OK, or Cancel/No for boxes that
// offer a choice so that nothing waits forever). Returns the previous one.
MessageBoxHandler plat_set_message_box_handler(MessageBoxHandler handler);

// A box whose text and caption are UTF-8, shown through the Unicode
// interface (MessageBoxW), so that it reads the same whatever the system's
// code page. A handler set with plat_set_utf8_message_box_handler receives
// it instead (the UTF-8 bytes); without one, POSIX writes a line on
// standard error and answers as plat_message_box's default does.
int plat_message_box_utf8(void* owner, const char* text, const char* caption, unsigned type);
MessageBoxHandler plat_set_utf8_message_box_handler(MessageBoxHandler handler);

// ---- The system's code page ------------------------------------------------

// The ANSI code page of the system (GetACP): the one the "A" functions
// read texts and names in. The POSIX stand-in reports 950 unless
// plat_set_ansi_code_page set another; on Windows that does nothing.
unsigned plat_ansi_code_page();
void plat_set_ansi_code_page(unsigned code_page);

// The programs' texts and names are Big5 (code page 950) and reach the "A"
// functions as such; under any other code page they come out garbled. Then
// one box (plat_message_box_utf8), in Chinese and English, says which
// Windows setting to change; with may_stop it asks Yes (go on) or No.
// 1 to go on (also under 950, where nothing is shown), 0 to stop: only
// with may_stop and the answer No.
int plat_check_code_page(int may_stop);

// ---- Files and directories -------------------------------------------------

// Room for a path with its NUL: the longest path the system's "A" functions
// take (Windows' MAX_PATH). Every path the installer composes is built in a
// buffer of this size; one that does not fit is refused.
enum : int32_t { PLAT_PATH_SIZE = 260 };

// fopen with path translation. A file-open handler, when one is set, is
// asked first.
FILE* plat_fopen(const char* path, const char* mode);

// A replacement source for some paths: it receives the path and mode given
// to plat_fopen and returns a stream of its own, or null to let plat_fopen
// open the path as usual. The toolkit serves the disc files of a disc image
// with it, so the installer reads them without knowing. Returns the
// previous handler (null: none).
typedef FILE* (*FileOpenHandler)(const char* path, const char* mode);
FileOpenHandler plat_set_file_open_handler(FileOpenHandler handler);
// The handler's stream for `path`, or null (no handler, or it declined).
FILE* plat_open_by_handler(const char* path, const char* mode);

// Creates one directory level. 1 created, 0 failed (also when it exists).
int plat_create_directory(const char* path);
// Removes an empty directory, or a link to a directory (the link only).
// 1 / 0.
int plat_remove_directory(const char* path);
// Deletes a file. 1 / 0.
int plat_remove_file(const char* path);
// Renames (moves) a file within one volume. Never replaces anything: when
// `to` exists already, or `from` does not, it fails and both are left as they
// were. A read-only file can be renamed. 1 / 0.
int plat_rename_file(const char* from, const char* to);

// The process's current directory, as a Windows path, into `buf`.
// 1 / 0 (0 also when it does not fit `size` bytes; nothing is written past).
int plat_get_current_directory(char* buf, int size);
// Changes the process's current directory. 1 / 0.
int plat_set_current_directory(const char* path);

// File attribute bits, with the values of the Windows API.
enum : uint32_t {
    PLAT_ATTR_READONLY = 0x01,
    PLAT_ATTR_HIDDEN = 0x02,
    PLAT_ATTR_DIRECTORY = 0x10,
    PLAT_ATTR_NORMAL = 0x80,          // a file with none of the other bits
    PLAT_ATTR_REPARSE_POINT = 0x400,  // a link (with PLAT_ATTR_DIRECTORY: to a directory)
    PLAT_ATTR_INVALID = 0xFFFFFFFFu,
};
// Attributes of a file or directory, or PLAT_ATTR_INVALID when it is absent.
// A link reports itself (PLAT_ATTR_REPARSE_POINT), not only what it leads to.
// The directory listing reports the same bits for the same entry.
uint32_t plat_file_attributes(const char* path);
// Marks a file read-only or writable. 1 / 0.
int plat_set_read_only(const char* path, int read_only);
// 1 when both paths name one and the same existing file or directory (also
// under two spellings, or through a link), 0 when they do not or either is
// absent.
int plat_same_file(const char* a, const char* b);
// 1 when `path` names the file that the open `stream` reads or writes.
int plat_stream_is_file(FILE* stream, const char* path);
// Whether another program holds the file open so that it cannot be deleted
// now (on Windows: opening it for deletion meets a sharing violation). 1 in
// use, 0 not (also when it is absent). The POSIX stand-in reports the files
// marked with plat_mark_file_in_use.
int plat_file_in_use(const char* path);

// One entry of a directory listing.
struct DirEntry {
    char name[PLAT_PATH_SIZE];  // bare name, code page 950
    uint32_t attrib;            // PLAT_ATTR_* bits; PLAT_ATTR_DIRECTORY for sub-directories
};

// A directory listing in progress, like the runtime's _findfirst/_findnext.
// Lists every entry of the current directory, "." and ".." included on
// Windows; on POSIX "." and ".." are listed too so both behave alike.
struct DirListing {
    void* impl;

    DirListing() : impl(nullptr) {}
    // Starts listing the directory `dir` ("." for the current one).
    // 1 when the listing started and `first` holds the first entry, 0 when
    // the directory cannot be listed or is empty.
    int open(const char* dir, DirEntry* first);
    // 1 and the next entry in `entry`, or 0 at the end.
    int next(DirEntry* entry);
    // Ends the listing; harmless when not open.
    void close();
};

// 1 when the entry `path` is itself a link (a symbolic link, a junction, a
// mount point): it carries PLAT_ATTR_REPARSE_POINT, or, on Windows, opening
// it leads somewhere other than its own folder's final path plus its name
// (Wine reports a linked file without the attribute). 0 when it is an
// ordinary file or folder, or absent. The link itself is looked at; nothing
// it leads to is changed.
int plat_is_link(const char* path);

// ---- One run at a time ------------------------------------------------------

// Takes the lock `name` (letters, digits and "-" only) that every process
// of the machine sees, held until plat_unlock. 1 taken (*lock set); 0 held
// already, by another process or by an earlier call in this one, or no lock
// could be made. Windows: a named mutex in the global namespace; POSIX: a
// lock file in the temporary folder held with flock.
int plat_lock(const char* name, void** lock);
// Gives the lock back; harmless with null.
void plat_unlock(void* lock);

// ---- Program start ------------------------------------------------------------

// Makes the program load DLLs from the system folder only, never from its
// own folder or the current one (SetDefaultDllDirectories with
// LOAD_LIBRARY_SEARCH_SYSTEM32, looked up at run time: older Windows lacks
// it). Every program calls it first thing. 1 done, 0 not available (and
// always 0 on POSIX, where there is nothing to do).
int plat_restrict_dll_search();

// ---- Drives ----------------------------------------------------------------

enum : int {
    PLAT_DRIVE_UNKNOWN = 0,
    PLAT_DRIVE_NO_ROOT = 1,
    PLAT_DRIVE_REMOVABLE = 2,
    PLAT_DRIVE_FIXED = 3,
    PLAT_DRIVE_REMOTE = 4,
    PLAT_DRIVE_CDROM = 5,
};
// Drive type of a root such as "D:\".
int plat_drive_type(const char* root);
// Free bytes on the disk that holds `path` ("C:" or "C:\..."). 1 / 0; on
// failure *free_bytes is left as it was.
int plat_disk_free_bytes(const char* path, uint64_t* free_bytes);

// ---- Window messages -------------------------------------------------------

// Dispatches every window message that is waiting, then returns. It asks
// the window system at most once every kPumpIntervalMs (pump_throttle.h):
// a call sooner after the last one that asked returns at once. Nothing to
// do on POSIX.
//
// With the environment variable DI_PUMP_STATS naming a file, the Windows
// backend counts and times its calls and writes the totals there when the
// program ends (bench/wine_setup_cost.sh reads them).
void plat_pump_messages();

// ---- POSIX path translation (the stand-in's configuration) -----------------

// Maps a drive letter to a host folder (a UTF-8 host path). Null or empty
// removes the mapping. Z: maps to "/" from the start, as under Wine.
// On Windows these do nothing and return 0.
int plat_map_drive(char letter, const char* host_folder);
// Sets the drive type that plat_drive_type reports for a mapped drive.
int plat_set_drive_type(char letter, int type);
// Marks a file as held open by another program (in_use 1) or not (0), for
// plat_file_in_use; Linux has no such locks. Paths compare as given.
int plat_mark_file_in_use(const char* path, int in_use);
// Translates a Windows path to a host path (UTF-8) into `out` (on Windows
// only the text is converted).
// 1 / 0 (no mapping for its drive, a UNC path, a name with no UTF-8 form,
// or too long for `size`).
int plat_to_host_path(const char* path, char* out, int size);
// Translates a host path (UTF-8; relative ones stay relative) into a Windows
// path in code page 950. 1 / 0 (a name with no Big5 form, or too long).
int plat_from_host_path(const char* host_path, char* out, int size);

// ---- Text conversion between the system's code page and UTF-8 ---------------

// Code page 950 to UTF-8 and back. 1 / 0 (a byte sequence with no form in
// the other encoding, or the result does not fit `size` bytes with its NUL).
int plat_cp950_to_utf8(const char* in, char* out, int size);
int plat_utf8_to_cp950(const char* in, char* out, int size);

// ---- Writing, with a fault injector for tests --------------------------------

// fwrite through the seam. Every write of file data that the installer makes
// goes through here, so tests can make the Nth write fail like a full disk.
size_t plat_fwrite(const void* data, size_t size, size_t count, FILE* stream);

// Makes the write that follows `successful_writes` more successful writes
// fail (0 makes the very next one fail); a negative value turns the injector
// off. Returns nothing; plat_write_count tells how many writes went through.
void plat_fail_write_after(long successful_writes);
long plat_write_count();

// ---- Reading, with a fault injector for tests ---------------------------------

// fread through the seam. Every read of file data that the installer makes
// goes through here, so tests can make the Nth read fail like a disc that
// cannot be read.
size_t plat_fread(void* data, size_t size, size_t count, FILE* stream);
// 1 when a read of `stream` has failed (the runtime's error indicator, or a
// failure the injector made), 0 when it has not: a short read without a
// failure is the end of the file.
int plat_read_failed(FILE* stream);
// fclose through the seam, for streams read with plat_fread. 1 closed, 0 the
// runtime reported a failure (the stream is gone either way).
int plat_fclose(FILE* stream);

// Makes the read that follows `successful_reads` more successful reads fail
// (0 makes the very next one fail): it delivers nothing, and its stream
// reports a read error until it is closed. A negative value turns the
// injector off. plat_read_count tells how many reads went through.
void plat_fail_read_after(long successful_reads);
long plat_read_count();

// Makes the close that follows `successful_closes` more successful closes
// through plat_fclose fail (0: the very next one): the stream is closed, but
// the close reports a failure, as when the runtime cannot write out its
// buffer. A negative value turns the injector off. plat_close_count tells
// how many closes went through.
void plat_fail_close_after(long successful_closes);
long plat_close_count();

// ---- Command line of the toolkit programs -----------------------------------

// Replaces argc/argv with the program's arguments in UTF-8 (on Windows from
// the wide command line, and the console is switched to UTF-8 output; on
// POSIX they stay as they are). 1 / 0 (left unchanged).
int plat_utf8_command_line(int* argc, char*** argv);
// The running program's own file as a host path in UTF-8 (Windows: from
// GetModuleFileNameW; Linux: /proc/self/exe). 1 / 0 (unknown, or it does
// not fit `size` bytes).
int plat_program_path_utf8(char* out, int size);
