#include "platform/linux/open_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string_view>

namespace platform::openfiles {
namespace {

// The text of a /proc link, or "" when the process is gone or not ours to read.
std::string LinkAt(int dir, const char* name) {
    char buf[PATH_MAX + 16];
    const ssize_t n = ::readlinkat(dir, name, buf, sizeof buf);
    return n > 0 && std::size_t(n) < sizeof buf ? std::string(buf, std::size_t(n)) : std::string();
}

// The kernel adds " (deleted)" to a file removed while open; it still holds the mount.
bool Under(std::string_view link, std::string_view path) {
    constexpr std::string_view deleted = " (deleted)";
    if (link.size() > deleted.size() && link.substr(link.size() - deleted.size()) == deleted &&
        link.substr(0, link.size() - deleted.size()) == path)
        return true;
    return link.substr(0, path.size()) == path &&
           (link.size() == path.size() || link[path.size()] == '/');
}

// Whether a link in the folder `name` of a process's /proc folder points under `path`.
bool AnyLinkUnder(int dir, const char* name, std::string_view path) {
    const int links = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (links < 0)
        return false;
    DIR* list = ::fdopendir(links);
    if (!list) {
        ::close(links);
        return false;
    }
    bool under = false;
    while (const dirent* e = ::readdir(list)) {
        if (e->d_name[0] != '.' && Under(LinkAt(links, e->d_name), path)) {
            under = true;
            break;
        }
    }
    ::closedir(list);
    return under;
}

bool ProcessUses(int proc, const char* pid, std::string_view path) {
    const int dir = ::openat(proc, pid, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    struct stat st {};
    bool uses = false;
    // Only the user's own processes: they are the ones the user can lose work in. Open files,
    // and files mapped into memory with their descriptor closed (a database, a library).
    if (::fstat(dir, &st) == 0 && st.st_uid == ::getuid()) {
        uses = Under(LinkAt(dir, "cwd"), path) || Under(LinkAt(dir, "exe"), path) ||
               AnyLinkUnder(dir, "fd", path) || AnyLinkUnder(dir, "map_files", path);
    }
    ::close(dir);
    return uses;
}

}  // namespace

std::string KernelPath(const std::string& root, const std::string& inside) {
    const std::size_t cut = root.find_last_of('/');
    if (cut == std::string::npos || cut == 0)
        return root + inside;
    char* parent = ::realpath(root.substr(0, cut).c_str(), nullptr);
    if (!parent)
        return root + inside;
    std::string path = std::string(parent) + root.substr(cut) + inside;
    std::free(parent);
    return path;
}

bool InUse(const std::string& kernelPath) {
    if (kernelPath.empty() || kernelPath[0] != '/')
        return false;
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0)
        return false;
    bool used = false;
    if (DIR* list = ::fdopendir(proc)) {
        while (const dirent* e = ::readdir(list)) {
            if (e->d_name[0] >= '1' && e->d_name[0] <= '9' &&
                ProcessUses(proc, e->d_name, kernelPath)) {
                used = true;
                break;
            }
        }
        ::closedir(list);
    } else {
        ::close(proc);
    }
    return used;
}

}  // namespace platform::openfiles
