#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/paths.h"

namespace platform {
namespace {

std::string Home() {
    if (const char* h = std::getenv("HOME"); h && *h)
        return h;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

// $XDG_CONFIG_DIRS, by default /etc/xdg. Relative entries are invalid and ignored.
std::vector<std::string> SystemConfigFolders() {
    const char* x = std::getenv("XDG_CONFIG_DIRS");
    if (!x || !*x)
        return {"/etc/xdg"};
    std::vector<std::string> folders;
    std::string_view rest(x);
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        std::string folder(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (folder.starts_with('/'))
            folders.push_back(std::move(folder));
    }
    return folders;
}

}  // namespace

std::string ConfigHome() {
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/')
        return x;
    return Home() + "/.config";
}

std::string SettingsFolder() {
    return ConfigHome() + "/mapeo";
}

std::string MappingFilePath() {
    return SettingsFolder() + "/MAPEO.INI";
}
std::string MappingBackupPath() {
    return SettingsFolder() + "/MAPEO.BAK";
}
std::vector<std::string> SystemMappingFilePaths() {
    std::vector<std::string> files;
    for (const std::string& folder : SystemConfigFolders())
        files.push_back(folder + "/mapeo/MAPEO.INI");
    return files;
}
std::string DrivesFolder() {
    return Home() + "/Unidades";
}
std::string AutostartFolder() {
    return ConfigHome() + "/autostart";
}
std::vector<std::string> SystemAutostartFolders() {
    std::vector<std::string> folders;
    for (const std::string& folder : SystemConfigFolders())
        folders.push_back(folder + "/autostart");
    return folders;
}
std::string ScanExportPath() {
    return Home() + "/escaner.txt";
}

}  // namespace platform
