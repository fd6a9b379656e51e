// The one place where smb:// addresses are made, for libsmbclient, GVfs and CUPS's smb back end
// alike. Each of the three splits an address into its parts in its own way, some before and
// some after decoding; a name goes into an address only when all three read it back the same.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::smburi {

// "smb://server": the shares of a server. A server that announced itself (WS-Discovery,
// DNS-SD) is reached at the address it announced. Nothing when the name cannot be carried.
std::optional<std::string> ServerUri(std::string_view server);

// "smb://workgroup": the servers of a workgroup.
std::optional<std::string> WorkgroupUri(std::string_view workgroup);

// "smb://server/share" (the server as ServerUri reaches it), or "smb://server/share/a/b" for the
// folder "a/b". Nothing when a part cannot be carried.
std::optional<std::string> ShareUri(std::string_view server, std::string_view share,
                                    std::string_view folder = {});

}  // namespace platform::smburi
