#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QSaveFile>
#include <cerrno>

#include "platform/filesystem.h"
#include "platform/linux/errors.h"
#include "platform/texts.h"

namespace platform {
namespace {

class LinuxFileSystem final : public FileSystem {
public:
    bool NormalFileExists(const std::string& path) override {
        struct stat st {};
        const auto slash = path.find_last_of('/');
        const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        return !base.empty() && base[0] != '.' && ::stat(path.c_str(), &st) == 0 &&
               S_ISREG(st.st_mode);
    }

    Status CanReadFile(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            const int e = errno;
            return e == ENOENT || e == ENOTDIR ? Failure(e) : Exists(e);
        }
        // Checked before opening: a pipe or a device would block or be read by opening it.
        if (S_ISDIR(st.st_mode))
            return Exists(EISDIR);
        if (!S_ISREG(st.st_mode))
            return {EINVAL, texts::NotARegularFile, true};
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Exists(errno);
        ::close(fd);
        return {};
    }

    Status CopyFileNoReplace(const std::string& from, const std::string& to) override {
        // A second name for the same file: it appears whole or not at all, and link()
        // refuses to replace an existing name. Where the file system cannot link (FAT, some
        // FUSE and CIFS homes answer EPERM, EOPNOTSUPP, ENOSYS...), a copy does the job.
        if (::link(from.c_str(), to.c_str()) == 0)
            return {};
        if (errno == EEXIST)
            return Exists(EEXIST);
        const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return Failure(errno);
        const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (out < 0) {
            const int e = errno;
            ::close(in);
            return e == EEXIST ? Exists(EEXIST) : Failure(e);
        }
        char buf[65536];
        int e = 0;
        for (;;) {
            const ssize_t n = ::read(in, buf, sizeof buf);
            if (n == 0)
                break;
            if (n < 0) {
                e = errno;
                break;
            }
            const ssize_t written = ::write(out, buf, std::size_t(n));
            if (written != n) {
                e = written < 0 ? errno : EIO;
                break;
            }
        }
        ::close(in);
        if (::fsync(out) != 0 && !e)
            e = errno;
        if (::close(out) != 0 && !e)
            e = errno;
        if (e) {
            ::unlink(to.c_str());
            return Failure(e);
        }
        return {};
    }

    Status ReplaceFile(const std::string& from, const std::string& to) override {
        return Result(::rename(from.c_str(), to.c_str()) == 0);
    }

    Status DeleteFile(const std::string& path) override {
        return Result(::unlink(path.c_str()) == 0);
    }

    Status FlushFile(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Failure(errno);
        const bool ok = ::fsync(fd) == 0;
        const int e = errno;
        ::close(fd);
        return ok ? Status{} : Failure(e);
    }

    Status MakeFolder(const std::string& path) override {
        errno = 0;
        if (QDir().mkpath(QString::fromLocal8Bit(path.c_str())))
            return {};
        return Failure(errno ? errno : EACCES);
    }

    Status WriteWholeFile(const std::string& path, const std::string& bytes) override {
        QSaveFile f(QString::fromLocal8Bit(path.c_str()));
        errno = 0;
        if (!f.open(QIODevice::WriteOnly))
            return Failure(errno ? errno : EACCES);
        if (f.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
            const int e = errno;
            f.cancelWriting();
            return Failure(e ? e : EIO);
        }
        if (!f.commit())
            return Failure(errno ? errno : EIO);
        return {};
    }

private:
    static Status Result(bool ok) { return ok ? Status{} : Failure(errno); }
    static Status Exists(int error) {
        Status s = Failure(error);
        s.targetExists = true;
        return s;
    }
};

}  // namespace

FileSystem& SystemFileSystem() {
    static LinuxFileSystem fs;
    return fs;
}

}  // namespace platform
