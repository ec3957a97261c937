// The entry point of uninstall.exe. A running program cannot delete its own
// file, so the program that Windows starts (from the install folder) copies
// itself into the temporary folder and runs the copy, which does the work:
//
//  1. The started program opens the copy with FILE_FLAG_DELETE_ON_CLOSE and
//     lets the copy inherit that handle, so the copy's file is deleted when
//     the copy ends and nothing stays behind in the temporary folder.
//  2. The copy runs the uninstallation (run_uninstall) and hands its exit
//     code back through an inherited pipe; the started program ends with
//     that code, so whoever started it learns success, cancel or failure.
//  3. The copy waits for the started program to end and then deletes
//     uninstall.exe and, when nothing else is left, the install folder.
//
// Every other Windows call of the uninstaller goes through platform/.
#include "platform.h"
#include "record_path.h"
#include "uninstall_logic.h"
#include "uninstall_texts.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Marks the command line of the copy: "<marker> <process> <pipe> <folder>".
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

int run_relocated(const char* args)
{
    char* end = nullptr;
    unsigned long starter = strtoul(args, &end, 10);
    if (!end || *end != ' ')
        return kUninstallFailed;
    unsigned long pipe = strtoul(end + 1, &end, 10);
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
    return code;
}

int start_relocated()
{
    char self[MAX_PATH], folder[MAX_PATH], temp[MAX_PATH], copy[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self)
        return cannot_start();
    strcpy(folder, self);
    if (!cut_to_folder(folder))
        return cannot_start();
    n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp)
        return cannot_start();

    // A name of its own in the temporary folder; never an existing file.
    int copied = 0;
    for (int i = 0; i < 100 && !copied; ++i) {
        int len = snprintf(copy, sizeof copy, "%suninstall-%lu-%d.exe", temp, (unsigned long)GetCurrentProcessId(), i);
        if (len <= 0 || len >= (int)sizeof copy)
            return cannot_start();
        copied = CopyFileA(self, copy, TRUE) ? 1 : 0;
    }
    if (!copied)
        return cannot_start();

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE copy_file = CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, OPEN_EXISTING,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (copy_file == INVALID_HANDLE_VALUE) {
        DeleteFileA(copy);
        return cannot_start();
    }
    HANDLE me = nullptr, pipe_read = nullptr, pipe_write = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, SYNCHRONIZE, TRUE, 0) ||
        !CreatePipe(&pipe_read, &pipe_write, &inherit, 0)) {
        if (me)
            CloseHandle(me);
        CloseHandle(copy_file);
        return cannot_start();
    }
    SetHandleInformation(pipe_read, HANDLE_FLAG_INHERIT, 0);

    char command[3 * MAX_PATH];
    int len = snprintf(command, sizeof command, "\"%s\" %s%lu %lu %s", copy, kRelocatedMarker,
                       (unsigned long)(uintptr_t)me, (unsigned long)(uintptr_t)pipe_write, folder);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    BOOL ok = len > 0 && len < (int)sizeof command &&
              CreateProcessA(copy, command, nullptr, nullptr, TRUE, 0, nullptr, temp, &startup, &started);
    // The copy holds its own handles now; without it, closing the file
    // handle deletes the copy.
    CloseHandle(pipe_write);
    CloseHandle(copy_file);
    CloseHandle(me);
    if (!ok) {
        CloseHandle(pipe_read);
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
    // A removed disc or drive must not raise the system's "no disk" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    if (command_line && strncmp(command_line, kRelocatedMarker, sizeof kRelocatedMarker - 1) == 0)
        return run_relocated(command_line + sizeof kRelocatedMarker - 1);
    plat_check_code_page(0);  // once, by the program Windows started
    return start_relocated();
}
