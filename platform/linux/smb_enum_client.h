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

// The server, and share, whose user a call has to be: it is offered the user's identities
// one after another (ticket, keyring, guest, the dialog). Calls without one (the lists of
// workgroups and of a workgroup's servers) go as the ticket's user or as guest.
struct Target {
    std::string server;
    std::string share;  // "" for the server's list of shares
};

// Lists a folder, a server's shares, a workgroup's servers or (for "smb://") the workgroups.
// Returns 0, or the errno of the failure.
int ListDirectory(Dialect dialect, const std::string& uri, std::vector<smbenum::Entry>& out,
                  const Target* target = nullptr);

// Returns 0 and whether the path is a folder, or the errno of the failure.
int StatPath(Dialect dialect, const std::string& uri, bool* isFolder,
             const Target* target = nullptr);

// Forgets which identity each server took and which shares' dialogs were cancelled, and
// closes the connections made with them: a browser window loaded afresh starts anew.
void ForgetIdentities();

}  // namespace platform::smbclient
