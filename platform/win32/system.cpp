// Win32 message boxes, drives and the message pump.
#include "platform.h"

#include <windows.h>

int plat_default_message_box(void* owner, const char* text, const char* caption, unsigned type)
{
    return MessageBoxA((HWND)owner, text, caption, type);
}

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

void plat_pump_messages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (GetMessageA(&msg, nullptr, 0, 0)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}
