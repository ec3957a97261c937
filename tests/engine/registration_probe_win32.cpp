// On Windows, registration is read back from the registry and by loading
// each link file into a fresh shell link object.
#include "registration_probe.h"

#include "registration.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

namespace probe {

void prepare_folders(const TempDir&) {}

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

bool read_dword(const std::string& regkey, const char* name, uint32_t* value)
{
    std::string key_path = std::string(kUninstallKeyRoot) + "\\" + regkey;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, data = 0, size = sizeof data;
    bool ok = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)&data, &size) == ERROR_SUCCESS && type == REG_DWORD &&
              size == sizeof data;
    RegCloseKey(key);
    if (ok)
        *value = data;
    return ok;
}

void remove_key(const std::string& regkey)
{
    std::string key_path = std::string(kUninstallKeyRoot) + "\\" + regkey;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_path.c_str());
}

namespace {

// The show command as the link file holds it: a 32-bit little-endian value at
// byte 60 of the 76-byte link header, which starts with its size (0x4C).
bool read_show_command(const std::string& link_path, int32_t* show_command)
{
    FILE* f = fopen(link_path.c_str(), "rb");
    if (!f)
        return false;
    unsigned char header[76];
    bool ok = fread(header, 1, sizeof header, f) == sizeof header && header[0] == 0x4C && header[1] == 0 &&
              header[2] == 0 && header[3] == 0;
    fclose(f);
    if (ok)
        *show_command = (int32_t)(header[60] | header[61] << 8 | header[62] << 16 | (uint32_t)header[63] << 24);
    return ok;
}

}  // namespace

bool read_link(const std::string& link_path, Link* link)
{
    if (GetFileAttributesA(link_path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    bool ok = false;
    HRESULT init = CoInitialize(nullptr);
    IShellLinkA* shell_link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    if (SUCCEEDED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shell_link)) &&
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
        // Wine's link object reports SW_SHOWNORMAL after a load whatever the
        // file holds; the field is read from the file itself below.
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
    return ok && read_show_command(link_path, &link->show_command);
}

}  // namespace probe
