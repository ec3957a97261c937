// The texts of the uninstaller. uninstall_texts.cpp is compiled with the
// execution character set CP950, so each holds the Big5 bytes that the "A"
// functions expect; the UTF-8 form is in the comment (a unit test compares).
#pragma once

namespace uninstall_text {

extern const char kCaption[];            // "解除安裝"
extern const char kConfirmFormat[];      // "確定要移除「%s」嗎?\n\n安裝資料夾:%s"
extern const char kDoneFormat[];         // "「%s」已移除。"
extern const char kKeptFilesHead[];      // "\n\n下列檔案在安裝後有所變更,已保留:"
extern const char kKeptFoldersHead[];    // "\n\n下列資料夾內有您的檔案,已保留:"
extern const char kKeptInstallFormat[];  // "\n\n安裝資料夾 %s 內還有您的檔案,已保留。"
extern const char kMoreFormat[];         // "\n  ……以及其他 %d 項"
extern const char kNoDataFormat[];       // "找不到或無法讀取 %s,無法解除安裝。..."
extern const char kNoKey[];              // "找不到此程式的安裝記錄(登錄機碼),..."
extern const char kKeyDamaged[];         // "此程式的安裝記錄(登錄機碼)損毀,..."
extern const char kKeyOtherFormat[];     // "此程式的安裝記錄指向另一個資料夾:..."
extern const char kManifestFormat[];     // "安裝清單 %s 損毀(第 %d 行),..."
extern const char kBusyHead[];           // "下列檔案是唯讀的或正在使用中,無法刪除。..."
extern const char kPartialHead[];        // "下列項目無法移除,請稍後再執行一次解除安裝:"
extern const char kCannotStart[];        // "無法準備解除安裝程式(暫存資料夾無法使用)。..."

// Names that setup gives the things it makes (a unit test compares them
// with setup's own).
extern const char kUninstallLinkName[];  // "解除安裝"
extern const char kWebShortcut[];        // "官方網頁.url"
extern const char kUninstallDataName[];  // "uninstall.dat"

}  // namespace uninstall_text
