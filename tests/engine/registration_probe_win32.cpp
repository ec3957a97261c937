// On Windows, registration is read back from the registry and by loading
// each link file into a fresh shell link object.
#include "registration_probe.h"

#include "registration.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

namespace probe {

void prepare_folders(const TempDir&)
{
}

bool read_value(const std::string& regkey, const char* name, std::string* bytes)
{
    std::string key_path = std::string(kUninstallKeyRoot) + "\\" + regkey;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ;
    std::vector<BYTE> data(size + 1);
    ok = ok && RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (ok)
        bytes->assign((const char*)data.data(), size);
    return ok;
}

void remove_key(const std::string& regkey)
{
    std::string key_path = std::string(kUninstallKeyRoot) + "\\" + regkey;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_path.c_str());
}

bool read_link(const std::string& link_path, Link* link)
{
    if (GetFileAttributesA(link_path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    bool ok = false;
    HRESULT init = CoInitialize(nullptr);
    IShellLinkA* shell_link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void**)&shell_link)) &&
        SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, (void**)&file)) &&
        MultiByteToWideChar(CP_ACP, 0, link_path.c_str(), -1, wide, MAX_PATH) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char buf[1024];
        int value = 0;
        WORD hotkey = 0;
        buf[0] = '\0';
        shell_link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->target = buf;
        buf[0] = '\0';
        shell_link->GetArguments(buf, sizeof buf);
        link->arguments = buf;
        buf[0] = '\0';
        shell_link->GetWorkingDirectory(buf, MAX_PATH);
        link->working_directory = buf;
        buf[0] = '\0';
        shell_link->GetDescription(buf, sizeof buf);
        link->description = buf;
        buf[0] = '\0';
        shell_link->GetIconLocation(buf, MAX_PATH, &value);
        link->icon_path = buf;
        link->icon_index = value;
        shell_link->GetShowCmd(&value);
        link->show_command = value;
        shell_link->GetHotkey(&hotkey);
        link->hotkey = hotkey;
        ok = true;
    }
    if (file)
        file->Release();
    if (shell_link)
        shell_link->Release();
    if (SUCCEEDED(init))
        CoUninitialize();
    return ok;
}

}  // namespace probe
