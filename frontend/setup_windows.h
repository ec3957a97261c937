// The windows of setup (Windows only): the full-screen picture window, the
// progress dialog with its cancel button, and the progress callback that
// drives them during the extraction.
#pragma once

#include "image_buffer.h"
#include "slide_show.h"

#include <windows.h>

#include <cstdint>

// The front end's window state, one per process, used on the user-interface
// thread only.
struct SetupWindows {
    HINSTANCE instance;      // the module, for the dialogs and the cancel button
    HWND main_window;        // the full-screen picture window, class "setup"
    ImageBuffer background;  // what the main window paints
    int32_t screen_width;    // W: client size of the main window, measured
    int32_t screen_height;   // H: once by open_progress_display
    HWND progress_dialog;    // modeless dialog 103
    HWND cancel_button;      // child button of the main window
    int32_t install_flag;    // 1 until the user confirms a cancel
    SlideShow slides;        // picture count, shown picture, current percent
};
extern SetupWindows g_windows;

// Registers a window class of that name (black background, arrow cursor,
// the application icon) and creates a window of it, titled with the class
// name; shows and updates it. The handle, or null when creation failed.
HWND create_app_window(int x, int y, int width, int height, WNDPROC window_proc, const char* class_name, DWORD style,
                       HWND parent);

// Loads "pic\01.tga" as the background (a missing picture leaves it empty)
// and shows the borderless, maximised main window.
void open_main_window();

// The main window: paints the background stretched over the whole window,
// refuses to close, and asks before a click on the cancel button clears the
// install flag.
LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Measures the main window, opens the progress dialog and the cancel button
// along the bottom of the screen, sets the install flag to 1 and counts the
// slide-show pictures.
void open_progress_display();

// The progress dialog: placed in pixels when it starts; paints a blue bar
// for the current percentage with the red percentage text over it.
INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The engine's progress callback: moves the bar and the slide show and
// returns the install flag (1 go on, 0 stop). A picture that cannot be
// loaded leaves the previous one on the screen.
int32_t on_progress(int32_t percent);
