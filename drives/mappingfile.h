// The mapping file: twelve rows of path, device and connect mark in one INI section.
#pragma once

#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

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
    std::string file;  // the user's own: read when it exists, and the only one ever written
    std::string backup;
    // An administrator's files for every user, looked for in this order when the user has
    // none; they are only ever read.
    std::vector<std::string> systemFiles{};
};

// Where the system keeps the files; only the program and its real-server tests ask.
inline MappingLocation System_Mapping_Location() {
    return {platform::SettingsFolder(), platform::MappingFilePath(), platform::MappingBackupPath(),
            platform::SystemMappingFilePaths()};
}

// The file a load reads: the user's own when it exists, else the first system file there is
// something at (what cannot be read there is reported, not passed over); none when neither.
std::optional<std::string> Mapping_Source(platform::FileSystem& files,
                                          const MappingLocation& location);

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

    // Picks the file the reads that follow come from (Mapping_Source) and says whether there
    // is one. One that is there but cannot be read as a table throws AppError: read as empty,
    // it would blank every row.
    bool MappingFileExists();
    QString ReadMappingValue(const QString& key);
    // Writes the rows beside the old file and puts them in its place only when complete; the
    // first save that finds no backup keeps the old file as the backup. A failure keeps the
    // old file and says why. Only the user's own file is written or backed up.
    platform::Status SaveMappings(const std::array<MappingRow, RowCount>& rows);

    const MappingLocation& Location() const { return location_; }

private:
    bool Write_With_Retry(const std::string& file, const QString& key, const QString& value);

    platform::ProfileFile& profile_;
    platform::FileSystem& files_;
    MappingLocation location_;
    std::string source_;  // the file the reads come from
};

}  // namespace drives
