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
    "\xA6\x77"   // 安
    "\xB8\xCB"   // 裝
    "\xA4\xF9";  // 片
const char kWarningCaption[] = "Warning";
const char kFolderTooLongText[] = "The folder path is too long to start setup.exe";

// "無法啟動安裝程式" (setup could not be started)
const char kCannotStartText[] =
    "\xB5\x4C\xAA\x6B\xB1\xD2\xB0\xCA\xA6\x77\xB8\xCB\xB5\x7B\xA6\xA1"
    " (Setup could not be started):";
// "找不到檔案" (file not found)
const char kReasonFileNotFound[] = "\xA7\xE4\xA4\xA3\xA8\xEC\xC0\xC9\xAE\xD7 (file not found)";
// "找不到路徑" (path not found)
const char kReasonPathNotFound[] = "\xA7\xE4\xA4\xA3\xA8\xEC\xB8\xF4\xAE\x7C (path not found)";
// "需要系統管理員權限" (administrator rights needed)
const char kReasonElevation[] =
    "\xBB\xDD\xAD\x6E\xA8\x74\xB2\xCE\xBA\xDE\xB2\x7A\xAD\xFB\xC5\x76\xAD\xAD (elevation required)";
// "記憶體不足" (out of memory)
const char kReasonOutOfMemory[] = "\xB0\x4F\xBE\xD0\xC5\xE9\xA4\xA3\xA8\xAC (out of memory)";
// "不是有效的程式" (not a valid program)
const char kReasonBadFormat[] = "\xA4\xA3\xAC\x4F\xA6\xB3\xAE\xC4\xAA\xBA\xB5\x7B\xA6\xA1 (not a valid program)";
// "錯誤碼 %u" (error code)
const char kReasonOtherFormat[] = "\xBF\xF9\xBB\x7E\xBD\x58 %u (error %u)";
