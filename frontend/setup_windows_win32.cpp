// The windows of setup. Every Chinese text comes from setup_texts (Big5).
#include "setup_windows.h"

#include "draw.h"
#include "platform.h"
#include "setup_layout.h"
#include "setup_resources.h"
#include "setup_texts.h"

SetupWindows g_windows = {nullptr, nullptr, {}, 0, 0, nullptr, nullptr, 1, {0, 0, 0}};

namespace {

const char kMainClass[] = "setup";
const DWORD kMainStyle = WS_POPUP | WS_MAXIMIZE;  // 0x81000000
// The bar colour: one 16-bit 5-5-5 pixel of pure blue.
const uint32_t kBarBlue = 0x001F;
const COLORREF kTextRed = 0x0000FF;
const int32_t kTextSize = 12;
const UINT kTextFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;  // 0x25

}  // namespace

HWND create_app_window(int x, int y, int width, int height, WNDPROC window_proc, const char* class_name, DWORD style,
                       HWND parent)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = window_proc;
    wc.hInstance = g_windows.instance;
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    wc.lpszClassName = class_name;
    RegisterClassExA(&wc);  // a class registered before stays in use

    HWND window = CreateWindowExA(0, class_name, class_name, style, x, y, width, height, parent, nullptr,
                                  g_windows.instance, nullptr);
    if (window) {
        ShowWindow(window, SW_SHOWDEFAULT);
        UpdateWindow(window);
    }
    return window;
}

void open_main_window()
{
    g_windows.background.load_tga("pic\\01.tga", nullptr);
    g_windows.main_window = create_app_window(0, 0, 100, 100, main_window_proc, kMainClass, kMainStyle, nullptr);
    ShowWindow(g_windows.main_window, SW_SHOWMAXIMIZED);
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetWindowRect(window, &r);
        draw_image(dc, 0, 0, r.right, r.bottom, g_windows.background);
        EndPaint(window, &ps);
        break;
    }
    case WM_CLOSE:
        return 0;  // the user cannot close the picture window
    case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED && g_windows.cancel_button && (HWND)lparam == g_windows.cancel_button) {
            if (plat_message_box(window, setup_text::kConfirmCancel, "", PLAT_MB_YESNO) == PLAT_IDYES)
                g_windows.install_flag = 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

void open_progress_display()
{
    RECT client = {};
    GetClientRect(g_windows.main_window, &client);
    // Measured first: the dialog places itself from these while it starts.
    g_windows.screen_width = client.right;
    g_windows.screen_height = client.bottom;

    g_windows.progress_dialog = CreateDialogParamA(g_windows.instance, MAKEINTRESOURCEA(IDD_PROGRESS),
                                                   g_windows.main_window, progress_dialog_proc, 0);
    const ProgressLayout layout = progress_layout(g_windows.screen_width, g_windows.screen_height);
    g_windows.cancel_button =
        CreateWindowExA(0, "BUTTON", setup_text::kCancelButton, WS_CHILD | WS_VISIBLE, layout.button.x, layout.button.y,
                        layout.button.width, layout.button.height, g_windows.main_window, (HMENU)0, g_windows.instance,
                        nullptr);
    InvalidateRect(g_windows.main_window, nullptr, FALSE);
    g_windows.install_flag = 1;
    count_pictures(&g_windows.slides);
}

INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        g_windows.slides.current_percent = 0;
        const ProgressLayout layout = progress_layout(g_windows.screen_width, g_windows.screen_height);
        MoveWindow(dialog, layout.dialog.x, layout.dialog.y, layout.dialog.width, layout.dialog.height, TRUE);
        return TRUE;
    }
    case WM_PAINT: {
        ImageBuffer blue;
        blue.create(1, 1, 16, nullptr);
        blue.put_pixel(0, 0, kBarBlue);
        RECT r;
        GetClientRect(dialog, &r);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(dialog, &ps);
        const int32_t percent = g_windows.slides.current_percent;
        const PixelRect bar = progress_bar(r.left, r.top, r.right, r.bottom, percent);
        draw_image(dc, bar.x, bar.y, bar.width, bar.height, blue);
        char text[kProgressTextSize];
        progress_text(percent, text);
        draw_text(dc, text, kTextSize, r, kTextRed, kNoBackground, kTextFormat);
        EndPaint(dialog, &ps);
        blue.release();
        return FALSE;
    }
    }
    return FALSE;
}

int32_t on_progress(int32_t percent)
{
    const SlideStep step = slide_show_advance(&g_windows.slides, percent);
    if (!step.changed)
        return g_windows.install_flag;
    if (step.load) {
        // The next picture goes into a second record and replaces the
        // background only once it has loaded, so the window never paints
        // from a released picture; a missing one leaves the previous.
        char name[kSlideNameSize];
        slide_picture_name(step.number, name);
        ImageBuffer next;
        if (next.load_tga(name, nullptr)) {
            g_windows.background.swap(next);
            InvalidateRect(g_windows.main_window, nullptr, FALSE);
        }
    }  // `next` releases the picture it took over
    InvalidateRect(g_windows.progress_dialog, nullptr, TRUE);
    return g_windows.install_flag;
}
