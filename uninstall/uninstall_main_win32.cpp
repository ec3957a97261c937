// The entry point of uninstall.exe. A running program cannot delete its own
// file, so the program that Windows starts (from the install folder) copies
// itself into a private folder of the temporary folder and runs the copy,
// which does the work:
//
//  1. The private folder is new: CreateDirectoryA makes it under a random
//     name (never one that exists, which another program could have put
//     there), and for an elevated run with a security descriptor that lets
//     only SYSTEM, the administrators and its owner in. The copy starts
//     with that folder as its current directory.
//  2. The started program opens the copy with FILE_FLAG_DELETE_ON_CLOSE,
//     sharing neither writing nor deleting, until the copy has started, and
//     lets the copy inherit that handle, so nobody changes the copy before
//     it runs and its file is deleted when the copy ends.
//  3. The copy runs the uninstallation (run_uninstall) and hands its exit
//     code back through an inherited pipe; the started program ends with
//     that code, so whoever started it learns success, cancel or failure.
//  4. The copy waits for the started program to end and then deletes
//     uninstall.exe and, when nothing else is left, the install folder.
//  5. Last, the copy leaves its folder: it moves its own running file,
//     through the inherited handle, to a random name in the temporary
//     folder (where it is deleted as the copy ends) and removes the folder,
//     now empty. Where that cannot be done, an elevated copy names both for
//     deletion at the next start of Windows.
//
// Both programs load DLLs from the system folder only (first thing, through
// platform/); every other Windows call of the uninstaller goes through
// platform/ as well.
#include "platform.h"
#include "record_path.h"
#include "registration.h"
#include "uninstall_logic.h"
#include "uninstall_texts.h"

#include <windows.h>
#include <ntsecapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Marks the command line of the copy: "<marker> <process> <pipe> <own file> <folder>".
const char kRelocatedMarker[] = "/relocated ";
const DWORD kWaitForStarter = 30000;  // ms the copy waits for the started program to end
const int kDeleteTries = 100;         // ... then tries to delete it, 100 ms apart

int cannot_start()
{
    MessageBoxA(nullptr, uninstall_text::kCannotStart, uninstall_text::kCaption, MB_OK | MB_ICONERROR);
    return kUninstallFailed;
}

// The folder part of `path` (up to its last separator of its own), in place.
int cut_to_folder(char* path)
{
    char* last = nullptr;
    for (const char* p = find_separator(path); p; p = find_separator(p + 1))
        last = const_cast<char*>(p);
    if (!last || last == path)
        return 0;
    *last = '\0';
    return 1;
}

// Whether this process runs with full administrator rights (User Account
// Control's elevation). No: also where Windows cannot tell (before Vista).
int is_elevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return ok && elevation.TokenIsElevated ? 1 : 0;
}

// "<temp>uninstall-<16 random hex digits><suffix>" into `out` (MAX_PATH
// bytes), from the system's random numbers. 1 / 0.
int random_name(const char* temp, const char* suffix, char* out)
{
    unsigned char random[8];
    if (!RtlGenRandom(random, sizeof random))
        return 0;
    char hex[2 * sizeof random + 1];
    for (size_t i = 0; i < sizeof random; ++i)
        snprintf(hex + 2 * i, 3, "%02x", (unsigned)random[i]);
    int len = snprintf(out, MAX_PATH, "%suninstall-%s%s", temp, hex, suffix);
    return len > 0 && len < MAX_PATH;
}

// Makes a new folder "<temp>uninstall-<16 random hex digits>" into `folder`
// (MAX_PATH bytes). Elevated, only SYSTEM, the administrators and the
// folder's owner may enter it; files made inside inherit that. 1 / 0.
int make_private_folder(const char* temp, char* folder)
{
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (is_elevated()) {
        // Protected (no rights from the temporary folder), full access for
        // SYSTEM, Administrators and the owner, inherited by what is inside.
        const char kPrivate[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)";
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kPrivate, SDDL_REVISION_1, &descriptor, nullptr))
            return 0;
        attributes.lpSecurityDescriptor = descriptor;
    }
    int made = 0;
    for (int i = 0; i < 100 && !made; ++i) {
        if (!random_name(temp, "", folder))
            break;
        if (CreateDirectoryA(folder, &attributes))
            made = 1;
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (descriptor)
        LocalFree(descriptor);
    return made;
}

// FILE_RENAME_INFO of SetFileInformationByHandle (Windows Vista and later,
// looked up at run time), with room for a path.
struct RenameInfo {
    BOOLEAN replace_if_exists;
    HANDLE root_directory;
    DWORD name_bytes;
    WCHAR name[MAX_PATH];
};
const int kFileRenameInfo = 3;  // FILE_INFO_BY_HANDLE_CLASS FileRenameInfo

// Moves the open file `file` (opened with delete access) to `to`, which
// must not exist. 1 / 0.
int rename_open_file(HANDLE file, const char* to)
{
    typedef BOOL(WINAPI * SetInformationFunction)(HANDLE, int, LPVOID, DWORD);
    SetInformationFunction set_information =
        (SetInformationFunction)(void (*)())GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                           "SetFileInformationByHandle");
    RenameInfo info = {};
    int n = MultiByteToWideChar(CP_ACP, 0, to, -1, info.name, MAX_PATH);
    if (!set_information || n <= 1)
        return 0;
    info.replace_if_exists = FALSE;
    info.name_bytes = (DWORD)(n - 1) * sizeof(WCHAR);
    return set_information(file, kFileRenameInfo, &info, sizeof info) ? 1 : 0;
}

