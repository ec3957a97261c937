// Win32 registry, special folders and shell links through the "A" functions
// and the shell's link object.
#include "shell_registry.h"
#include "shell_registry_backend.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

int shell_backend_create_machine_key(const char* path, void** key)
{
    HKEY k = nullptr;
    DWORD disposition = 0;  // created or opened: both are fine
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &k, &disposition);
    if (rc != ERROR_SUCCESS)
        return 0;
    *key = k;
    return 1;
}

int plat_registry_set_string(void* key, const char* name, const char* data, uint32_t size)
{
    if (!key || !data)
        return 0;
    return RegSetValueExA((HKEY)key, name, 0, REG_SZ, (const BYTE*)data, (DWORD)size) == ERROR_SUCCESS ? 1 : 0;
}

void plat_registry_close_key(void* key)
{
    if (key)
        RegCloseKey((HKEY)key);
}

int plat_registry_set_dword(void* key, const char* name, uint32_t value)
{
    if (!key)
        return 0;
    DWORD data = value;
    return RegSetValueExA((HKEY)key, name, 0, REG_DWORD, (const BYTE*)&data, sizeof data) == ERROR_SUCCESS ? 1 : 0;
}

int shell_backend_open_machine_key(const char* path, void** key)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return 0;
    *key = k;
    return 1;
}

int shell_backend_get_string(void* key, const char* name, char* out, uint32_t size)
{
    // One byte is kept back for a NUL that the stored data may lack.
    DWORD type = 0, got = size - 1;
    if (RegQueryValueExA((HKEY)key, name, nullptr, &type, (BYTE*)out, &got) != ERROR_SUCCESS || type != REG_SZ ||
        got > size - 1) {
        out[0] = '\0';
        return 0;
    }
    out[got] = '\0';
    return 1;
}

int plat_registry_delete_machine_key(const char* path)
{
    return path && RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS ? 1 : 0;
}

int shell_backend_special_folder_path(void* owner, int folder_id, char* out)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)))
        return 0;
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation((HWND)owner, folder_id, &items))) {
        allocator->Release();
        return 0;
    }
    // Writes at most MAX_PATH (260) bytes; a folder without a file-system
    // path leaves the text empty.
    if (!SHGetPathFromIDListA(items, out))
        out[0] = '\0';
    allocator->Free(items);
    allocator->Release();
    return 1;
}

namespace {

// The user of a process's token into `buffer`; null when it cannot be read.
PSID token_user(HANDLE process, BYTE* buffer, DWORD size)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return nullptr;
    DWORD got = 0;
    BOOL ok = GetTokenInformation(token, TokenUser, buffer, size, &got);
    CloseHandle(token);
    return ok ? ((TOKEN_USER*)buffer)->User.Sid : nullptr;
}

}  // namespace

int plat_runs_as_other_user()
{
    HWND shell = GetShellWindow();
    DWORD shell_id = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &shell_id) || shell_id == 0)
        return 0;
    const DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION (Vista and later)
    HANDLE shell_process = OpenProcess(kQueryLimited, FALSE, shell_id);
    if (!shell_process)
        shell_process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shell_id);
    if (!shell_process)
        return 0;
    BYTE mine[256], theirs[256];  // TOKEN_USER and its SID (at most 76 bytes)
    PSID me = token_user(GetCurrentProcess(), mine, sizeof mine);
    PSID desktop_user = token_user(shell_process, theirs, sizeof theirs);
    CloseHandle(shell_process);
    return me && desktop_user && !EqualSid(me, desktop_user) ? 1 : 0;
}

int32_t plat_write_shell_link(const char* target, const char* arguments, int32_t hotkey, const char* icon_path,
                              int32_t icon_index, int32_t show_command, const char* working_directory,
                              const char* description, const char* link_path)
{
    if (!target || !link_path)
        return PLAT_LINK_INVALID_PARAMETER;

    // The thread may already be initialised (S_FALSE): that counts as success.
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        printf("CoInitialize failed, rc(%x),%x\n", (unsigned)hr, (unsigned)GetLastError());
        return (int32_t)hr;
    }
    IShellLinkA* link = nullptr;
    hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link);
    if (FAILED(hr)) {
        printf("CoCreateInstance failed, rc(%x),%x\n", (unsigned)hr, (unsigned)GetLastError());
        CoUninitialize();
        return (int32_t)hr;
    }

    // The setters' results are not looked at: the save tells whether the
    // link was written.
    link->SetPath(target);
    if (description)
        link->SetDescription(description);
    if (arguments)
        link->SetArguments(arguments);
    if ((hotkey & 0xFFFF) != 0)
        link->SetHotkey((WORD)(hotkey & 0xFFFF));
    if (icon_path)
        link->SetIconLocation(icon_path, icon_index);
    if (show_command != -1)
        link->SetShowCmd(show_command);
    if (working_directory)
        link->SetWorkingDirectory(working_directory);

    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, (void**)&file);
    if (FAILED(hr)) {
        printf("QueryInterface failed, rc(%x),%x\n", (unsigned)hr, (unsigned)GetLastError());
        link->Release();
        CoUninitialize();
        return (int32_t)hr;
    }

    // The link path in the ANSI code page to UTF-16; a path that does not fit
    // the 260 units is not saved under a cut-off name.
    WCHAR wide_path[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, link_path, -1, wide_path, MAX_PATH) == 0) {
        DWORD error = GetLastError();
        hr = error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    } else {
        hr = file->Save(wide_path, TRUE);
    }

    file->Release();
    link->Release();
    CoUninitialize();
    return (int32_t)hr;
}
