#include "platform/linux/smb_uri.h"

#include "platform/linux/discovery_hosts.h"

namespace platform::smburi {
namespace {

// Every part is percent-encoded but for the unreserved ASCII characters. libsmbclient splits
// user, server, port, share and path on the raw text and decodes each piece afterwards; GVfs
// splits on the raw text too and hands the decoded names to its back end, which encodes them
// again for libsmbclient; smbspool splits off user and printer raw. So an encoded "@", "?",
// "#", ";" or "%" reaches all three as the same plain character.
std::string Encode(std::string_view part) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : part) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// What no reader carries: separators ("/" encoded makes GVfs refuse the whole address),
// control characters (libsmbclient stops decoding at %00), empty parts and "." or "..".
bool Carried(std::string_view part) {
    if (part.empty() || part == "." || part == "..")
        return false;
    for (const char ch : part) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\')
            return false;
    }
    return true;
}

// smbspool decodes the host before it looks for a port, so "a:1" would print to host "a" on
// port 1 while the printer check asked host "a:1"; GVfs takes a host in brackets for an
// address and drops them. No Windows computer name holds a ":", and no host name a bracket.
bool ServerCarried(std::string_view server) {
    return Carried(server) && server.find_first_of(":[]") == std::string_view::npos;
}

// GVfs reads "smb://server/._name" as the server's own listing, not as a share.
bool ShareCarried(std::string_view share) {
    return Carried(share) && share.substr(0, 2) != "._";
}

}  // namespace

std::optional<std::string> ServerUri(std::string_view server) {
    if (!ServerCarried(server))
        return std::nullopt;
    return "smb://" + Encode(discovery::SmbHostFor(std::string(server)));
}

std::optional<std::string> WorkgroupUri(std::string_view workgroup) {
    if (!ServerCarried(workgroup))
        return std::nullopt;
    return "smb://" + Encode(workgroup);
}

std::optional<std::string> ShareUri(std::string_view server, std::string_view share,
                                    std::string_view folder) {
    if (!ServerCarried(server) || !ShareCarried(share))
        return std::nullopt;
    std::string uri =
        "smb://" + Encode(discovery::SmbHostFor(std::string(server))) + "/" + Encode(share);
    while (!folder.empty()) {
        const std::size_t cut = folder.find('/');
        const std::string_view part = folder.substr(0, cut);
        if (!Carried(part))
            return std::nullopt;
        uri += '/';
        uri += Encode(part);
        folder = cut == std::string_view::npos ? std::string_view() : folder.substr(cut + 1);
        if (cut != std::string_view::npos && folder.empty())
            return std::nullopt;  // "a/" ends in an empty part
    }
    return uri;
}

}  // namespace platform::smburi