// The copy's last act (step 5 above): out of its private folder, which then
// goes. `file` is the inherited handle of the copy's own file.
void leave_private_folder(HANDLE file)
{
    char self[MAX_PATH], folder[MAX_PATH], system[MAX_PATH], temp[MAX_PATH], moved[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self)
        return;
    strcpy(folder, self);
    if (!cut_to_folder(folder))
        return;
    n = GetSystemDirectoryA(system, sizeof system);
    if (n > 0 && n < sizeof system)
        SetCurrentDirectoryA(system);
    n = GetTempPathA(sizeof temp, temp);
    int left = 0;
    for (int i = 0; i < 10 && !left && n > 0 && n < sizeof temp; ++i)
        left = random_name(temp, ".tmp", moved) && rename_open_file(file, moved);
    if (left && RemoveDirectoryA(folder))
        return;
    if (is_elevated()) {
        MoveFileExA(left ? moved : self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

int run_relocated(const char* args)
{
    char* end = nullptr;
    unsigned long starter = strtoul(args, &end, 10);
    if (!end || *end != ' ')
        return kUninstallFailed;
    unsigned long pipe = strtoul(end + 1, &end, 10);
    if (!end || *end != ' ')
        return kUninstallFailed;
    unsigned long own_file = strtoul(end + 1, &end, 10);
    if (!end || *end != ' ')
        return kUninstallFailed;
    const char* folder = end + 1;
    HANDLE starter_process = (HANDLE)(uintptr_t)starter;
    HANDLE result_pipe = (HANDLE)(uintptr_t)pipe;

    int32_t remove_self = 0;
    int32_t code = run_uninstall(folder, &remove_self);
    unsigned char byte = (unsigned char)code;
    DWORD written = 0;
    WriteFile(result_pipe, &byte, 1, &written, nullptr);
    CloseHandle(result_pipe);

    if (remove_self) {
        WaitForSingleObject(starter_process, kWaitForStarter);
        for (int i = 0; i < kDeleteTries && !remove_uninstaller(folder); ++i)
            Sleep(100);
    }
    CloseHandle(starter_process);
    leave_private_folder((HANDLE)(uintptr_t)own_file);
    return code;
}

int start_relocated()
{
    char self[MAX_PATH], folder[MAX_PATH], temp[MAX_PATH], private_folder[MAX_PATH], copy[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self)
        return cannot_start();
    strcpy(folder, self);
    if (!cut_to_folder(folder))
        return cannot_start();
    n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp)
        return cannot_start();

    if (!make_private_folder(temp, private_folder))
        return cannot_start();
    int len = snprintf(copy, sizeof copy, "%s\\%s", private_folder, kUninstallProgram);
    if (len <= 0 || len >= (int)sizeof copy || !CopyFileA(self, copy, TRUE)) {
        DeleteFileA(copy);
        RemoveDirectoryA(private_folder);
        return cannot_start();
    }

    // Held without write or delete sharing until the copy runs.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE copy_file = CreateFileA(copy, GENERIC_READ | DELETE, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (copy_file == INVALID_HANDLE_VALUE) {
        DeleteFileA(copy);
        RemoveDirectoryA(private_folder);
        return cannot_start();
    }
    HANDLE me = nullptr, pipe_read = nullptr, pipe_write = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, SYNCHRONIZE, TRUE, 0) ||
        !CreatePipe(&pipe_read, &pipe_write, &inherit, 0)) {
        if (me)
            CloseHandle(me);
        CloseHandle(copy_file);
        RemoveDirectoryA(private_folder);
        return cannot_start();
    }
    SetHandleInformation(pipe_read, HANDLE_FLAG_INHERIT, 0);

    char command[3 * MAX_PATH];
    len = snprintf(command, sizeof command, "\"%s\" %s%lu %lu %lu %s", copy, kRelocatedMarker,
                   (unsigned long)(uintptr_t)me, (unsigned long)(uintptr_t)pipe_write,
                   (unsigned long)(uintptr_t)copy_file, folder);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    BOOL ok = len > 0 && len < (int)sizeof command &&
              CreateProcessA(copy, command, nullptr, nullptr, TRUE, 0, nullptr, private_folder, &startup, &started);
    // The copy holds its own handles now; without it, closing the file
    // handle deletes the copy.
    CloseHandle(pipe_write);
    CloseHandle(copy_file);
    CloseHandle(me);
    if (!ok) {
        CloseHandle(pipe_read);
        RemoveDirectoryA(private_folder);
        return cannot_start();
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);

    // The copy's answer; a copy that ended without one failed.
    unsigned char byte = 0;
    DWORD got = 0;
    int32_t code = ReadFile(pipe_read, &byte, 1, &got, nullptr) && got == 1 ? (int32_t)byte : kUninstallFailed;
    CloseHandle(pipe_read);
    return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int)
{
    plat_restrict_dll_search();
    // A removed disc or drive must not raise the system's "no disk" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    if (command_line && strncmp(command_line, kRelocatedMarker, sizeof kRelocatedMarker - 1) == 0)
        return run_relocated(command_line + sizeof kRelocatedMarker - 1);
    plat_check_code_page(0);  // once, by the program Windows started
    return start_relocated();
}
