// Win32 message boxes, drives and the message pump.
#include "platform.h"
#include "lock_name.h"
#include "pump_throttle.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int plat_default_message_box(void* owner, const char* text, const char* caption, unsigned type)
{
    return MessageBoxA((HWND)owner, text, caption, type);
}

int plat_default_message_box_utf8(void* owner, const char* text, const char* caption, unsigned type)
{
    auto wide = [](const char* utf8, wchar_t* out, int size) {
        if (!utf8 || MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, size) == 0)
            out[0] = L'\0';
    };
    static wchar_t wide_text[2048];
    wchar_t wide_caption[256];
    wide(text, wide_text, 2048);
    wide(caption, wide_caption, 256);
    return MessageBoxW((HWND)owner, wide_text, wide_caption, type);
}

unsigned plat_ansi_code_page()
{
    return GetACP();
}

void plat_set_ansi_code_page(unsigned) {}

int plat_drive_type(const char* root)
{
    return (int)GetDriveTypeA(root);
}

int plat_disk_free_bytes(const char* path, uint64_t* free_bytes)
{
    ULARGE_INTEGER total_free;
    if (!path || !free_bytes || !GetDiskFreeSpaceExA(path, nullptr, nullptr, &total_free))
        return 0;
    *free_bytes = total_free.QuadPart;
    return 1;
}

namespace {

PumpThrottle g_throttle;

// Totals of the message pump for the benchmark (bench/wine_setup_cost.sh):
// with the environment variable DI_PUMP_STATS naming a file, every call is
// counted and timed, and the totals are written to that file as
// "name value" lines when the program ends. Without it the pump does
// nothing more than dispatch.
struct PumpStats {
    int state = 0;  // 0 not looked up yet, 1 off, 2 on
    char file[MAX_PATH] = {0};
    long long calls = 0;       // calls of plat_pump_messages
    long long looks = 0;       // calls that asked the window system
    long long busy_looks = 0;  // of those, the ones that found a message waiting
    long long messages = 0;    // messages dispatched
    LARGE_INTEGER first = {}, last = {}, total = {}, longest = {}, frequency = {};
    double first_cpu = 0, last_cpu = 0;  // the process's user + kernel seconds at the first and last look
};

PumpStats g_pump;

double pump_seconds(LONGLONG ticks)
{
    return (double)ticks / (double)g_pump.frequency.QuadPart;
}

double process_cpu_seconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto seconds = [](const FILETIME& t) {
        return (double)(((unsigned long long)t.dwHighDateTime << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

void write_pump_stats()
{
    FILE* f = fopen(g_pump.file, "w");
    if (!f)
        return;
    fprintf(f, "calls %lld\nlooks %lld\nbusy_looks %lld\nmessages %lld\n", g_pump.calls, g_pump.looks,
            g_pump.busy_looks, g_pump.messages);
    fprintf(f, "pump_seconds %.6f\nlongest_call_seconds %.6f\nfirst_to_last_seconds %.6f\n",
            pump_seconds(g_pump.total.QuadPart), pump_seconds(g_pump.longest.QuadPart),
            pump_seconds(g_pump.last.QuadPart - g_pump.first.QuadPart));
    fprintf(f, "cpu_first_to_last_look_seconds %.6f\n", g_pump.last_cpu - g_pump.first_cpu);
    fclose(f);
}

int pump_stats_on()
{
    if (g_pump.state == 0) {
        DWORD n = GetEnvironmentVariableA("DI_PUMP_STATS", g_pump.file, sizeof g_pump.file);
        g_pump.state = n > 0 && n < sizeof g_pump.file ? 2 : 1;
        if (g_pump.state == 2) {
            QueryPerformanceFrequency(&g_pump.frequency);
            atexit(write_pump_stats);
        }
    }
    return g_pump.state == 2;
}

// Dispatches what is waiting when the throttle lets the pump ask; the
// number of messages, or -1 when it did not ask.
long long dispatch_waiting()
{
    if (!g_throttle.due(GetTickCount()))
        return -1;
    long long n = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (GetMessageA(&msg, nullptr, 0, 0)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        ++n;
    }
    return n;
}

}  // namespace

void plat_pump_messages()
{
    if (!pump_stats_on()) {
        dispatch_waiting();
        return;
    }
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    long long n = dispatch_waiting();
    QueryPerformanceCounter(&end);
    if (g_pump.calls++ == 0)
        g_pump.first = start;
    g_pump.last = end;
    if (n >= 0) {
        // The process's processor time, once per look (every 10 ms at most).
        g_pump.last_cpu = process_cpu_seconds();
        if (g_pump.looks == 0)
            g_pump.first_cpu = g_pump.last_cpu;
        ++g_pump.looks;
        g_pump.busy_looks += n > 0;
        g_pump.messages += n;
    }
    g_pump.total.QuadPart += end.QuadPart - start.QuadPart;
    if (end.QuadPart - start.QuadPart > g_pump.longest.QuadPart)
        g_pump.longest.QuadPart = end.QuadPart - start.QuadPart;
}

// A mutex in the global namespace: every session of the machine sees it.
// One that exists already is held by another run (or was made by someone
// else to stop this one, which only stops it).
int plat_lock(const char* name, void** lock)
{
    if (!plat_lock_name_is_valid(name) || !lock)
        return 0;
    char full[MAX_PATH];
    int n = snprintf(full, sizeof full, "Global\\%s", name);
    if (n <= 0 || n >= (int)sizeof full)
        return 0;
    HANDLE mutex = CreateMutexA(nullptr, TRUE, full);
    if (!mutex)
        return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return 0;
    }
    *lock = mutex;
    return 1;
}

void plat_unlock(void* lock)
{
    if (!lock)
        return;
    ReleaseMutex((HANDLE)lock);
    CloseHandle((HANDLE)lock);
}
