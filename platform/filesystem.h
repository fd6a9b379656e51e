// Whole-file operations on local paths.
#pragma once

#include <string>

#include "platform/status.h"

namespace platform {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True for an existing regular file that is not hidden (a dot file on Linux).
    virtual bool NormalFileExists(const std::string& path) = 0;
    // Succeeds when `path` is a normal file this user may open for reading. A failure sets
    // targetExists unless nothing is there: a folder, a file kept from the user or a folder
    // the user may not look into is something.
    virtual Status CanReadFile(const std::string& path) = 0;
    // Makes `to` hold what `from` holds, leaving `from` in place; fails, changing nothing and
    // with targetExists set, when `to` already exists.
    virtual Status CopyFileNoReplace(const std::string& from, const std::string& to) = 0;
    // Atomically puts `from` in the place of `to`, replacing it when it exists.
    virtual Status ReplaceFile(const std::string& from, const std::string& to) = 0;
    virtual Status DeleteFile(const std::string& path) = 0;
    // Pushes the file's contents to the disk before it is put in place.
    virtual Status FlushFile(const std::string& path) = 0;
    // Creates the folder and its parents when missing.
    virtual Status MakeFolder(const std::string& path) = 0;
    // Creates or truncates the file and writes `bytes` to it, closing it before returning.
    virtual Status WriteWholeFile(const std::string& path, const std::string& bytes) = 0;
};

FileSystem& SystemFileSystem();

}  // namespace platform
