// The texts of setup. setup_texts.cpp is compiled with the execution
// character set CP950, so each of these holds the Big5 bytes that the "A"
// functions expect; the UTF-8 form is in the comment (a unit test compares).
#pragma once

namespace setup_text {

extern const char kPreparing[];          // "準備安裝中,請稍後....."
extern const char kProgressFormat[];     // "安裝進度 %d %%"
extern const char kCancelButton[];       // "取消"
extern const char kConfirmCancel[];      // "確定取消嗎 ?"
extern const char kUninstallLinkName[];  // "解除安裝"
extern const char kWebShortcut[];        // "官方網頁.url"
extern const char kNeedSpaceFormat[];    // "需要 %dMb 的磁碟空間"
extern const char kNoSpaceCaption[];     // "硬碟空間不足"
extern const char kFailedText[];         // "請重新安裝"
extern const char kFailedCaption[];      // "安裝失敗 !!"
extern const char kSuccessFormat[];      // "請點桌面上的 %s 捷徑進入遊戲"
extern const char kSuccessCaption[];     // "安裝成功 !!"
extern const char kPathTooLong[];        // "安裝路徑太長"
extern const char kPathCaption[];        // "請選擇安裝路徑"
extern const char kBrowseTitle[];        // "Please choose a folder"

}  // namespace setup_text
