#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <string>

namespace testing_support {

// A throw-away folder; paths inside it as std::string for the platform calls.
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

}  // namespace testing_support
