#include "platform/linux/icmp_packets.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/errqueue.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace platform::icmp {
namespace {

constexpr std::uint8_t EchoReply = 0;
constexpr std::uint8_t DestinationUnreachable = 3;
constexpr std::uint8_t SourceQuench = 4;
constexpr std::uint8_t EchoRequest = 8;
constexpr std::uint8_t TimeExceeded = 11;
constexpr std::uint8_t ParameterProblem = 12;
constexpr std::uint8_t ProtocolIcmp = 1;
constexpr std::size_t MinIpHeader = 20;
constexpr int IcmpFilterOption = 1;  // ICMP_FILTER of <linux/icmp.h>, at level SOL_RAW

// Length of the IPv4 header at `p`, or 0 when it is not a plausible one.
std::size_t IpHeaderLength(const std::uint8_t* p, std::size_t length) {
    if (length < MinIpHeader || (p[0] >> 4) != 4)
        return 0;
    const std::size_t ihl = std::size_t(p[0] & 0x0F) * 4;
    return ihl >= MinIpHeader && ihl <= length ? ihl : 0;
}

bool SameIdAndSequence(const Probe& probe, const std::uint8_t* echo) {
    return std::memcmp(echo + 4, &probe.id, 2) == 0 &&
           std::memcmp(echo + 6, &probe.sequence, 2) == 0;
}

IPAddr AddressAt(const std::uint8_t* p) {
    IPAddr a;
    std::memcpy(&a, p, 4);
    return a;
}

// An ICMP error carries the start of the packet that caused it: is that packet our request?
bool QuotesOurRequest(const Probe& probe, const std::uint8_t* quoted, std::size_t length) {
    const std::size_t ihl = IpHeaderLength(quoted, length);
    if (ihl == 0 || quoted[9] != ProtocolIcmp || length < ihl + EchoHeaderSize)
        return false;
    if (AddressAt(quoted + 16) != probe.destination)
        return false;
    const std::uint8_t* echo = quoted + ihl;
    return echo[0] == EchoRequest && SameIdAndSequence(probe, echo);
}

}  // namespace

Outcome ReadPacket(const Probe& probe, const std::uint8_t* packet, std::size_t length,
                   IPAddr source) {
    Outcome out;
    const std::uint8_t* icmp = packet;
    std::size_t size = length;
    int ttl = -1, tos = -1;
    if (probe.raw) {
        const std::size_t ihl = IpHeaderLength(packet, length);
        if (ihl == 0 || packet[9] != ProtocolIcmp)
            return out;
        ttl = packet[8];
        tos = packet[1];
        icmp = packet + ihl;
        size = length - ihl;
    }
    if (size < EchoHeaderSize)
        return out;

    const std::uint8_t type = icmp[0];
    if (type == EchoReply) {
        // Replies to other programs, to earlier probes, or from another host are strays.
        if (icmp[1] != 0 || source != probe.destination || !SameIdAndSequence(probe, icmp))
            return out;
        out.verdict = Verdict::Reply;
        out.from = source;
        out.data = icmp + EchoHeaderSize;
        out.size = size - EchoHeaderSize;
        out.ttl = ttl;
        out.tos = tos;
        return out;
    }
    // A datagram socket hands errors over through its error queue instead.
    if (!probe.raw)
        return out;
    if (type != DestinationUnreachable && type != SourceQuench && type != TimeExceeded &&
        type != ParameterProblem)
        return out;
    if (!QuotesOurRequest(probe, icmp + EchoHeaderSize, size - EchoHeaderSize))
        return out;
    out.verdict = Verdict::Error;
    out.status = StatusForIcmpError(type, icmp[1]);
    out.from = source;
    return out;
}

Outcome ReadQueuedError(const Probe& probe, const QueuedError& e) {
    Outcome out;
    if (e.originalDestination != probe.destination)
        return out;
    const std::uint8_t* request = e.payload;
    std::size_t length = e.payload ? e.length : 0;
    // The queue returns the request from its ICMP header on, or, with some sockets, from its
    // IP header; an echo request never starts with the byte of an IPv4 header.
    if (length > 0 && request[0] != EchoRequest) {
        const std::size_t ihl = IpHeaderLength(request, length);
        if (ihl == 0)
            return out;
        request += ihl;
        length -= ihl;
    }
    // An error that quotes too little to name its probe is taken for the one the caller
    // picked by destination alone (the oldest still out to it on that socket).
    if (length >= EchoHeaderSize &&
        (request[0] != EchoRequest || !SameIdAndSequence(probe, request)))
        return out;

    switch (e.origin) {
        case 2:  // SO_EE_ORIGIN_ICMP
            out.status = StatusForIcmpError(e.type, e.code);
            break;
        case 1:  // SO_EE_ORIGIN_LOCAL
            out.status = StatusForLocalError(int(e.errnum));
            break;
        default:
            return out;
    }
    out.verdict = Verdict::Error;
    out.from = e.offender ? e.offender : e.originalDestination;
    return out;
}

