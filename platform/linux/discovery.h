// Servers that announce themselves instead of joining an SMB1 browse list: Windows 10 and
// later and Samba with wsdd through WS-Discovery, NAS boxes, Macs and Samba with Avahi through
// DNS-SD. Both are asked at once, on worker threads, when the provider level is listed; what
// they find is merged into the SMB1 lists of workgroups and servers.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/smb_enum_records.h"

namespace platform::discovery {

using Clock = std::chrono::steady_clock;

// The longest the window waits for the announcements, both sources together.
inline constexpr std::chrono::milliseconds AnswerWait{1500};
// More than this many servers in one round is a flood, not an office.
inline constexpr std::size_t MaxServers = 256;

// A server as one source announced it.
struct Found {
    std::string name;     // the name to reach it by, as in \\name\share
    std::string group;    // its workgroup or domain; empty for the machine's own workgroup
    std::string address;  // the IPv4 address it answered from, or empty
};

// What one round of discovery learned, with what SMB1 browsing said at the same time.
struct Neighbourhood {
    std::vector<Found> servers;  // one per name
    std::string localWorkgroup;
    bool smb1Answered = false;
    std::vector<std::string> smb1Workgroups;
};

// A name from the network that can stand in a path and a tree key: printable, no path or key
// separators, no wildcard characters, valid UTF-8, at most `maxBytes` long.
bool UsableName(std::string_view name, std::size_t maxBytes);
inline constexpr std::size_t MaxServerNameBytes = 63;
inline constexpr std::size_t MaxGroupNameBytes = 63;

// Letter case aside, the same name.
bool SameName(std::string_view a, std::string_view b);

// One entry per server name, WS-Discovery's before DNS-SD's (it knows the workgroup); the
// address DNS-SD resolved wins over the address a WS-Discovery answer came from, which any
// machine on the link can send; at most MaxServers.
std::vector<Found> Combine(const std::vector<Found>& wsDiscovery, const std::vector<Found>& dnsSd);

// Adds to a listing of workgroups those that only discovery knows, in name order.
void AddWorkgroups(const Neighbourhood& n, std::vector<smbenum::Entry>& listing);
// Adds to a listing of `workgroup`'s servers those that only discovery placed there.
void AddServers(const Neighbourhood& n, std::string_view workgroup,
                std::vector<smbenum::Entry>& listing);
// Whether SMB1 browsing can be asked for `workgroup`'s servers: not when it answered the
// round without that workgroup, or did not answer at all (asking would only wait).
bool Smb1MayList(const Neighbourhood& n, std::string_view workgroup);

// The workgroup this machine's Samba configuration names, else "WORKGROUP".
std::string LocalWorkgroup();

// Lists into its argument and returns 0 or an errno, as smbclient::ListDirectory does.
using Lister = std::function<int(std::vector<smbenum::Entry>&)>;

// The provider level: runs discovery on worker threads while `smb1` lists the workgroups,
// waits at most AnswerWait in all, and merges. The round is kept for ListServers and its
// addresses for SmbHostFor. Fails with smb1's error only when nothing was found at all.
int ListWorkgroups(const Lister& smb1, std::vector<smbenum::Entry>& entries);

// A workgroup level: smb1's servers (unless the last round showed SMB1 cannot list this
// workgroup) plus those the last round placed in it. The servers SMB1 lists are never
// reached at an announced address (ShownByBrowsing).
int ListServers(std::string_view workgroup, const Lister& smb1,
                std::vector<smbenum::Entry>& entries);

}  // namespace platform::discovery
