// Where the program's fixed files live on this system.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The user's configuration folder ($XDG_CONFIG_HOME, by default ~/.config).
std::string ConfigHome();
// Folder of the mapping file and its backup (created on the first save).
std::string SettingsFolder();
std::string MappingFilePath();    // MAPEO.INI
std::string MappingBackupPath();  // MAPEO.BAK
// Mapping files an administrator deployed for every user of this machine, in the order they are
// looked for; the first that exists is read when the user has none.
std::vector<std::string> SystemMappingFilePaths();
// Folder holding one entry per connected drive letter.
std::string DrivesFolder();
// Entries the desktop starts at each sign-in.
std::string AutostartFolder();
// Folders of the entries an administrator set up for every user's sign-in, most important
// first; an entry of the user's own with the same file name stands in their place.
std::vector<std::string> SystemAutostartFolders();
// File written by the tester's export.
std::string ScanExportPath();

}  // namespace platform