bool EchoKey(bool raw, const std::uint8_t* packet, std::size_t length, std::uint16_t& id,
             std::uint16_t& sequence) {
    const std::uint8_t* icmp = packet;
    std::size_t size = length;
    if (raw) {
        const std::size_t ihl = IpHeaderLength(packet, length);
        if (ihl == 0 || packet[9] != ProtocolIcmp)
            return false;
        icmp += ihl;
        size -= ihl;
    }
    if (size < EchoHeaderSize)
        return false;
    const std::uint8_t* echo = icmp;
    if (icmp[0] != EchoReply) {
        if (!raw || (icmp[0] != DestinationUnreachable && icmp[0] != SourceQuench &&
                     icmp[0] != TimeExceeded && icmp[0] != ParameterProblem))
            return false;
        const std::uint8_t* quoted = icmp + EchoHeaderSize;
        const std::size_t quotedSize = size - EchoHeaderSize;
        const std::size_t ihl = IpHeaderLength(quoted, quotedSize);
        if (ihl == 0 || quotedSize < ihl + EchoHeaderSize || quoted[ihl] != EchoRequest)
            return false;
        echo = quoted + ihl;
    }
    std::memcpy(&id, echo + 4, 2);
    std::memcpy(&sequence, echo + 6, 2);
    return true;
}

bool QueuedEchoKey(const QueuedError& e, std::uint16_t& id, std::uint16_t& sequence) {
    const std::uint8_t* request = e.payload;
    std::size_t length = e.payload ? e.length : 0;
    if (length > 0 && request[0] != EchoRequest) {
        const std::size_t ihl = IpHeaderLength(request, length);
        if (ihl == 0)
            return false;
        request += ihl;
        length -= ihl;
    }
    if (length < EchoHeaderSize || request[0] != EchoRequest)
        return false;
    std::memcpy(&id, request + 4, 2);
    std::memcpy(&sequence, request + 6, 2);
    return true;
}

namespace {
template <class T>
void Put(std::uint8_t* buffer, std::size_t offset, T value) {
    std::memcpy(buffer + offset, &value, sizeof value);
}
}  // namespace

DWORD FillReplyBuffer(std::uint8_t* buffer, std::size_t bufferSize, DWORD status, IPAddr from,
                      std::int32_t roundTripMs, const std::uint8_t* data, std::size_t size, int ttl,
                      int tos) {
    constexpr std::size_t HeaderSize = sizeof(ICMP_ECHO_REPLY32);
    if (status == IP_SUCCESS && size > bufferSize - HeaderSize)
        status = IP_BUF_TOO_SMALL;
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Address), from);
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Status), std::int32_t(status));
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, RoundTripTime), roundTripMs);
    if (status != IP_SUCCESS) {
        // A probe without reply: only the fields that say so are written.
        Put(buffer, offsetof(ICMP_ECHO_REPLY32, DataSize), std::int16_t(0));
        return status;
    }
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, DataSize), std::int16_t(size));
    // The data sits right after the header; the offset is what this service reports.
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Data), std::uint32_t(HeaderSize));
    IP_OPTION_INFORMATION32 options;
    options.Ttl = ttl >= 0 ? UCHAR(ttl) : 0;
    options.Tos = tos >= 0 ? UCHAR(tos) : 0;
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Options), options);
    if (size)
        std::memcpy(buffer + HeaderSize, data, size);
    return status;
}

bool IsBadDestination(IPAddr a) {
    const std::uint32_t host = ntohl(a);
    if (a == 0 || host == 0xFFFFFFFFu || (host >> 28) >= 0xE)  // multicast and reserved
        return true;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (const ifaddrs* i = list; i && !found; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        if ((i->ifa_flags & IFF_BROADCAST) && i->ifa_broadaddr &&
            i->ifa_broadaddr->sa_family == AF_INET &&
            reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr == a)
            found = true;
        // Loopback has no broadcast flag but the kernel still keeps 127.255.255.255 as one.
        if (i->ifa_netmask && i->ifa_netmask->sa_family == AF_INET) {
            const std::uint32_t mask =
                ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr);
            const std::uint32_t addr =
                ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
            if (mask < 0xFFFFFFFEu && (addr | ~mask) == host)
                found = true;
        }
    }
    ::freeifaddrs(list);
    return found;
}

