// The addresses that discovery learned for server names, for every smb:// address the program
// builds: a server found through WS-Discovery or DNS-SD may have a name that no resolver on
// this machine knows.
#pragma once

#include <functional>
#include <string>

namespace platform::discovery {

// What the hosts file and DNS say of a name: an answer either way, or none in time (a silent
// name server), which proves nothing.
enum class Resolution { Resolves, DoesNotResolve, NoAnswer };

// The lookups the choice of a host rests on; the system's by default, stand-ins in tests.
struct Lookups {
    std::function<Resolution(const std::string& name)> name;  // hosts file and DNS, bounded
};
const Lookups& SystemLookups();

// The host to put into an smb:// address for `server` (the name in a \\server\share path):
// the IPv4 address the latest discovery round learned for that name (letter case aside) when
// the name itself does not resolve, else `server` unchanged. Anyone may announce any name, so
// an announcement never redirects a name that the hosts file or DNS knows, nor one the SMB1
// browse lists showed: the ticket and the passwords offered for it go to that name. A lookup
// that got no answer redirects nothing and is asked again next time. Safe from any thread.
std::string SmbHostFor(const std::string& server, const Lookups& lookups = SystemLookups());

// Whether the host SmbHostFor gives is one only an announcement led to: a server reached
// there is never offered the user's ticket or a saved password, and what the user types
// for it is not saved under its name.
inline bool Redirected(const std::string& server, const std::string& host) {
    return host != server;
}

// Records that `server` answered from `ipv4`; a later round's answer replaces it.
void RememberAddress(const std::string& server, const std::string& ipv4);

// Records that SMB1 browsing listed `server`: NetBIOS knows it, and no announcement may
// redirect it from now on.
void ShownByBrowsing(const std::string& server);

}  // namespace platform::discovery
