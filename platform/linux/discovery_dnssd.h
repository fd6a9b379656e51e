// DNS-SD (multicast DNS) through the Avahi daemon: the servers that announce _smb._tcp.
#pragma once

#include <string_view>
#include <vector>

#include "platform/linux/discovery.h"

namespace platform::discovery::dnssd {

// The server name a resolved service's host name gives: its first label ("nas" for
// "nas.local"); empty when that is no usable name.
std::string ServerName(std::string_view hostName);

// One round on the calling thread, with Avahi's own simple poll: browse _smb._tcp, resolve
// each service to its host and IPv4 address, return what was found by `deadline` (or as soon
// as the daemon has said all it knows). Nothing when no daemon can be reached.
std::vector<Found> Browse(Clock::time_point deadline);

}  // namespace platform::discovery::dnssd
