// Lists the visible top-level windows of the desktop, topmost first, for the
// end-to-end scripts: one line per window with its class, its caption, its
// screen rectangle and the texts of its child controls (which are no X
// windows, so xdotool cannot read them), tab-separated, texts in UTF-8:
//   CLASS<TAB>CAPTION<TAB>LEFT,TOP,RIGHT,BOTTOM<TAB>CHILD | CHILD | ...
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8_text(HWND window)
{
    wchar_t text[1024];
    int n = GetWindowTextW(window, text, 1024);
    if (n <= 0)
        return "";
    char out[4096];
    int m = WideCharToMultiByte(CP_UTF8, 0, text, n, out, sizeof out, nullptr, nullptr);
    return std::string(out, m > 0 ? (size_t)m : 0);
}

BOOL CALLBACK add_child_text(HWND child, LPARAM list)
{
    std::string text = utf8_text(child);
    if (!text.empty()) {
        std::string* texts = (std::string*)list;
        if (!texts->empty())
            *texts += " | ";
        *texts += text;
    }
    return TRUE;
}

BOOL CALLBACK print_window(HWND window, LPARAM)
{
    if (!IsWindowVisible(window))
        return TRUE;
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    RECT r{};
    GetWindowRect(window, &r);
    std::string children;
    EnumChildWindows(window, add_child_text, (LPARAM)&children);
    printf("%s\t%s\t%ld,%ld,%ld,%ld\t%s\n", name, utf8_text(window).c_str(), (long)r.left, (long)r.top, (long)r.right,
           (long)r.bottom, children.c_str());
    return TRUE;
}

}  // namespace

int main()
{
    EnumWindows(print_window, 0);
    return 0;
}
