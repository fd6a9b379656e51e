// Request checks, shared by the helper and its tests.
#include <cstring>

#include "platform/linux/icmp_helper.h"
#include "platform/linux/icmp_packets.h"

namespace platform::icmp::helper {

Checked CheckRequest(const std::uint8_t* message, std::size_t length, bool truncated) {
    Checked c;
    if (length >= sizeof c.request.tag)
        std::memcpy(&c.request.tag, message, sizeof c.request.tag);
    if (truncated || length < sizeof(Request))
        return c;
    std::memcpy(&c.request, message, sizeof c.request);
    const Request& r = c.request;
    if (r.tag == 0 || r.payloadSize > MaxPayload || r.payloadSize != length - sizeof(Request) ||
        r.timeoutMs == 0 || r.timeoutMs > MaxTimeoutMs)
        return c;
    if (IsBadDestination(r.destination)) {
        c.status = IP_BAD_DESTINATION;
        return c;
    }
    c.status = IP_SUCCESS;
    c.payload = message + sizeof(Request);
    return c;
}

}  // namespace platform::icmp::helper
