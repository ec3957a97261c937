// Setup's windows under Windows (Wine): the dialog templates as stored in
// the program, the main window, the progress display and the progress
// callback's slide show, the cancel confirmation and the path dialog's OK.
#include "disk_space.h"
#include "platform.h"
#include "setup_flow.h"
#include "setup_layout.h"
#include "setup_resources.h"
#include "setup_windows.h"
#include "tga_bytes.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- Reading a DLGTEMPLATE back -----------------------------------------

struct ControlTemplate {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    WORD class_atom;  // 0x80 button, 0x81 edit
    std::wstring text;
};
struct DialogTemplate {
    DWORD style;
    DWORD ex_style;
    short x, y, cx, cy;
    std::wstring caption;
    WORD point_size;
    std::wstring font;
    std::vector<ControlTemplate> controls;
};

struct Reader {
    const BYTE* p;
    WORD word()
    {
        WORD w;
        memcpy(&w, p, 2);
        p += 2;
        return w;
    }
    DWORD dword()
    {
        DWORD d;
        memcpy(&d, p, 4);
        p += 4;
        return d;
    }
    std::wstring text()
    {
        std::wstring s;
        for (WORD c = word(); c; c = word())
            s += (wchar_t)c;
        return s;
    }
    void align(const BYTE* base) { p += (4 - ((p - base) & 3)) & 3; }
};

bool load_dialog(int id, DialogTemplate* out)
{
    HRSRC found = FindResourceExA(nullptr, (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(id),
                                  MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL));
    if (!found)
        return false;
    const BYTE* base = (const BYTE*)LockResource(LoadResource(nullptr, found));
    Reader r{base};
    out->style = r.dword();
    out->ex_style = r.dword();
    const WORD count = r.word();
    out->x = (short)r.word();
    out->y = (short)r.word();
    out->cx = (short)r.word();
    out->cy = (short)r.word();
    EXPECT_EQ(0, r.word()) << "no menu";
    EXPECT_EQ(0, r.word()) << "the standard dialog class";
    out->caption = r.text();
    out->point_size = 0;
    if (out->style & DS_SETFONT) {
        out->point_size = r.word();
        out->font = r.text();
    }
    for (WORD i = 0; i < count; i++) {
        r.align(base);
        ControlTemplate c;
        c.style = r.dword();
        r.dword();  // extended style
        c.x = (short)r.word();
        c.y = (short)r.word();
        c.cx = (short)r.word();
        c.cy = (short)r.word();
        c.id = r.word();
        if (r.word() == 0xFFFF) {
            c.class_atom = r.word();
        } else {
            ADD_FAILURE() << "control " << c.id << ": class stored by name, not as a predefined one";
            r.p -= 2;
            r.text();
            c.class_atom = 0;
        }
        c.text = r.text();
        r.word();  // creation data size
        out->controls.push_back(c);
    }
    return true;
}

// ---- Pictures and windows -------------------------------------------------

// A 24-bit picture `width` x 2 pixels.
std::string picture(int width)
{
    return tga_header(2, width, 2, 24, 0x20) + std::string((size_t)width * 2 * 3, '\x40');
}

struct SetupWindowsTest : ::testing::Test {
    TempDir disc;
    char saved[1024] = "";

    void SetUp() override
    {
        // Under Wine without an X display no window can be made.
        HWND probe = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (!probe)
            GTEST_SKIP() << "no window system here (Wine without an X display)";
        DestroyWindow(probe);
        g_windows.instance = GetModuleHandleA(nullptr);
        g_windows.slides = {0, 0, 0};
        g_windows.install_flag = 1;
        plat_create_directory(disc.path("pic").c_str());
        write_file(disc.path("pic\\01.tga"), picture(11));
        write_file(disc.path("pic\\02.tga"), picture(12));
        write_file(disc.path("pic\\03.tga"), picture(13));
        ASSERT_EQ(1, plat_get_current_directory(saved, sizeof saved));
        ASSERT_EQ(1, plat_set_current_directory(disc.win.c_str()));
    }
    void TearDown() override
    {
        if (g_windows.progress_dialog)
            DestroyWindow(g_windows.progress_dialog);
        if (g_windows.main_window)
            DestroyWindow(g_windows.main_window);
        g_windows.progress_dialog = g_windows.main_window = g_windows.cancel_button = nullptr;
        g_windows.background.release();
        plat_set_current_directory(saved);
    }
    void click_cancel(HWND button)
    {
        SendMessageA(g_windows.main_window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), (LPARAM)button);
    }
};

}  // namespace

