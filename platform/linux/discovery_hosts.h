// The addresses that discovery learned for server names, for every smb:// address the program
// builds: a server found through WS-Discovery or DNS-SD may have a name that no resolver on
// this machine knows.
#pragma once

#include <string>

namespace platform::discovery {

// The host to put into an smb:// address for `server` (the name in a \\server\share path):
// the IPv4 address the latest discovery round learned for that name (letter case aside),
// else `server` unchanged. Safe from any thread.
std::string SmbHostFor(const std::string& server);

// Records that `server` answered from `ipv4`; a later round's answer replaces it.
void RememberAddress(const std::string& server, const std::string& ipv4);

}  // namespace platform::discovery
