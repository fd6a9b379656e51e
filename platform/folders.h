// Folders inside network shares, read by name: the part of the scripting file-system object
// that the browser uses.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class Folder {
public:
    virtual ~Folder() = default;

    // Names in the order the server gives them, without "." and "..". Nothing when the folder
    // cannot be listed, even though it was found (access denied, removed meanwhile).
    virtual std::optional<std::vector<std::string>> Files() = 0;
    virtual std::optional<std::vector<std::string>> SubFolders() = 0;
};

class FileSystemObject {
public:
    virtual ~FileSystemObject() = default;

    // The folder at a network path "\\server\share" or "\\server\share\folder\...", or null
    // when there is no folder there that this user may open.
    virtual std::unique_ptr<Folder> GetFolder(const std::string& path) = 0;
};

FileSystemObject& SystemFileSystemObject();

}  // namespace platform
