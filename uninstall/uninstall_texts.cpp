// Compiled with -fexec-charset=CP950: every literal below becomes Big5.
#include "uninstall_texts.h"

namespace uninstall_text {

const char kCaption[] = "解除安裝";
const char kConfirmFormat[] = "確定要移除「%s」嗎?\n\n安裝資料夾:%s";
const char kDoneFormat[] = "「%s」已移除。";
const char kKeptFilesHead[] = "\n\n下列檔案在安裝後有所變更,已保留:";
const char kKeptFoldersHead[] = "\n\n下列資料夾內有您的檔案,已保留:";
const char kKeptInstallFormat[] = "\n\n安裝資料夾 %s 內還有您的檔案,已保留。";
const char kMoreFormat[] = "\n  ……以及其他 %d 項";
const char kNoDataFormat[] = "找不到或無法讀取 %s,無法解除安裝。\n未刪除任何檔案。";
const char kNoKey[] = "找不到此程式的安裝記錄(登錄機碼),可能已經移除過了。\n未刪除任何檔案。";
const char kKeyDamaged[] = "此程式的安裝記錄(登錄機碼)損毀,無法解除安裝。\n未刪除任何檔案。";
const char kKeyOtherFormat[] = "此程式的安裝記錄指向另一個資料夾:\n%s\n無法從這裡解除安裝。未刪除任何檔案。";
const char kManifestFormat[] = "安裝清單 %s 損毀(第 %d 行),無法解除安裝。\n未刪除任何檔案。";
const char kBusyHead[] = "下列檔案是唯讀的或正在使用中,無法刪除。\n未刪除任何檔案;請關閉使用這些檔案的程式後再執行一次解除安裝:";
const char kPartialHead[] = "下列項目無法移除,請稍後再執行一次解除安裝:";
const char kCannotStart[] = "無法準備解除安裝程式(暫存資料夾無法使用)。\n未刪除任何檔案。";

const char kUninstallLinkName[] = "解除安裝";
const char kWebShortcut[] = "官方網頁.url";
const char kUninstallDataName[] = "uninstall.dat";

}  // namespace uninstall_text
