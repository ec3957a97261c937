// The launcher's logic: find the CD-ROM drive that holds the first disc file,
// ask for the disc while there is none, and start setup.exe from the folder
// that was current at start with the drive as its command line.
//
// The logic sees the system only through LauncherSystem, a table of plain
// function pointers: the program entry fills it with the Windows calls, the
// tests with fakes. It is portable C++ with no system header.
#pragma once

#include <cstddef>

struct LauncherSystem {
    // GetDriveTypeA(root): 5 marks a compact-disc drive.
    unsigned (*drive_type)(const char* root);
    // 1 when the file opens for reading with fopen(path, "rb").
    int (*file_readable)(const char* path);
    // MessageBoxA(no owner, text, caption, style): the answer; 0 (or below)
    // when no box could be shown.
    int (*message_box)(const char* text, const char* caption, unsigned style);
    // GetCurrentDirectoryA(size, buffer): the length without the terminator,
    // the size needed (terminator included) when the buffer is too small,
    // 0 on failure.
    unsigned long (*get_current_directory)(unsigned long size, char* buffer);
    // SetCurrentDirectoryA(path): nonzero on success.
    int (*set_current_directory)(const char* path);
    // WinExec(command line, show command): above 31 when started; 31 or
    // less is the reason it was not (0 out of memory, 2 file not found, 3
    // path not found, 11 not a program).
    unsigned (*exec)(const char* command_line, unsigned show);
    // GetLastError() right after exec; 740 (ERROR_ELEVATION_REQUIRED) when
    // setup needs elevation that the launcher does not have.
    unsigned long (*last_error)();
    // GetModuleFileNameA(no module, buffer, size): the launcher's own path;
    // its length, `size` when it was cut short, 0 on failure.
    unsigned long (*module_path)(char* buffer, unsigned long size);
};

constexpr unsigned kDriveCdrom = 5;                // DRIVE_CDROM
constexpr unsigned kInsertDiscStyle = 0x14;        // MB_YESNO | MB_ICONERROR
constexpr unsigned kFolderTooLongStyle = 0x10;     // MB_OK | MB_ICONERROR
constexpr int kAnswerNo = 7;                       // IDNO
constexpr unsigned kShowSetup = 5;                 // SW_SHOW
constexpr size_t kDirectorySize = 256;             // buffer of the current directory
constexpr size_t kCommandSize = 256;               // buffer of setup's command line
constexpr unsigned kCannotStartStyle = 0x10;       // MB_OK | MB_ICONERROR
constexpr unsigned long kElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED

// The texts shown to the user (Big5 bytes; launcher_texts.cpp).
extern const char kInsertDiscText[];  // "請放入Korvane安裝片"
extern const char kWarningCaption[];  // "Warning"
extern const char kFolderTooLongText[];
// When setup cannot be started: the head, then the command line, then the
// reason (each in Chinese and English).
extern const char kCannotStartText[];
extern const char kReasonFileNotFound[];
extern const char kReasonPathNotFound[];
extern const char kReasonElevation[];
extern const char kReasonOutOfMemory[];
extern const char kReasonBadFormat[];
extern const char kReasonOtherFormat[];  // with the WinExec result (%u) twice

// The found drive, "%c:" (for example "E:"); set by find_disc_drive.
extern char disc_drive[3];

// Looks at the drives C to Z in order for a compact-disc drive whose root
// holds the file cd1, asking for the disc after every pass without one.
// 1 when a drive was found (disc_drive is set), 0 when the user gave up.
int find_disc_drive(const LauncherSystem& sys);

// Builds setup's command line into out (out_size bytes): the folder without
// one trailing backslash, "\setup.exe", a blank and the drive, with the
// program path in quotes when the folder holds a blank or a Big5 character.
// 1 on success; 0 when it does not fit, and then out holds an empty text.
int build_setup_command(const char* folder, const char* drive, char* out, size_t out_size);

// The whole program: find the disc, start setup.exe from the current folder
// (or, when it is not there, from the launcher's own folder) with the
// current directory on the disc; a box says why when setup cannot be
// started. Returns the exit code, always 0.
int run_launcher(const LauncherSystem& sys);
