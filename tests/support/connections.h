// Drives and ports connected, cancelled and read through the system's services.
#pragma once

#include <QFile>
#include <string>

#include "platform/networking.h"
#include "platform/paths.h"

namespace support {

inline platform::DWORD Connect(const std::string& device, const std::string& path,
                               platform::DWORD type = platform::RESOURCETYPE_DISK) {
    std::string local(device), remote(path);
    platform::NETRESOURCEA r{
        platform::RESOURCE_GLOBALNET,        type,         platform::RESOURCEDISPLAYTYPE_SHARE,
        platform::RESOURCEUSAGE_CONNECTABLE, local.data(), remote.data()};
    return platform::SystemNetConnections().WNetAddConnection2A(&r, nullptr, nullptr, 1);
}
inline platform::DWORD Port(const std::string& device, const std::string& path) {
    return Connect(device, path, platform::RESOURCETYPE_PRINT);
}
inline platform::DWORD Cancel(const std::string& device, platform::BOOL force = 0) {
    return platform::SystemNetConnections().WNetCancelConnection2A(device.c_str(), 1, force);
}

// A drive's link, or a file read through it.
inline QString Link(const std::string& drive) {
    return QString::fromStdString(platform::DrivesFolder() + '/' + drive);
}
inline QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

}  // namespace support
