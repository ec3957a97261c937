// Compiled with -fexec-charset=CP950: every literal below becomes Big5.
#include "setup_texts.h"

namespace setup_text {

const char kPreparing[] = "準備安裝中,請稍後.....";
const char kProgressFormat[] = "安裝進度 %d %%";
const char kCancelButton[] = "取消";
const char kConfirmCancel[] = "確定取消嗎 ?";
const char kUninstallLinkName[] = "解除安裝";
const char kWebShortcut[] = "官方網頁.url";
const char kNeedSpaceFormat[] = "需要 %dMb 的磁碟空間";
const char kNoSpaceCaption[] = "硬碟空間不足";
const char kFailedText[] = "請重新安裝";
const char kFailedCaption[] = "安裝失敗 !!";
const char kSuccessFormat[] = "請點桌面上的 %s 捷徑進入遊戲";
const char kSuccessCaption[] = "安裝成功 !!";
const char kPathTooLong[] = "安裝路徑太長";
const char kPathCaption[] = "請選擇安裝路徑";
const char kBrowseTitle[] = "Please choose a folder";

}  // namespace setup_text
