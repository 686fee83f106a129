#include <windows.h>
// After windows.h:
#include <lmcons.h>
#include <shlobj.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "config/SystemPaths.h"
#include "link/WinText.h"

namespace orvan::config {

using link::Narrow;
using link::Widen;

std::string UserConfigDirectory() {
    std::wstring base;
    PWSTR known = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &known) == S_OK &&
        known != nullptr)
        base = known;
    ::CoTaskMemFree(known);
    if (base.empty()) {
        if (const wchar_t* a = ::_wgetenv(L"APPDATA"); a && *a) base = a;
    }
    if (base.empty()) return {};
    return Narrow(base) + "\\OrvanSuperV\\";
}

std::string UserDataDirectory() {
    std::wstring base;
    PWSTR known = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &known) == S_OK &&
        known != nullptr)
        base = known;
    ::CoTaskMemFree(known);
    if (base.empty()) {
        if (const wchar_t* a = ::_wgetenv(L"LOCALAPPDATA"); a && *a) base = a;
    }
    return Narrow(base);
}

std::string UserDataDirectoryNeeds() {
    return "the system names no local application data folder (LOCALAPPDATA)";
}

bool FolderWritable(const std::string& filePath) {
    // The folder's access rules are not in its attributes (a program's
    // folder under "Program Files" is read-only for users, and virtualised
    // for old programs): the one sure answer is to create a file there.
    std::filesystem::path dir = std::filesystem::path(Widen(filePath)).parent_path();
    if (dir.empty()) dir = L".";
    std::random_device rd;
    const std::wstring probe =
        (dir / (L".orvan-probe-" + std::to_wstring(rd()) + L"-" + std::to_wstring(rd()))).wstring();
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

bool PathExists(const std::string& path) {
    return ::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string LoginName() {
    wchar_t name[UNLEN + 1] = {};
    DWORD n = UNLEN + 1;
    if (::GetUserNameW(name, &n) && n > 1) return Narrow(std::wstring(name, n - 1));
    if (const wchar_t* u = ::_wgetenv(L"USERNAME"); u && *u) return Narrow(u);
    return "unknown user";
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &n)) return {};
    return Narrow(std::wstring(name, n));
}

bool PlausibleSerialDevice(const std::string& path, std::string* why) {
    auto no = [&](const char* w) {
        if (why) *why = w;
        return false;
    };
    std::string name = path;
    if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
    const bool com =
        name.size() > 3 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "com") == 0);
    if (!com) return no("not a COM port name (COMn)");
    const std::string digits = name.substr(3);
    if (digits.empty() || digits.size() > 3) return no("not a COM port name (COMn)");
    for (const char c : digits)
        if (c < '0' || c > '9') return no("not a COM port name (COMn)");
    if (std::atoi(digits.c_str()) < 1) return no("COM ports are numbered from 1");
    return true;
}

}  // namespace orvan::config
