#include "launcher_logic.h"

#include <climits>
#include <cstdio>
#include <cstring>

char disc_drive[3];

// A compact-disc drive whose root holds cd1 as a plain file. The file is only
// probed on drives of the right type, so hard disks and network drives are
// never opened.
static int drive_holds_disc(const LauncherSystem& sys, char letter)
{
    char root[] = "A:\\";
    root[0] = letter;
    char probe[8];
    std::snprintf(probe, sizeof probe, "%c:\\cd1", letter);
    return sys.drive_type(root) == kDriveCdrom && sys.file_readable(probe);
}

int find_disc_drive(const LauncherSystem& sys)
{
    for (;;) {
        // A and B are floppy letters and never probed; the first letter that
        // qualifies wins.
        for (char letter = 'C'; letter <= 'Z'; ++letter) {
            if (drive_holds_disc(sys, letter)) {
                std::snprintf(disc_drive, sizeof disc_drive, "%c:", letter);
                return 1;
            }
        }
        // One question per full pass. Yes (or any other answer) searches
        // again. No gives up, and so does a box that could not be shown at
        // all: MessageBoxA then returns 0 (Wine without a display returns
        // -1), and asking again would spin for ever with nobody to answer.
        int answer = sys.message_box(kInsertDiscText, kWarningCaption, kInsertDiscStyle);
        if (answer == kAnswerNo || answer <= 0)
            return 0;
    }
}

// Whether the text's last character is a backslash. Texts are code page 950:
// a lead byte (0x81 to 0xFE) starts a two-byte character whose second byte
// may be 0x5C, as in 許 (B3 5C), and such a character is not a separator.
static int ends_with_separator(const char* text, size_t len)
{
    int last_is_separator = 0;
    size_t i = 0;
    while (i < len) {
        unsigned char c = (unsigned char)text[i];
        if (c >= 0x81 && c <= 0xFE && i + 1 < len) {
            last_is_separator = 0;
            i += 2;
        } else {
            last_is_separator = c == '\\';
            i += 1;
        }
    }
    return last_is_separator;
}

int build_setup_command(const char* folder, const char* drive, char* out, size_t out_size)
{
    if (out_size == 0)
        return 0;
    out[0] = '\0';
    size_t len = std::strlen(folder);
    if (len > INT_MAX)
        return 0;
    // A drive root such as C:\ loses its backslash; other folders have none.
    if (ends_with_separator(folder, len))
        --len;
    // The program path is put in quotes when it holds a blank or a Big5
    // character, and only then, so plain folders give the plain form. Unquoted,
    // a blank ends the program name: Windows could start another program
    // (C:\Program.exe for C:\Program Files\...) and setup would take the rest
    // of the path as its command line. Runtimes that skip the program name
    // while the byte is above a blank, comparing signed chars (the mingw-w64
    // start-up code does), stop at the first byte from 0x80 up just the same.
    // Quoted, setup still receives just the drive.
    bool quote = false;
    for (size_t i = 0; i < len; ++i) {
        unsigned char c = (unsigned char)folder[i];
        if (c == ' ' || c == '\t' || c >= 0x80)
            quote = true;
    }
    int n = quote ? std::snprintf(out, out_size, "\"%.*s\\setup.exe\" %s", (int)len, folder, drive)
                  : std::snprintf(out, out_size, "%.*s\\setup.exe %s", (int)len, folder, drive);
    if (n < 0 || (size_t)n >= out_size) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

// "<folder>\setup.exe" into out; 0 when it does not fit.
static int setup_path(const char* folder, char* out, size_t out_size)
{
    size_t len = std::strlen(folder);
    if (len > INT_MAX)
        return 0;
    if (ends_with_separator(folder, len))
        --len;
    int n = std::snprintf(out, out_size, "%.*s\\setup.exe", (int)len, folder);
    return n > 0 && (size_t)n < out_size;
}

static int holds_setup(const LauncherSystem& sys, const char* folder)
{
    char path[kCommandSize];
    return setup_path(folder, path, sizeof path) && sys.file_readable(path);
}

// The launcher's own folder (its module path up to the last separator,
// Big5-aware) into out; 0 when it is unknown or does not fit.
static int launcher_folder(const LauncherSystem& sys, char* out, size_t out_size)
{
    unsigned long n = sys.module_path(out, (unsigned long)out_size);
    if (n == 0 || n >= out_size)
        return 0;
    out[n] = '\0';
    size_t last = 0;
    int found = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = (unsigned char)out[i];
        if (c >= 0x81 && c <= 0xFE && i + 1 < n) {
            ++i;
        } else if (c == '\\') {
            last = i;
            found = 1;
        }
    }
    if (!found)
        return 0;
    out[last] = '\0';
    return 1;
}

// Tells the user that setup did not start: the command line and the reason
// WinExec gave (result 31 or less), or ERROR_ELEVATION_REQUIRED.
static void report_not_started(const LauncherSystem& sys, const char* command, unsigned result, unsigned long error)
{
    char reason[128];
    const char* fixed = error == kElevationRequired ? kReasonElevation
                        : result == 0               ? kReasonOutOfMemory
                        : result == 2               ? kReasonFileNotFound
                        : result == 3               ? kReasonPathNotFound
                        : result == 11              ? kReasonBadFormat
                                                    : nullptr;
    if (fixed)
        std::snprintf(reason, sizeof reason, "%s", fixed);
    else
        std::snprintf(reason, sizeof reason, kReasonOtherFormat, result, result);
    char text[kCommandSize + 256];
    std::snprintf(text, sizeof text, "%s\n%s\n\n%s", kCannotStartText, command, reason);
    sys.message_box(text, kWarningCaption, kCannotStartStyle);
}

int run_launcher(const LauncherSystem& sys)
{
    if (!find_disc_drive(sys))
        return 0;

    // setup.exe is looked for in the folder that is current now, before the
    // current directory moves to the disc.
    char folder[kDirectorySize];
    folder[0] = '\0';
    unsigned long n = sys.get_current_directory((unsigned long)sizeof folder, folder);
    if (n == 0)
        return 0;  // the folder cannot be read: there is nothing to start

    // A folder that does not fit the buffer (the call then returns the size it
    // needs and leaves the buffer alone), or one too long for the command line
    // (more than 242 characters; 240 when it must be quoted), is refused: the
    // user is told and nothing is started.
    char command[kCommandSize];
    int fits = 0;
    if (n < sizeof folder) {
        folder[n] = '\0';
        // An elevated start may begin in another folder than the one autorun
        // gave: without setup.exe here, the launcher's own folder is tried.
        char own[kDirectorySize];
        if (!holds_setup(sys, folder) && launcher_folder(sys, own, sizeof own) && holds_setup(sys, own))
            std::memcpy(folder, own, sizeof folder);
        fits = build_setup_command(folder, disc_drive, command, sizeof command);
    }
    if (!fits) {
        sys.message_box(kFolderTooLongText, kWarningCaption, kFolderTooLongStyle);
        return 0;
    }

    // setup inherits the current directory on the disc; a failed change is
    // not reported (setup still starts), a setup that does not start is.
    sys.set_current_directory(disc_drive);
    unsigned started = sys.exec(command, kShowSetup);
    if (started <= 31)
        report_not_started(sys, command, started, sys.last_error());
    return 0;
}
