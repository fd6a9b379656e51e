// Folders of network shares read with the system's directory search, as the scripting
// file-system object reads them.
#include "platform/win32/winapi.h"

namespace platform {
namespace {

enum class Kind { Files, Folders };

bool Is_Dots(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Nothing when the folder cannot be listed; an empty list for an empty folder.
std::optional<std::vector<std::string>> List(const std::string& folder, Kind kind) {
    WIN32_FIND_DATAA found{};
    const std::string pattern = folder + (folder.ends_with('\\') ? "*" : "\\*");
    const HANDLE h = ::FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        // A share's root holds no "." and "..": empty, it has no first entry at all.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            return std::vector<std::string>{};
        return std::nullopt;
    }
    std::vector<std::string> names;
    do {
        const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (Is_Dots(found.cFileName) || isFolder != (kind == Kind::Folders))
            continue;
        names.emplace_back(found.cFileName);
    } while (::FindNextFileA(h, &found));
    const DWORD end = ::GetLastError();
    ::FindClose(h);
    if (end != ERROR_NO_MORE_FILES)
        return std::nullopt;
    return names;
}

class WindowsFolder final : public Folder {
public:
    explicit WindowsFolder(std::string path) : path_(std::move(path)) {}

    std::optional<std::vector<std::string>> Files() override { return List(path_, Kind::Files); }
    std::optional<std::vector<std::string>> SubFolders() override {
        return List(path_, Kind::Folders);
    }

private:
    std::string path_;
};

class WindowsFileSystemObject final : public FileSystemObject {
public:
    std::unique_ptr<Folder> GetFolder(const std::string& path) override {
        // Only network paths; a folder this user cannot open is no folder to the browser.
        if (!path.starts_with("\\\\") || !List(path, Kind::Folders))
            return nullptr;
        return std::make_unique<WindowsFolder>(path);
    }
};

}  // namespace

FileSystemObject& SystemFileSystemObject() {
    static WindowsFileSystemObject fso;
    return fso;
}

}  // namespace platform
