// A throw-away folder, something held open, and QString printed readably by GoogleTest.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdlib>
#include <ostream>
#include <string>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(QStringLiteral("|")).toStdString() << ']';
}

namespace support {

// Paths inside it come as std::string for the platform calls.
class TempDir {
public:
    std::string Path(const char* name = "") const {
        return (dir_.path() + u'/' + QString::fromUtf8(name)).toStdString();
    }
    QByteArray Read(const char* name) const {
        QFile f(QString::fromStdString(Path(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void Write(const char* name, const QByteArray& bytes) const {
        QFile f(QString::fromStdString(Path(name)));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    bool Exists(const char* name) const {
        return QFile::exists(QString::fromStdString(Path(name)));
    }

private:
    QTemporaryDir dir_;
};

// A file held open, or a working folder, as the user's editor or terminal holds them.
class Holder {
public:
    enum Kind { File, WorkingFolder };
    Holder(const std::string& path, Kind kind)
        : fd_(::open(kind == File ? path.c_str() : ".", O_RDONLY | O_CLOEXEC)),
          moved_(kind == WorkingFolder && fd_ >= 0 && ::chdir(path.c_str()) == 0),
          holding_(kind == File ? fd_ >= 0 : moved_) {}
    ~Holder() {
        if (moved_ && ::fchdir(fd_) != 0)
            std::abort();
        ::close(fd_);
    }
    bool Holding() const { return holding_; }
    // What the held file reads now, or "<unreadable>".
    std::string ReadHeld() const {
        char buf[4096];
        const ssize_t n = ::pread(fd_, buf, sizeof buf, 0);
        return n < 0 ? "<unreadable>" : std::string(buf, std::size_t(n));
    }

private:
    const int fd_;
    const bool moved_, holding_;
};

}  // namespace support