TEST(SetupResources, PathDialogIsAsDesigned)
{
    DialogTemplate d;
    ASSERT_TRUE(load_dialog(IDD_PATH, &d)) << "dialog 101 in Chinese (Taiwan)";
    EXPECT_EQ((DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT), d.style);
    EXPECT_EQ(0u, d.ex_style);
    EXPECT_EQ(226, d.cx);
    EXPECT_EQ(53, d.cy);
    EXPECT_EQ(L"請選擇安裝路徑", d.caption);
    EXPECT_EQ(10, d.point_size);
    EXPECT_EQ(L"System", d.font);
    ASSERT_EQ(4u, d.controls.size());
    const DWORD common = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    struct Want {
        WORD id;
        WORD atom;
        const wchar_t* text;
        short x, y, cx, cy;
        DWORD style;
    } want[] = {
        {IDOK, 0x80, L"確定", 119, 32, 50, 14, common | BS_DEFPUSHBUTTON},
        {IDCANCEL, 0x80, L"取消", 59, 32, 50, 14, common},
        {IDC_PATH_EDIT, 0x81, L"", 7, 7, 157, 14, common | WS_BORDER | ES_AUTOHSCROLL},
        {IDC_BROWSE, 0x80, L"瀏覽", 169, 7, 50, 14, common},
    };
    for (size_t i = 0; i < 4; i++) {
        const ControlTemplate& c = d.controls[i];
        EXPECT_EQ(want[i].id, c.id) << i;
        EXPECT_EQ(want[i].atom, c.class_atom) << i;
        EXPECT_EQ(want[i].text, c.text) << i;
        EXPECT_EQ(want[i].x, c.x) << i;
        EXPECT_EQ(want[i].y, c.y) << i;
        EXPECT_EQ(want[i].cx, c.cx) << i;
        EXPECT_EQ(want[i].cy, c.cy) << i;
        EXPECT_EQ(want[i].style, c.style) << i;
    }
}

TEST(SetupResources, ProgressDialogAndIcon)
{
    DialogTemplate d;
    ASSERT_TRUE(load_dialog(IDD_PROGRESS, &d)) << "dialog 103 in Chinese (Taiwan)";
    EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE | DS_CENTER | DS_MODALFRAME | DS_SETFONT), d.style);
    EXPECT_EQ(203, d.cx);
    EXPECT_EQ(32, d.cy);
    EXPECT_EQ(L"", d.caption);
    EXPECT_EQ(10, d.point_size);
    EXPECT_EQ(L"System", d.font);
    EXPECT_TRUE(d.controls.empty());
    EXPECT_NE(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(IDI_SETUP), (LPCSTR)RT_GROUP_ICON));
}

TEST_F(SetupWindowsTest, ProgressDisplayAndSlideShow)
{
    open_main_window();
    ASSERT_NE(nullptr, g_windows.main_window);
    EXPECT_EQ(11, g_windows.background.width);  // pic\01.tga
    EXPECT_TRUE(IsZoomed(g_windows.main_window));

    open_progress_display();
    ASSERT_NE(nullptr, g_windows.progress_dialog);
    ASSERT_NE(nullptr, g_windows.cancel_button);
    RECT client;
    GetClientRect(g_windows.main_window, &client);
    EXPECT_EQ(client.right, g_windows.screen_width);
    EXPECT_EQ(client.bottom, g_windows.screen_height);
    EXPECT_EQ(3, g_windows.slides.picture_count);
    EXPECT_EQ(1, g_windows.install_flag);
    EXPECT_EQ(0, g_windows.slides.current_percent);

    const ProgressLayout want = progress_layout(g_windows.screen_width, g_windows.screen_height);
    RECT r;
    GetWindowRect(g_windows.progress_dialog, &r);
    EXPECT_EQ(want.dialog.x, r.left);
    EXPECT_EQ(want.dialog.y, r.top);
    EXPECT_EQ(want.dialog.width, r.right - r.left);
    EXPECT_EQ(want.dialog.height, r.bottom - r.top);
    GetWindowRect(g_windows.cancel_button, &r);
    MapWindowPoints(nullptr, g_windows.main_window, (POINT*)&r, 2);
    EXPECT_EQ(want.button.x, r.left);
    EXPECT_EQ(want.button.y, r.top);
    EXPECT_EQ(40, r.right - r.left);
    EXPECT_EQ(30, r.bottom - r.top);
    char text[16] = "";
    GetWindowTextA(g_windows.cancel_button, text, sizeof text);
    EXPECT_EQ(big5("取消"), text);

    // 1 %: picture 0 is asked for and missing; picture 01 stays shown.
    EXPECT_EQ(1, on_progress(1));
    EXPECT_EQ(-1, g_windows.slides.shown_index);
    EXPECT_EQ(11, g_windows.background.width);
    ASSERT_NE(nullptr, g_windows.background.pixels);
    UpdateWindow(g_windows.main_window);  // paints what is held, not freed memory
    EXPECT_EQ(1, on_progress(25));        // (4 x 25) / 100 - 1 = 0: 01 again
    EXPECT_EQ(0, g_windows.slides.shown_index);
    EXPECT_EQ(1, on_progress(50));  // 02
    EXPECT_EQ(12, g_windows.background.width);
    EXPECT_EQ(1, on_progress(50));
    EXPECT_EQ(1, on_progress(75));  // 03
    EXPECT_EQ(13, g_windows.background.width);
    EXPECT_EQ(1, on_progress(100));  // index 3 is not below the count: 03 stays
    EXPECT_EQ(13, g_windows.background.width);
    EXPECT_EQ(100, g_windows.slides.current_percent);
    UpdateWindow(g_windows.progress_dialog);
    UpdateWindow(g_windows.main_window);
}

