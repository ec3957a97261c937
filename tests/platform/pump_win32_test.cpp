// The Windows message pump: every message waiting is dispatched once the
// interval has passed since the pump last asked; a call within the
// interval leaves them waiting for the next one that asks.
#include "platform.h"
#include "pump_throttle.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

int g_received = 0;

LRESULT CALLBACK counting_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_USER + 1) {
        ++g_received;
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

struct MessageWindow {
    HWND window = nullptr;
    MessageWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = counting_proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "pump_test";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "pump_test", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
    ~MessageWindow() { DestroyWindow(window); }
};

// Past the interval since any earlier pump of this process.
void wait_out_interval()
{
    Sleep(kPumpIntervalMs + 20);
}

}  // namespace

TEST(MessagePump, DispatchesEverythingWaitingOncePerInterval)
{
    MessageWindow w;
    ASSERT_NE(w.window, nullptr);
    wait_out_interval();
    plat_pump_messages();  // whatever the window's creation queued
    g_received = 0;

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(PostMessageA(w.window, WM_USER + 1, 0, 0));
    wait_out_interval();
    DWORD asked = GetTickCount();  // no later than the pump's own clock when it asks
    plat_pump_messages();
    EXPECT_EQ(g_received, 3);

    // A call right after the one that asked returns at once and the
    // message waits. (Should this thread lose the processor for the whole
    // interval, the call asks, and only the next one past it is certain.)
    ASSERT_TRUE(PostMessageA(w.window, WM_USER + 1, 0, 0));
    plat_pump_messages();
    if (GetTickCount() - asked < kPumpIntervalMs) {
        EXPECT_EQ(g_received, 3);
    }
    wait_out_interval();
    plat_pump_messages();
    EXPECT_EQ(g_received, 4);
}
