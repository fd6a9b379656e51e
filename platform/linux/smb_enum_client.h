// libsmbclient as the enumeration and the folder reader use it: one context for SMB1
// browsing (workgroup and server lists exist only there) and one for the modern protocols,
// each created on first use and bounded by the same time-out.
#pragma once

#include <string>
#include <vector>

#include "platform/linux/smb_enum_records.h"

namespace platform::smbclient {

// No call waits longer than this for a server, so an unreachable host cannot freeze the
// window for long.
inline constexpr int CallTimeoutMs = 5000;

enum class Dialect { Browsing, Modern };

// Lists a folder, a server's shares, a workgroup's servers or (for "smb://") the workgroups.
// Returns 0, or the errno of the failure.
int ListDirectory(Dialect dialect, const std::string& uri, std::vector<smbenum::Entry>& out);

// Returns 0 and whether the path is a folder, or the errno of the failure.
int StatPath(Dialect dialect, const std::string& uri, bool* isFolder);

}  // namespace platform::smbclient