TEST_F(SetupWindowsTest, CancelAsksAndClearsTheFlagOnYes)
{
    open_main_window();
    open_progress_display();
    ASSERT_NE(nullptr, g_windows.cancel_button);
    BoxRecorder boxes;
    boxes.answers = {PLAT_IDNO, PLAT_IDYES, PLAT_IDNO};

    click_cancel(g_windows.cancel_button);
    ASSERT_EQ(1u, boxes.shown.size());
    EXPECT_EQ("確定取消嗎 ?", boxes.shown[0].text);
    EXPECT_EQ("", boxes.shown[0].caption);
    EXPECT_EQ((unsigned)PLAT_MB_YESNO, boxes.shown[0].type);
    EXPECT_EQ(1, on_progress(10));

    click_cancel(g_windows.cancel_button);
    EXPECT_EQ(0, on_progress(11));
    click_cancel(g_windows.cancel_button);  // No afterwards leaves it cancelled
    EXPECT_EQ(0, on_progress(12));
    EXPECT_EQ(0, on_progress(12));
    EXPECT_EQ(3u, boxes.shown.size());

    // Another window's click, or another notification, asks nothing.
    SendMessageA(g_windows.main_window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), (LPARAM)g_windows.progress_dialog);
    SendMessageA(g_windows.main_window, WM_COMMAND, MAKEWPARAM(0, BN_SETFOCUS), (LPARAM)g_windows.cancel_button);
    EXPECT_EQ(3u, boxes.shown.size());

    // The picture window cannot be closed.
    EXPECT_EQ(0, SendMessageA(g_windows.main_window, WM_CLOSE, 0, 0));
    EXPECT_TRUE(IsWindow(g_windows.main_window));
}

TEST_F(SetupWindowsTest, MissingFirstPictureLeavesTheBackgroundEmpty)
{
    plat_set_current_directory(saved);
    TempDir bare;
    ASSERT_EQ(1, plat_set_current_directory(bare.win.c_str()));
    open_main_window();
    ASSERT_NE(nullptr, g_windows.main_window);
    EXPECT_EQ(nullptr, g_windows.background.pixels);
    UpdateWindow(g_windows.main_window);
    open_progress_display();
    EXPECT_EQ(0, g_windows.slides.picture_count);
    EXPECT_EQ(1, on_progress(50));
    EXPECT_EQ(nullptr, g_windows.background.pixels);
}

