// Where Mapeo keeps its files on Windows. Since Vista a standard user cannot write the Windows
// folder (and UAC would quietly redirect a writer there to a private copy), so the user's own
// table lives in the roaming application data; the Windows folder's MAPEO.INI, where the
// program has always kept it, is the one an administrator deploys for every user.

#include "platform/win32/winapi.h"

#include <shlobj.h>

namespace platform {
namespace {

// A path the ANSI calls can open: its 8.3 form when a letter has no place in the code page.
std::string Ansi_Path(const std::wstring& wide) {
    const auto convert = [](const std::wstring& w, BOOL* lossy) {
        const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), int(w.size()),
                                            nullptr, 0, nullptr, lossy);
        std::string out(std::size_t(n > 0 ? n : 0), '\0');
        if (n > 0)
            ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), int(w.size()), out.data(),
                                  n, nullptr, lossy);
        return out;
    };
    BOOL lossy = FALSE;
    std::string path = convert(wide, &lossy);
    if (lossy) {
        wchar_t shortPath[MAX_PATH] = {};
        const DWORD n = ::GetShortPathNameW(wide.c_str(), shortPath, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            path = convert(std::wstring(shortPath, n), &lossy);
    }
    return path;
}

std::string Known_Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return Ansi_Path(path);
}

std::string Windows_Folder() {
    wchar_t path[MAX_PATH] = {};
    const UINT n = ::GetWindowsDirectoryW(path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? Ansi_Path(std::wstring(path, n)) : std::string("C:\\WINDOWS");
}

}  // namespace

std::string ConfigHome() {
    return Known_Folder(CSIDL_APPDATA);
}

std::string SettingsFolder() {
    return ConfigHome() + "\\Mapeo";
}

std::string MappingFilePath() {
    return SettingsFolder() + "\\MAPEO.INI";
}

std::string MappingBackupPath() {
    return SettingsFolder() + "\\MAPEO.BAK";
}

std::vector<std::string> SystemMappingFilePaths() {
    return {Windows_Folder() + "\\MAPEO.INI"};
}

// Drive letters are the system's own: no folder stands for them.
std::string DrivesFolder() {
    return {};
}

// Windows reconnects the connections Mapeo makes (remembered, CONNECT_UPDATE_PROFILE) at each
// sign-in by itself: there is no entry to write, for the user or for everyone.
std::string AutostartFolder() {
    return {};
}

std::vector<std::string> SystemAutostartFolders() {
    return {};
}

// The root of drive C: needs an administrator on current Windows; the user's own folder is
// where the export can always be written.
std::string ScanExportPath() {
    return Known_Folder(CSIDL_PROFILE) + "\\escaner.txt";
}

}  // namespace platform
