// What every test uses: a throw-away folder, and QString printed readably by GoogleTest.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
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

}  // namespace support
