// ICMP echo on Linux: an unprivileged datagram ICMP socket when net.ipv4.ping_group_range
// allows it, a raw socket (root or cap_net_raw) otherwise.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/errqueue.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "platform/echo.h"
#include "platform/linux/errors.h"
#include "platform/linux/icmp_packets.h"
#include "platform/texts.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC: a clock change cannot stretch a wait
using icmp::Outcome;
using icmp::Probe;
using icmp::Verdict;

constexpr int IcmpFilterOption = 1;  // ICMP_FILTER of <linux/icmp.h>, at level SOL_RAW
constexpr std::size_t HeaderSize = sizeof(ICMP_ECHO_REPLY32);
// Room the reply buffer must have beyond the header and the request, as on Windows.
constexpr std::size_t ErrorRoom = 8;

struct EchoSocket {
    int fd = -1;
    bool raw = false;
    std::uint16_t id = 0;  // network order
};

thread_local DWORD lastError = 0;
thread_local std::string lastErrorText;

DWORD Fail(DWORD code, std::string text = {}) {
    lastError = code;
    lastErrorText = std::move(text);
    return 0;
}

template <class T>
void Put(std::uint8_t* buffer, std::size_t offset, T value) {
    std::memcpy(buffer + offset, &value, sizeof value);
}

// A probe without reply: only the fields that say so are written.
void WriteFailure(std::uint8_t* buffer, IPAddr from, DWORD status, std::int32_t rtt = 0) {
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Address), from);
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Status), std::int32_t(status));
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, RoundTripTime), rtt);
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, DataSize), std::int16_t(0));
}

void WriteReply(std::uint8_t* buffer, const Outcome& o, std::int32_t rtt) {
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Address), o.from);
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Status), std::int32_t(IP_SUCCESS));
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, RoundTripTime), rtt);
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, DataSize), std::int16_t(o.size));
    // The data sits right after the header; the offset is what this service reports.
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Data), std::uint32_t(HeaderSize));
    IP_OPTION_INFORMATION32 options;
    options.Ttl = o.ttl >= 0 ? UCHAR(o.ttl) : 0;
    options.Tos = o.tos >= 0 ? UCHAR(o.tos) : 0;
    Put(buffer, offsetof(ICMP_ECHO_REPLY32, Options), options);
    if (o.size)
        std::memcpy(buffer + HeaderSize, o.data, o.size);
}

std::string ProgramPath() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, std::size_t(n)) : std::string("mapeo");
}

std::string NoPermissionText() {
    return texts::Fill(texts::NoIcmpPermission, {ProgramPath()});
}

bool IsPermissionError(int e) {
    return e == EPERM || e == EACCES;
}

// Broadcast destinations would bring answers from many hosts, or none; the kernel refuses
// them on ICMP sockets anyway.
bool IsBroadcast(IPAddr a) {
    if (a == 0 || a == 0xFFFFFFFFu)
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
            if (mask < 0xFFFFFFFEu && htonl(addr | ~mask) == a)
                found = true;
        }
    }
    ::freeifaddrs(list);
    return found;
}

std::uint16_t NextSequence() {
    static std::atomic<std::uint16_t> next{std::uint16_t(::getpid() * 7919u)};
    return htons(next.fetch_add(1));
}

std::uint16_t NextRawId() {
    static std::atomic<std::uint16_t> next{std::uint16_t(::getpid())};
    return htons(next.fetch_add(1));
}

// Reads what waits on the error queue; true when one entry concerns the probe.
bool ReadErrorQueue(const EchoSocket& s, const Probe& probe, Outcome& found) {
    for (;;) {
        std::uint8_t data[1024];
        alignas(cmsghdr) char control[512];
        sockaddr_in original{};
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_name = &original;
        msg.msg_namelen = sizeof original;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(s.fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR)
                continue;
            sock_extended_err ee;
            std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
            sockaddr_in offender{};
            if (c->cmsg_len >= CMSG_LEN(sizeof ee + sizeof offender))
                std::memcpy(&offender, CMSG_DATA(c) + sizeof ee, sizeof offender);
            icmp::QueuedError e;
            e.origin = ee.ee_origin;
            e.type = ee.ee_type;
            e.code = ee.ee_code;
            e.errnum = ee.ee_errno;
            e.offender = offender.sin_family == AF_INET ? offender.sin_addr.s_addr : 0;
            e.originalDestination = original.sin_addr.s_addr;
            e.payload = data;
            e.length = std::size_t(n);
            const Outcome o = icmp::ReadQueuedError(probe, e);
            if (o.verdict != Verdict::Ignore) {
                found = o;
                return true;
            }
        }
    }
}

