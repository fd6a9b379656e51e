// The addresses that discovery learned for server names, for every smb:// address the program
// builds: a server found through WS-Discovery or DNS-SD may have a name that no resolver on
// this machine knows.
#pragma once

#include <functional>
#include <string>

namespace platform::discovery {

// The host to put into an smb:// address for `server` (the name in a \\server\share path):
// the IPv4 address the latest discovery round learned for that name (letter case aside) when
// the name itself does not resolve, else `server` unchanged. Anyone may announce any name, so
// an announcement never redirects a name the hosts file or DNS knows: the ticket and the
// passwords offered for it go to that name. Asked once per announcement; safe from any thread.
std::string SmbHostFor(const std::string& server);

// The same, asking `resolves` whether a name resolves (the system's resolver above).
std::string SmbHostFor(const std::string& server,
                       const std::function<bool(const std::string&)>& resolves);

// Records that `server` answered from `ipv4`; a later round's answer replaces it.
void RememberAddress(const std::string& server, const std::string& ipv4);

}  // namespace platform::discovery
