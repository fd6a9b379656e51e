// Where the program's fixed files live on this system.
#pragma once

#include <string>

namespace platform {

// Folder of the mapping file and its backup (created on the first save).
std::string SettingsFolder();
std::string MappingFilePath();    // MAPEO.INI
std::string MappingBackupPath();  // MAPEO.BAK
// Folder holding one entry per connected drive letter.
std::string DrivesFolder();
// File written by the tester's export.
std::string ScanExportPath();

}  // namespace platform