TEST_F(SetupWindowsTest, PathDialogOkChecksTheDrive)
{
    strcpy(g_flow.install_path, "C:\\Program Files\\Co\\Game");
    g_flow.header.total_size = 300000000;
    HWND dialog = CreateDialogParamA(g_windows.instance, MAKEINTRESOURCEA(IDD_PATH), nullptr, path_dialog_proc, 0);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(dialog, g_flow.path_dialog);
    char text[PLAT_PATH_SIZE] = "";
    GetDlgItemTextA(dialog, IDC_PATH_EDIT, text, sizeof text);
    EXPECT_STREQ("C:\\Program Files\\Co\\Game", text);
    EXPECT_EQ(IDOK, GetDlgCtrlID(GetNextDlgTabItem(dialog, nullptr, FALSE)));

    BoxRecorder boxes;
    // A drive that does not exist, and a network path: refused with the need.
    SetDlgItemTextA(dialog, IDC_PATH_EDIT, "Q:\\Games\\Game");
    // The dialog procedure's own answer (SendMessage would give the message result).
    EXPECT_EQ(FALSE, path_dialog_proc(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0));
    EXPECT_STREQ("Q:\\Games\\Game", g_flow.install_path);
    SetDlgItemTextA(dialog, IDC_PATH_EDIT, "\\\\server\\share\\Game");
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_EQ(2u, boxes.shown.size());
    EXPECT_EQ("需要 312Mb 的磁碟空間", boxes.shown[0].text);
    EXPECT_EQ("硬碟空間不足", boxes.shown[0].caption);
    EXPECT_EQ((unsigned)PLAT_MB_OK, boxes.shown[0].type);
    EXPECT_EQ(boxes.shown[0].text, boxes.shown[1].text);

    EXPECT_EQ(TRUE, path_dialog_proc(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0));
    EXPECT_EQ(FALSE, path_dialog_proc(dialog, WM_COMMAND, MAKEWPARAM(4242, BN_CLICKED), 0));
    DestroyWindow(dialog);
}

namespace {

// A drive of a chosen size in place of the platform's free-space query.
uint64_t g_fake_free = 0;
int fake_free_query(const char*, uint64_t* free_bytes)
{
    *free_bytes = g_fake_free;
    return 1;
}

// Buttons to press in the modal path dialog, one per tick of a thread timer
// (dispatched by the dialog's own loop). With none left the dialog is ended
// with 99, so a dialog that does not end fails the test instead of hanging.
std::vector<int> g_presses;
void CALLBACK press_next(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = g_flow.path_dialog;
    if (!dialog || !IsWindow(dialog))
        return;
    if (g_presses.empty()) {
        EndDialog(dialog, 99);
        return;
    }
    int id = g_presses.front();
    g_presses.erase(g_presses.begin());
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

INT_PTR run_path_dialog(std::vector<int> presses)
{
    g_presses = std::move(presses);
    g_flow.path_dialog = nullptr;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, press_next);
    INT_PTR result = DialogBoxParamA(g_windows.instance, MAKEINTRESOURCEA(IDD_PATH), nullptr, path_dialog_proc, 0);
    KillTimer(nullptr, timer);
    return result;
}

}  // namespace

TEST_F(SetupWindowsTest, PathDialogOkEndsWithOneOnlyWhenTheDriveHasRoom)
{
    set_disk_free_query(fake_free_query);
    strcpy(g_flow.install_path, "E:\\Games\\Game");
    g_flow.header.total_size = 300000000;
    BoxRecorder boxes;

    // Exactly the total plus 20 MiB free: OK ends the dialog with 1.
    g_fake_free = 320971520;
    EXPECT_EQ(1, run_path_dialog({IDOK}));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_STREQ("E:\\Games\\Game", g_flow.install_path);

    // One byte less: OK says what is needed and the dialog stays open, so
    // the Cancel after it ends it, with 0.
    g_fake_free = 320971519;
    EXPECT_EQ(0, run_path_dialog({IDOK, IDCANCEL}));
    ASSERT_EQ(1u, boxes.shown.size());
    EXPECT_EQ("需要 312Mb 的磁碟空間", boxes.shown[0].text);
    EXPECT_EQ("硬碟空間不足", boxes.shown[0].caption);
    set_disk_free_query(nullptr);
}

TEST(SetupFlow, MissingFirstDiscEndsWithoutAWord)
{
    TempDir disc;
    BoxRecorder boxes;
    strcpy(g_flow.source_root, disc.win.c_str());
    EXPECT_EQ(0, choose_install_path());
    // Quoted, as a command line may come: taken verbatim, so not found either.
    strcpy(g_flow.source_root, ("\"" + disc.win + "\"").c_str());
    write_file(disc.path("cd1"), std::string(168, '\0'));
    EXPECT_EQ(0, choose_install_path());
    EXPECT_TRUE(boxes.shown.empty());
}
