// The Linux pieces behind network connections: GVfs mounts for drives, CUPS queues for
// printer ports, and an SMB share listing to check a printer before a queue is made.
#pragma once

#include <string>

#include "platform/linux/identity.h"
#include "platform/linux/netpath.h"
#include "platform/win32types.h"

namespace platform::netbackends {

// Bounds every call that may wait for a server, so the window never freezes for long.
inline constexpr int MountTimeoutMs = 10000;
inline constexpr int ServerTimeoutMs = 5000;

DWORD ConnectDrive(const std::string& drive, const netpath::UncPath& path);
// Without `force`, ERROR_OPEN_FILES while one of the user's programs has something open where
// the drive goes; the drive and its mount then stay.
DWORD CancelDrive(const std::string& drive, bool force);

DWORD ConnectPort(const std::string& queue, const netpath::UncPath& path);
DWORD CancelPort(const std::string& queue);

// NO_ERROR when the server lists `share` as a printer to the user; `used` tells which of
// the user's identities the server took.
DWORD CheckPrinterShare(const netpath::UncPath& path, identity::Source* used = nullptr);

}  // namespace platform::netbackends
