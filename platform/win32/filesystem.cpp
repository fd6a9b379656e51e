// Whole-file operations through the ANSI file calls, like every other path Mapeo passes to
// the system.
#include "platform/win32/winapi.h"

namespace platform {
namespace {

// A call that failed without saying why still fails.
Status Fail(DWORD code) {
    Status s = Failure(int(code ? code : ERROR_GEN_FAILURE));
    s.targetExists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
    return s;
}

// Something stands at the path, though the call failed.
Status Taken(DWORD code) {
    Status s = Fail(code);
    s.targetExists = true;
    return s;
}

Status Result(BOOL ok) {
    return ok ? Status{} : Fail(::GetLastError());
}

bool Is_Separator(char c) {
    return c == '\\' || c == '/';
}

bool Is_Folder(const std::string& path) {
    const DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Where the folders that can be made begin: after "C:\" or after "\\server\share\".
std::size_t First_Folder(const std::string& path) {
    if (path.size() >= 2 && Is_Separator(path[0]) && Is_Separator(path[1])) {
        std::size_t seps = 0, i = 2;
        for (; i < path.size() && seps < 2; ++i)
            if (Is_Separator(path[i]))
                ++seps;
        return i;
    }
    if (path.size() >= 2 && path[1] == ':')
        return path.size() > 2 && Is_Separator(path[2]) ? 3 : 2;
    return Is_Separator(path.empty() ? 'x' : path[0]) ? 1 : 0;
}

class HandleCloser {
public:
    explicit HandleCloser(HANDLE h) : h_(h) {}
    ~HandleCloser() {
        if (h_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(h_);
    }
    HandleCloser(const HandleCloser&) = delete;
    HandleCloser& operator=(const HandleCloser&) = delete;
    // Closes now, for a caller that must hear whether the close worked.
    BOOL Close() {
        const BOOL ok = ::CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

class WindowsFileSystem final : public FileSystem {
public:
    bool NormalFileExists(const std::string& path) override {
        // As a plain directory search finds it: hidden and system files are not found.
        const DWORD a = ::GetFileAttributesA(path.c_str());
        return a != INVALID_FILE_ATTRIBUTES &&
               !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    }

    Status CanReadFile(const std::string& path) override {
        const DWORD a = ::GetFileAttributesA(path.c_str());
        if (a == INVALID_FILE_ATTRIBUTES) {
            const DWORD e = ::GetLastError();
            return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? Fail(e) : Taken(e);
        }
        if (a & FILE_ATTRIBUTE_DIRECTORY)
            return Taken(win32::ERROR_IS_A_FOLDER);
        const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return Taken(::GetLastError());
        ::CloseHandle(h);
        return {};
    }

    Status CopyFileNoReplace(const std::string& from, const std::string& to) override {
        return Result(::CopyFileA(from.c_str(), to.c_str(), TRUE));
    }

    Status ReplaceFile(const std::string& from, const std::string& to) override {
        return Result(::MoveFileExA(from.c_str(), to.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    }

    Status DeleteFile(const std::string& path) override {
        return Result(::DeleteFileA(path.c_str()));
    }

    Status FlushFile(const std::string& path) override {
        const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return Fail(::GetLastError());
        HandleCloser closer(h);
        return Result(::FlushFileBuffers(h));
    }

    Status MakeFolder(const std::string& path) override {
        if (path.empty())
            return Fail(ERROR_PATH_NOT_FOUND);
        for (std::size_t i = First_Folder(path); i <= path.size(); ++i) {
            if (i < path.size() && !Is_Separator(path[i]))
                continue;
            const std::string folder = path.substr(0, i);
            if (folder.empty() || Is_Separator(folder.back()) || Is_Folder(folder))
                continue;
            if (!::CreateDirectoryA(folder.c_str(), nullptr)) {
                const DWORD e = ::GetLastError();
                // A file in the way: the folder itself is taken, or a part of its path is no
                // folder.
                if (e == ERROR_ALREADY_EXISTS && i < path.size())
                    return Fail(ERROR_DIRECTORY);
                return Fail(e);
            }
        }
        return {};
    }

    Status WriteWholeFile(const std::string& path, const std::string& bytes) override {
        const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return Fail(::GetLastError());
        HandleCloser closer(h);
        std::size_t done = 0;
        while (done < bytes.size()) {
            ::DWORD written = 0;
            const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            if (!::WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0)
                return Fail(::GetLastError());
            done += written;
        }
        return Result(closer.Close());
    }
};

}  // namespace

FileSystem& SystemFileSystem() {
    static WindowsFileSystem fs;
    return fs;
}

}  // namespace platform
