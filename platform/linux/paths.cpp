#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

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
std::string DrivesFolder() {
    return Home() + "/Unidades";
}
std::string AutostartFolder() {
    return ConfigHome() + "/autostart";
}
std::string ScanExportPath() {
    return Home() + "/escaner.txt";
}

}  // namespace platform
