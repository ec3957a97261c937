// Resource ids of setup, shared by setup.rc and the window code.
#pragma once

#define IDI_SETUP 100     // the program icon
#define IDD_PATH 101      // the path dialog
#define IDD_PROGRESS 103  // the progress dialog
#define IDC_PATH_EDIT 1000
#define IDC_BROWSE 1001
