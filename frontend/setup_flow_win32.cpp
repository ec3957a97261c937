// The sequence of setup. Every Chinese text comes from setup_texts (Big5).
#include "setup_flow.h"

#include "disk_space.h"
#include "engine_texts.h"
#include "install_engine.h"
#include "platform.h"
#include "registration.h"
#include "setup_finish.h"
#include "setup_header.h"
#include "setup_resources.h"
#include "setup_texts.h"
#include "setup_windows.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

SetupFlow g_flow;

void run_setup()
{
    open_main_window();
    if (choose_install_path()) {
        open_progress_display();
        int success = 0;
        if (install_disc_set(g_flow.install_path, g_flow.source_root, kUninstallLinkName, nullptr, on_progress)) {
            // A finishing file that could not be written is a write error:
            // the installation lacks it, and says so rather than success.
            if (finish_installation(g_flow.install_path, g_flow.source_root, g_flow.header))
                success = 1;
            else
                plat_message_box(nullptr, engine_text::kCannotWrite, engine_text::kDiskErrorCaption, PLAT_MB_OK);
        }
        DestroyWindow(g_windows.progress_dialog);
        g_windows.progress_dialog = nullptr;
        // A cancel the user confirmed ends without a word.
        if (!success && g_windows.install_flag == 1)
            plat_message_box(nullptr, setup_text::kFailedText, setup_text::kFailedCaption, PLAT_MB_OK);
        DestroyWindow(g_windows.main_window);
        g_windows.main_window = nullptr;
        g_windows.cancel_button = nullptr;
        g_windows.background.release();
        if (success) {
            char text[256];
            snprintf(text, sizeof text, setup_text::kSuccessFormat, g_flow.header.product);
            plat_message_box(nullptr, text, setup_text::kSuccessCaption, PLAT_MB_OK);
        }
        return;
    }
    DestroyWindow(g_windows.main_window);
    g_windows.main_window = nullptr;
    g_windows.background.release();
}

int choose_install_path()
{
    // A missing cd1 ends quietly, a damaged header after the damage message.
    if (!read_setup_header(g_flow.source_root, &g_flow.header))
        return 0;
    if (!propose_install_path(g_flow.header.company, g_flow.header.product, g_flow.install_path))
        g_flow.install_path[0] = '\0';
    return DialogBoxParamA(g_windows.instance, MAKEINTRESOURCEA(IDD_PATH), g_windows.main_window, path_dialog_proc,
                           0) == 1
               ? 1
               : 0;
}

INT_PTR CALLBACK path_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        g_flow.path_dialog = dialog;
        SetWindowTextA(GetDlgItem(dialog, IDC_PATH_EDIT), g_flow.install_path);
        return TRUE;  // focus on the first tab stop, OK: Enter accepts the proposal
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wparam)) {
    case IDOK: {
        GetWindowTextA(GetDlgItem(dialog, IDC_PATH_EDIT), g_flow.install_path, PLAT_PATH_SIZE);
        if (check_disk_space()) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        char text[128];
        snprintf(text, sizeof text, setup_text::kNeedSpaceFormat, space_needed_shown(g_flow.header.total_size));
        plat_message_box(dialog, text, setup_text::kNoSpaceCaption, PLAT_MB_OK);
        return FALSE;
    }
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_BROWSE: {
        char folder[PLAT_PATH_SIZE];
        if (browse_for_folder(dialog, folder)) {
            if (compose_browsed_path(folder, g_flow.header.product, g_flow.install_path))
                SetWindowTextA(GetDlgItem(dialog, IDC_PATH_EDIT), g_flow.install_path);
            else if (strlen(folder) >= 2)
                plat_message_box(dialog, setup_text::kPathTooLong, setup_text::kPathCaption, PLAT_MB_OK);
        }
        return FALSE;
    }
    }
    return FALSE;
}

int check_disk_space()
{
    GetWindowTextA(GetDlgItem(g_flow.path_dialog, IDC_PATH_EDIT), g_flow.install_path, PLAT_PATH_SIZE);
    return has_enough_space(g_flow.install_path, g_flow.header.total_size);
}

int browse_for_folder(HWND owner, char* path)
{
    IMalloc* shell_malloc = nullptr;
    if (FAILED(SHGetMalloc(&shell_malloc)) || !shell_malloc)
        return 0;
    char* name = (char*)shell_malloc->Alloc(MAX_PATH);
    if (!name) {
        shell_malloc->Release();
        return 0;
    }
    LPITEMIDLIST root = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &root))) {
        shell_malloc->Free(name);
        shell_malloc->Release();
        return 0;
    }
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = root;
    info.pszDisplayName = name;
    info.lpszTitle = setup_text::kBrowseTitle;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    int result = 0;
    if (LPITEMIDLIST item = SHBrowseForFolderA(&info)) {
        if (SHGetPathFromIDListA(item, name)) {
            name[MAX_PATH - 1] = '\0';
            memcpy(path, name, strlen(name) + 1);
            result = 1;
        }
        shell_malloc->Free(item);
    }
    shell_malloc->Free(root);
    shell_malloc->Free(name);
    shell_malloc->Release();
    return result;
}
