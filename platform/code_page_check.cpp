// The warning shown when the system's code page is not Big5's (950).
#include "platform.h"

#include <cstdio>

namespace {

const unsigned kBig5CodePage = 950;
const unsigned kIconWarning = 0x30;  // MB_ICONWARNING

// UTF-8 (u8 literals: the same bytes whatever the compiler's execution
// character set); the box turns them into UTF-16.
const char kCaption[] = u8"語言設定 Language setting";
const char kText[] =
    u8"本程式的文字與名稱是繁體中文 (Big5)。請在 Windows 的「控制台 > 地區 > 系統管理 > "
    u8"變更系統地區設定」把「非 Unicode 程式的語言」設為「中文 (繁體,台灣)」,然後重新開機;"
    u8"否則名稱與文字會變成亂碼。\n\n"
    u8"This program's texts and names are in Traditional Chinese (Big5). Set Windows' "
    u8"\"Language for non-Unicode programs\" to Chinese (Traditional, Taiwan) (Control Panel > "
    u8"Region > Administrative > Change system locale) and restart Windows; otherwise names and "
    u8"texts will be garbled.";
const char kQuestion[] = u8"\n\n仍要繼續安裝嗎?\nContinue the installation anyway?";

}  // namespace

int plat_check_code_page(int may_stop)
{
    if (plat_ansi_code_page() == kBig5CodePage)
        return 1;
    if (!may_stop) {
        plat_message_box_utf8(nullptr, kText, kCaption, PLAT_MB_OK | kIconWarning);
        return 1;
    }
    char text[sizeof kText + sizeof kQuestion];
    std::snprintf(text, sizeof text, "%s%s", kText, kQuestion);
    // Only No stops: a box that could not be shown (no answer) goes on.
    return plat_message_box_utf8(nullptr, text, kCaption, PLAT_MB_YESNO | kIconWarning) != PLAT_IDNO;
}