// Reads the datagrams that wait; true when one answers the probe. `copy` keeps the payload
// alive for the caller.
bool ReadPackets(const EchoSocket& s, const Probe& probe, Outcome& found,
                 std::vector<std::uint8_t>& copy, bool& pendingError) {
    for (;;) {
        std::uint8_t data[4096];
        alignas(cmsghdr) char control[256];
        sockaddr_in from{};
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(s.fd, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // With IP_RECVERR a pending error is told here first; the queue has the details.
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                pendingError = true;
            return false;
        }
        Outcome o = icmp::ReadPacket(probe, data, std::size_t(n), from.sin_addr.s_addr);
        if (o.verdict == Verdict::Ignore)
            continue;
        if (o.verdict == Verdict::Reply) {
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL && o.ttl < 0) {
                    int ttl;
                    std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
                    o.ttl = ttl;
                }
            }
            copy.assign(o.data, o.data + o.size);
            o.data = copy.data();
            // A reply cut short by the buffer is larger than any reply buffer.
            if (msg.msg_flags & MSG_TRUNC)
                o.size = std::size_t(INT16_MAX) + 1;
        }
        found = o;
        return true;
    }
}

class LinuxIcmpEcho final : public IcmpEcho {
public:
    HANDLE IcmpCreateFile() override {
        int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
        const int datagramError = errno;
        bool raw = false;
        if (fd < 0) {
            fd = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
            raw = true;
        }
        if (fd < 0) {
            const int rawError = errno;
            const int e = IsPermissionError(datagramError) ? rawError : datagramError;
            if (IsPermissionError(e))
                Fail(ERROR_ACCESS_DENIED, NoPermissionText());
            else if (e == EMFILE || e == ENFILE)
                Fail(ERROR_TOO_MANY_OPEN_FILES, ErrorText(e));
            else if (e == ENOMEM || e == ENOBUFS)
                Fail(ERROR_NOT_ENOUGH_MEMORY, ErrorText(e));
            else
                Fail(IP_GENERAL_FAILURE, ErrorText(e));
            return InvalidHandleValue();
        }

        auto* s = new EchoSocket{fd, raw, 0};
        const int on = 1;
        // Without IP_RECVERR a datagram socket drops ICMP errors and every refusal would
        // look like a time-out.
        ::setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on);
        if (raw) {
            s->id = NextRawId();
            // Only replies and the errors a probe can meet; the rest of the host's ICMP
            // traffic stays out of this socket.
            const std::uint32_t keep = 1u << 0 | 1u << 3 | 1u << 4 | 1u << 11 | 1u << 12;
            const std::uint32_t drop = ~keep;
            ::setsockopt(fd, SOL_RAW, IcmpFilterOption, &drop, sizeof drop);
        } else {
            ::setsockopt(fd, SOL_IP, IP_RECVTTL, &on, sizeof on);
            // The kernel picks the echo id of a datagram socket when it is bound.
            sockaddr_in any{};
            any.sin_family = AF_INET;
            sockaddr_in bound{};
            socklen_t len = sizeof bound;
            if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0 &&
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len) == 0)
                s->id = bound.sin_port;
        }
        std::lock_guard lock(mutex_);
        live_.insert(s);
        return s;
    }

    DWORD IcmpSendEcho(HANDLE handle, IPAddr destination, LPVOID requestData, WORD requestSize,
                       IP_OPTION_INFORMATION* options, LPVOID replyBuffer, DWORD replySize,
                       DWORD timeout) override {
        auto* buffer = static_cast<std::uint8_t*>(replyBuffer);
        if (!buffer || replySize < HeaderSize)
            return Fail(IP_BUF_TOO_SMALL);
        if (replySize < HeaderSize + requestSize + ErrorRoom) {
            WriteFailure(buffer, destination, IP_BUF_TOO_SMALL);
            return Fail(IP_BUF_TOO_SMALL);
        }
        const EchoSocket* s = Find(handle);
        if (!s) {
            WriteFailure(buffer, destination, IP_GENERAL_FAILURE);
            return Fail(ERROR_INVALID_HANDLE, ErrorText(EBADF));
        }
        if (requestSize && !requestData) {
            WriteFailure(buffer, destination, IP_BAD_REQ);
            return Fail(IP_BAD_REQ);
        }
        if (IsBroadcast(destination)) {
            WriteFailure(buffer, destination, IP_BAD_DESTINATION);
            return Fail(IP_BAD_DESTINATION);
        }
        if (options && options->Ttl) {
            const int ttl = options->Ttl;
            ::setsockopt(s->fd, SOL_IP, IP_TTL, &ttl, sizeof ttl);
        }
        if (options && options->Tos) {
            const int tos = options->Tos;
            ::setsockopt(s->fd, SOL_IP, IP_TOS, &tos, sizeof tos);
        }

        Probe probe{destination, s->id, NextSequence(), s->raw};
        std::vector<std::uint8_t> packet(icmp::EchoHeaderSize + requestSize);
        icmp::BuildEchoRequest(probe, requestData, requestSize, packet.data(), packet.size());
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = destination;

        const Clock::time_point start = Clock::now();
        const Clock::time_point deadline = start + std::chrono::milliseconds(timeout);
        ssize_t sent;
        do {
            sent = ::sendto(s->fd, packet.data(), packet.size(), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0) {
            const DWORD status = icmp::StatusForLocalError(errno);
            WriteFailure(buffer, destination, status);
            return Fail(status, ErrorText(errno));
        }

        Outcome found;
        std::vector<std::uint8_t> payload;
        for (;;) {
            const Clock::time_point now = Clock::now();
            if (now >= deadline)
                break;
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
            timespec wait{time_t(left.count() / 1000000000), long(left.count() % 1000000000)};
            pollfd pfd{s->fd, POLLIN, 0};
            const int r = ::ppoll(&pfd, 1, &wait, nullptr);
            if (r < 0 && errno != EINTR) {
                WriteFailure(buffer, destination, IP_GENERAL_FAILURE);
                return Fail(IP_GENERAL_FAILURE, ErrorText(errno));
            }
            if (r <= 0)
                continue;
            bool pendingError = (pfd.revents & POLLERR) != 0;
            if (pfd.revents & POLLIN && ReadPackets(*s, probe, found, payload, pendingError))
                break;
            if (pendingError && ReadErrorQueue(*s, probe, found))
                break;
        }

        const auto rtt = std::int32_t(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        switch (found.verdict) {
            case Verdict::Reply:
                if (found.size > replySize - HeaderSize) {
                    WriteFailure(buffer, found.from, IP_BUF_TOO_SMALL, rtt);
                    return Fail(IP_BUF_TOO_SMALL);
                }
                WriteReply(buffer, found, rtt);
                lastError = 0;
                return 1;
            case Verdict::Error:
                WriteFailure(buffer, found.from, found.status, rtt);
                return Fail(found.status);
            case Verdict::Ignore:
                break;
        }
        WriteFailure(buffer, destination, IP_REQ_TIMED_OUT);
        return Fail(IP_REQ_TIMED_OUT);
    }

    BOOL IcmpCloseHandle(HANDLE handle) override {
        EchoSocket* s = nullptr;
        {
            std::lock_guard lock(mutex_);
            auto it = live_.find(static_cast<EchoSocket*>(handle));
            if (it == live_.end()) {
                Fail(ERROR_INVALID_HANDLE, ErrorText(EBADF));
                return 0;
            }
            s = *it;
            live_.erase(it);
        }
        ::close(s->fd);
        delete s;
        return 1;
    }

    DWORD GetLastError() const override { return lastError; }
    std::string LastErrorText() const override { return lastErrorText; }

private:
    // Handles are checked against those handed out, so a stale or made-up one fails cleanly.
    const EchoSocket* Find(HANDLE handle) {
        std::lock_guard lock(mutex_);
        auto it = live_.find(static_cast<EchoSocket*>(handle));
        return it == live_.end() ? nullptr : *it;
    }

    std::mutex mutex_;
    std::set<EchoSocket*> live_;
};

}  // namespace

IcmpEcho& SystemIcmpEcho() {
    static LinuxIcmpEcho echo;
    return echo;
}

}  // namespace platform