DWORD StatusForIcmpError(std::uint8_t type, std::uint8_t code) {
    switch (type) {
        case DestinationUnreachable:
            switch (code) {
                case 0:   // network
                case 6:   // network unknown
                case 9:   // network administratively prohibited
                case 11:  // network, for this type of service
                    return IP_DEST_NET_UNREACHABLE;
                case 1:   // host
                case 7:   // host unknown
                case 8:   // source host isolated
                case 10:  // host administratively prohibited
                case 12:  // host, for this type of service
                case 13:  // communication administratively prohibited
                case 14:  // host precedence violation
                case 15:  // precedence cut-off
                    return IP_DEST_HOST_UNREACHABLE;
                case 2:
                    return IP_DEST_PROT_UNREACHABLE;
                case 3:
                    return IP_DEST_PORT_UNREACHABLE;
                case 4:
                    return IP_PACKET_TOO_BIG;
                case 5:
                    return IP_BAD_ROUTE;
                default:
                    return IP_GENERAL_FAILURE;
            }
        case TimeExceeded:
            if (code == 0)
                return IP_TTL_EXPIRED_TRANSIT;
            if (code == 1)
                return IP_TTL_EXPIRED_REASSEM;
            return IP_GENERAL_FAILURE;
        case ParameterProblem:
            return IP_PARAM_PROBLEM;
        case SourceQuench:
            return IP_SOURCE_QUENCH;
        default:
            return IP_GENERAL_FAILURE;
    }
}

DWORD StatusForLocalError(int errnum) {
    switch (errnum) {
        case ENETUNREACH:
            return IP_DEST_NET_UNREACHABLE;
        case EHOSTUNREACH:
        case EACCES:  // a "prohibit" route
            return IP_DEST_HOST_UNREACHABLE;
        case EMSGSIZE:
            return IP_PACKET_TOO_BIG;
        default:
            return IP_GENERAL_FAILURE;
    }
}

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += std::uint32_t(data[i] << 8 | data[i + 1]);
    if (length % 2)
        sum += std::uint32_t(data[length - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return std::uint16_t(~sum);
}

std::size_t BuildEchoRequest(const Probe& probe, const void* payload, std::size_t size,
                             std::uint8_t* out, std::size_t capacity) {
    if (capacity < EchoHeaderSize || size > capacity - EchoHeaderSize)
        return 0;
    out[0] = EchoRequest;
    out[1] = 0;
    out[2] = out[3] = 0;
    std::memcpy(out + 4, &probe.id, 2);
    std::memcpy(out + 6, &probe.sequence, 2);
    if (size)
        std::memcpy(out + EchoHeaderSize, payload, size);
    const std::uint16_t sum = InternetChecksum(out, EchoHeaderSize + size);
    out[2] = std::uint8_t(sum >> 8);
    out[3] = std::uint8_t(sum & 0xFF);
    return EchoHeaderSize + size;
}

void SetIcmpFilter(int fd) {
    const std::uint32_t keep = 1u << EchoReply | 1u << DestinationUnreachable | 1u << SourceQuench |
                               1u << TimeExceeded | 1u << ParameterProblem;
    const std::uint32_t drop = ~keep;
    ::setsockopt(fd, SOL_RAW, IcmpFilterOption, &drop, sizeof drop);
}

int Receive(int fd, bool errorQueue, std::uint8_t* buffer, std::size_t size, Received& out) {
    alignas(cmsghdr) char control[512];
    sockaddr_in from{};
    iovec iov{buffer, size};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t got = ::recvmsg(fd, &msg, MSG_DONTWAIT | (errorQueue ? MSG_ERRQUEUE : 0));
    if (got < 0)
        return errno == EINTR ? 0 : -1;
    out = Received{};
    out.length = std::size_t(got);
    out.truncated = (msg.msg_flags & MSG_TRUNC) != 0;
    out.from = from.sin_addr.s_addr;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            std::memcpy(&out.stamp, CMSG_DATA(c), sizeof out.stamp);
            out.stamped = true;
        } else if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL && out.ttl < 0) {
            std::memcpy(&out.ttl, CMSG_DATA(c), sizeof out.ttl);
        } else if (errorQueue && c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR &&
                   !out.queued) {
            sock_extended_err ee;
            std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
            sockaddr_in offender{};
            if (c->cmsg_len >= CMSG_LEN(sizeof ee + sizeof offender))
                std::memcpy(&offender, CMSG_DATA(c) + sizeof ee, sizeof offender);
            out.error = {ee.ee_origin,
                         ee.ee_type,
                         ee.ee_code,
                         ee.ee_errno,
                         offender.sin_family == AF_INET ? offender.sin_addr.s_addr : 0,
                         out.from,
                         buffer,
                         out.length};
            out.queued = true;
        }
    }
    return 1;
}

}  // namespace platform::icmp
