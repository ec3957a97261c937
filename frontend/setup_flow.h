// The sequence of setup (Windows only): from the command line to the
// closing message, through the path dialog, the extraction and the
// finishing steps.
#pragma once

#include "disc_format.h"
#include "setup_paths.h"

#include <windows.h>

// The flow's state, one per process, on the user-interface thread.
struct SetupFlow {
    char source_root[PLAT_PATH_SIZE];   // the command line, verbatim ("D:")
    char install_path[PLAT_PATH_SIZE];  // proposed, then as the path dialog returns it
    DiscHeader header;                  // read from the first disc file
    HWND path_dialog;                   // the open path dialog
};
extern SetupFlow g_flow;

// The whole installation: picture window, path dialog, extraction under
// the progress display, finishing steps, closing message.
void run_setup();

// Reads and checks the header of "<source root>\cd1" (a package member too),
// proposes "C:\Program Files\<company>\<product>" and runs the path dialog.
// 1 when the user accepted a folder with enough space; 0 when the first disc
// file is missing, its header is damaged (after the damage message) or the
// user cancelled.
int choose_install_path();

// The path dialog (resource 101): OK accepts the edit field when its drive
// has room (else says how much is needed and stays open), Cancel ends it,
// Browse puts "<chosen folder>\<product>" into the field.
INT_PTR CALLBACK path_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Reads the path dialog's edit field into the install path; 1 when its
// drive has the total size plus 20 MiB free, else 0.
int check_disk_space();

// The shell's folder browser, rooted at the computer's drives. 1 and the
// chosen folder's path in `path` (260 bytes), or 0 with `path` unchanged
// when the user cancelled or the shell failed.
int browse_for_folder(HWND owner, char* path);
