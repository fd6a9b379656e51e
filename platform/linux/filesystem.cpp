#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QSaveFile>
#include <cerrno>

#include "platform/filesystem.h"
#include "platform/linux/errors.h"

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

    bool CopyFileNoReplace(const std::string& from, const std::string& to) override {
        // A second name for the same file: it appears whole or not at all, and link()
        // refuses to replace an existing name.
        if (::link(from.c_str(), to.c_str()) == 0)
            return true;
        if (errno != EPERM && errno != EXDEV && errno != EMLINK)
            return Fail(errno);
        const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return Fail(errno);
        const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (out < 0) {
            const int e = errno;
            ::close(in);
            return Fail(e);
        }
        char buf[65536];
        bool ok = true;
        for (;;) {
            const ssize_t n = ::read(in, buf, sizeof buf);
            if (n == 0)
                break;
            if (n < 0 || ::write(out, buf, n) != n) {
                ok = false;
                break;
            }
        }
        const int e = errno;
        ::close(in);
        if (::fsync(out) != 0)
            ok = false;
        ::close(out);
        if (!ok) {
            ::unlink(to.c_str());
            return Fail(e ? e : EIO);
        }
        return true;
    }

    bool ReplaceFile(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0 || Fail(errno);
    }

    bool DeleteFile(const std::string& path) override {
        return ::unlink(path.c_str()) == 0 || Fail(errno);
    }

    bool FlushFile(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Fail(errno);
        const bool ok = ::fsync(fd) == 0;
        const int e = errno;
        ::close(fd);
        return ok || Fail(e);
    }

    bool MakeFolder(const std::string& path) override {
        errno = 0;
        if (QDir().mkpath(QString::fromLocal8Bit(path.c_str())))
            return true;
        return Fail(errno ? errno : EACCES);
    }

    bool WriteWholeFile(const std::string& path, const std::string& bytes) override {
        QSaveFile f(QString::fromLocal8Bit(path.c_str()));
        errno = 0;
        if (!f.open(QIODevice::WriteOnly))
            return Fail(errno ? errno : EACCES);
        if (f.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
            const int e = errno;
            f.cancelWriting();
            return Fail(e ? e : EIO);
        }
        if (!f.commit())
            return Fail(errno ? errno : EIO);
        return true;
    }

    std::string LastErrorText() const override { return lastError_; }

private:
    bool Fail(int e) {
        lastError_ = ErrorText(e);
        return false;
    }

    std::string lastError_;
};

}  // namespace

FileSystem& SystemFileSystem() {
    static LinuxFileSystem fs;
    return fs;
}

}  // namespace platform
