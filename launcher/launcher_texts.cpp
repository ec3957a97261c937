// Texts of the launcher, as the bytes MessageBoxA receives. The Chinese text
// is written as Big5 (code page 950) byte escapes, one character per pair, so
// every compiler of the project (clang has no -fexec-charset=CP950) yields the
// same bytes; a test compares them with the text converted from UTF-8.
#include "launcher_logic.h"

// "請放入Korvane安裝片" (please insert the Korvane installation disc)
const char kInsertDiscText[] =
    "\xBD\xD0"  // 請
    "\xA9\xF1"  // 放
    "\xA4\x4A"  // 入
    "Korvane"
    "\xA6\x77"  // 安
    "\xB8\xCB"  // 裝
    "\xA4\xF9"; // 片
const char kWarningCaption[] = "Warning";
const char kFolderTooLongText[] = "The folder path is too long to start setup.exe";
