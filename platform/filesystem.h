// Whole-file operations on local paths.
#pragma once

#include <string>

namespace platform {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True for an existing regular file that is not hidden (a dot file on Linux).
    virtual bool NormalFileExists(const std::string& path) = 0;
    // Makes `to` hold what `from` holds, leaving `from` in place; fails, changing nothing,
    // when `to` already exists.
    virtual bool CopyFileNoReplace(const std::string& from, const std::string& to) = 0;
    // Atomically puts `from` in the place of `to`, replacing it when it exists.
    virtual bool ReplaceFile(const std::string& from, const std::string& to) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    // Pushes the file's contents to the disk before it is put in place.
    virtual bool FlushFile(const std::string& path) = 0;
    // Creates the folder and its parents when missing.
    virtual bool MakeFolder(const std::string& path) = 0;
    // Creates or truncates the file and writes `bytes` to it, closing it before returning.
    virtual bool WriteWholeFile(const std::string& path, const std::string& bytes) = 0;

    // Reason of the last failure, in the user's language.
    virtual std::string LastErrorText() const = 0;
};

FileSystem& SystemFileSystem();

}  // namespace platform
