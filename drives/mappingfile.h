// The mapping file: twelve rows of path, device and connect mark in one INI section.
#pragma once

#include <QString>
#include <array>
#include <string>

#include "platform/filesystem.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/status.h"

namespace drives {

inline constexpr int RowCount = 12;

struct MappingRow {
    QString path;
    QString device;
    int mark = 0;
};

struct MappingLocation {
    std::string folder;
    std::string file;
    std::string backup;
};

// Where the system keeps the file; only the program and its real-server tests ask.
inline MappingLocation System_Mapping_Location() {
    return {platform::SettingsFolder(), platform::MappingFilePath(), platform::MappingBackupPath()};
}

// The keys of the row at `index` (0 to 11); the file counts rows from 1.
struct RowKeys {
    QString path;    // UNIDADn
    QString device;  // LETRAn
    QString mark;    // MAPEARn
};
RowKeys Row_Keys(int index);

// Reads a stored connect mark the way the mark has always been read: the number at the
// start of the text (blanks anywhere ignored), rounded half to even. Throws AppError for a
// number beyond 16 bits; the range check is the check box's.
int Read_Mark_Number(const QString& text);

class MappingFile {
public:
    MappingFile(platform::ProfileFile& profile, platform::FileSystem& files,
                MappingLocation location);

    bool MappingFileExists();
    QString ReadMappingValue(const QString& key);
    // Writes the rows beside the old file and puts them in its place only when complete; the
    // first save that finds no backup keeps the old file as the backup. A failure keeps the
    // old file and says why.
    platform::Status SaveMappings(const std::array<MappingRow, RowCount>& rows);

    const MappingLocation& Location() const { return location_; }

private:
    bool Write_With_Retry(const std::string& file, const QString& key, const QString& value);

    platform::ProfileFile& profile_;
    platform::FileSystem& files_;
    MappingLocation location_;
};

}  // namespace drives
