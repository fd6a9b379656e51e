// ICMP echo on Linux: an unprivileged datagram ICMP socket when net.ipv4.ping_group_range
// allows it, a raw socket when this process may open one (root), otherwise the echo helper
// mapeo-echo, the only program that carries cap_net_raw. Each handle carries several probes
// at once, for the look-ahead of scans; a plain IcmpSendEcho is one probe sent and collected.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/echo.h"
#include "platform/linux/errors.h"
#include "platform/linux/icmp_helper.h"
#include "platform/linux/icmp_packets.h"
#include "platform/texts.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC: a clock change cannot stretch a wait
using icmp::Outcome;
using icmp::Verdict;

constexpr std::size_t HeaderSize = sizeof(ICMP_ECHO_REPLY32);
// Room the reply buffer must have beyond the header and the request, as on Windows.
constexpr std::size_t ErrorRoom = 8;
// Packets read in one go. Whatever else arrives (a flood of other hosts' ICMP), a probe
// waiting for its own answer gets back to its deadline after this many.
constexpr int ReadBatch = 256;
// After a deadline, what already arrived is read for this long before the probe is judged:
// its answer may be waiting there while the caller was busy elsewhere.
constexpr auto DrainTime = std::chrono::milliseconds(1);

thread_local DWORD lastError = 0;
thread_local std::string lastErrorText;

DWORD Fail(DWORD code, std::string text = {}) {
    lastError = code;
    lastErrorText = std::move(text);
    return 0;
}

// One probe of a handle, from its send until it is collected.
struct Pending {
    IPAddr destination = 0;
    std::uint16_t sequence = 0;  // as on the wire; socket transports only
    Clock::time_point sent, deadline;
    DWORD status = IP_PENDING;
    IPAddr from = 0;
    std::int32_t rttMs = 0;
    std::vector<std::uint8_t> data;
    std::size_t size = 0;  // of the echoed data, which may be more than was kept
    int ttl = -1, tos = -1;
    std::string why;  // the system's words for a local failure

    bool Done() const { return status != IP_PENDING; }
    void End(DWORD s, IPAddr f, Clock::time_point arrival) {
        status = s;
        from = f;
        rttMs = std::int32_t(
            std::chrono::duration_cast<std::chrono::milliseconds>(arrival - sent).count());
    }
};
using Probes = std::map<DWORD, Pending>;

// Where a handle's probes go and their answers come from.
class Transport {
public:
    virtual ~Transport() = default;
    // Sends the request of `p`; a failure on this host ends `p` at once.
    virtual void Send(DWORD ticket, Pending& p, const std::uint8_t* payload, std::size_t size,
                      const IP_OPTION_INFORMATION* options) = 0;
    // Waits until `waitUntil` at most for something to read, then reads what there is, ending
    // the probes it answers; it stops once `want` has ended, or at `readUntil`.
    virtual void Pump(Clock::time_point waitUntil, Clock::time_point readUntil, Probes& probes,
                      const Pending& want) = 0;
    virtual void Forget(const Pending&) {}
};

bool WaitReadable(int fd, Clock::time_point until) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::max(until - Clock::now(), Clock::duration::zero()));
        const timespec wait{time_t(left.count() / 1000000000), long(left.count() % 1000000000)};
        pollfd p{fd, POLLIN, 0};
        const int r = ::ppoll(&p, 1, &wait, nullptr);
        if (r >= 0 || errno != EINTR)
            return r > 0;
    }
}

// When the kernel took the packet in: a reply read late (the caller was busy) still counts
// if it came in time.
Clock::time_point Arrival(const icmp::Received& r, Clock::time_point readAt) {
    if (!r.stamped)
        return readAt;
    timespec real;
    ::clock_gettime(CLOCK_REALTIME, &real);
    const auto age = std::chrono::seconds(real.tv_sec - r.stamp.tv_sec) +
                     std::chrono::nanoseconds(real.tv_nsec - r.stamp.tv_nsec);
    if (age > Clock::duration::zero() && age < std::chrono::minutes(1))
        return readAt - std::chrono::duration_cast<Clock::duration>(age);
    return readAt;
}

std::uint16_t NextSequence() {
    static std::atomic<std::uint16_t> next{std::uint16_t(::getpid() * 7919u)};
    return htons(next.fetch_add(1));
}

std::uint16_t NextRawId() {
    static std::atomic<std::uint16_t> next{std::uint16_t(::getpid())};
    return htons(next.fetch_add(1));
}

// A datagram or raw ICMP socket of the handle's own.
class SocketTransport final : public Transport {
public:
    SocketTransport(int fd, bool raw) : fd_(fd), raw_(raw) {
        const int on = 1;
        // Without IP_RECVERR a datagram socket drops ICMP errors and every refusal would
        // look like a time-out.
        ::setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on);
        ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        if (raw) {
            id_ = NextRawId();
            icmp::SetIcmpFilter(fd);
        } else {
            ::setsockopt(fd, SOL_IP, IP_RECVTTL, &on, sizeof on);
            // The kernel picks the echo id of a datagram socket when it is bound.
            sockaddr_in any{};
            any.sin_family = AF_INET;
            sockaddr_in bound{};
            socklen_t len = sizeof bound;
            if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0 &&
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len) == 0)
                id_ = bound.sin_port;
        }
    }
    ~SocketTransport() override { ::close(fd_); }

    void Send(DWORD ticket, Pending& p, const std::uint8_t* payload, std::size_t size,
              const IP_OPTION_INFORMATION* options) override {
        if (options && options->Ttl)
            SetOption(IP_TTL, options->Ttl);
        if (options && options->Tos)
            SetOption(IP_TOS, options->Tos);
        do
            p.sequence = NextSequence();
        while (bySequence_.count(p.sequence));
        std::vector<std::uint8_t> packet(icmp::EchoHeaderSize + size);
        icmp::BuildEchoRequest({p.destination, id_, p.sequence, raw_}, payload, size, packet.data(),
                               packet.size());
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = p.destination;
        ssize_t sent;
        do
            sent = ::sendto(fd_, packet.data(), packet.size(), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
        while (sent < 0 && errno == EINTR);
        if (sent < 0) {
            p.why = ErrorText(errno);
            p.End(icmp::StatusForLocalError(errno), p.destination, p.sent);
            p.rttMs = 0;
            return;
        }
        bySequence_[p.sequence] = ticket;
    }

    void Pump(Clock::time_point waitUntil, Clock::time_point readUntil, Probes& probes,
              const Pending& want) override {
        if (!WaitReadable(fd_, waitUntil))
            return;
        bool pendingError = false;
        ReadPackets(readUntil, probes, want, pendingError);
        if (pendingError || HasQueuedError())
            ReadErrorQueue(readUntil, probes, want);
    }

    void Forget(const Pending& p) override { bySequence_.erase(p.sequence); }

private:
    void SetOption(int name, int value) { ::setsockopt(fd_, SOL_IP, name, &value, sizeof value); }

    bool HasQueuedError() const {
        pollfd p{fd_, 0, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & POLLERR);
    }

    Pending* Find(Probes& probes, std::uint16_t id, std::uint16_t sequence) {
        if (id != id_)
            return nullptr;
        auto s = bySequence_.find(sequence);
        if (s == bySequence_.end())
            return nullptr;
        auto p = probes.find(s->second);
        return p == probes.end() || p->second.Done() ? nullptr : &p->second;
    }

    void ReadPackets(Clock::time_point until, Probes& probes, const Pending& want,
                     bool& pendingError) {
        icmp::ReadBounded(
            until, ReadBatch, [&] { return ReadOnePacket(probes, pendingError); },
            [&] { return want.Done(); });
    }

    // False when nothing waits.
    bool ReadOnePacket(Probes& probes, bool& pendingError) {
        std::uint8_t data[4096];
        icmp::Received r;
        if (const int got = icmp::Receive(fd_, false, data, sizeof data, r); got <= 0) {
            // With IP_RECVERR a pending error is told here first; the queue has the details.
            if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                pendingError = true;
            return got == 0;
        }
        const Clock::time_point arrival = Arrival(r, Clock::now());
        std::uint16_t id, sequence;
        if (!icmp::EchoKey(raw_, data, r.length, id, sequence))
            return true;
        Pending* p = Find(probes, id, sequence);
        if (!p || arrival > p->deadline)
            return true;
        Outcome o = icmp::ReadPacket({p->destination, id_, sequence, raw_}, data, r.length, r.from);
        if (o.verdict == Verdict::Ignore)
            return true;
        if (o.verdict == Verdict::Error) {
            p->End(o.status, o.from, arrival);
            return true;
        }
        if (o.ttl < 0)
            o.ttl = r.ttl;
        p->data.assign(o.data, o.data + o.size);
        // A reply cut short by the buffer is larger than any reply buffer.
        p->size = r.truncated ? std::size_t(INT16_MAX) + 1 : o.size;
        p->ttl = o.ttl;
        p->tos = o.tos;
        p->End(IP_SUCCESS, o.from, arrival);
        return true;
    }

    void ReadErrorQueue(Clock::time_point until, Probes& probes, const Pending& want) {
        icmp::ReadBounded(
            until, ReadBatch, [&] { return ReadOneError(probes); }, [&] { return want.Done(); });
    }

    bool ReadOneError(Probes& probes) {
        std::uint8_t data[1024];
        icmp::Received r;
        if (const int got = icmp::Receive(fd_, true, data, sizeof data, r); got <= 0)
            return got == 0;
        if (!r.queued)
            return true;
        const Clock::time_point arrival = Arrival(r, Clock::now());
        const icmp::QueuedError& e = r.error;
        std::uint16_t id = id_, sequence = 0;
        Pending* p = icmp::QueuedEchoKey(e, id, sequence)
                         ? Find(probes, id, sequence)
                         : FirstTo(probes, e.originalDestination, sequence);
        if (!p || arrival > p->deadline)
            return true;
        const Outcome o = icmp::ReadQueuedError({p->destination, id_, sequence, raw_}, e);
        if (o.verdict == Verdict::Error)
            p->End(o.status, o.from, arrival);
        return true;
    }

    // An error that quotes too little to name its probe goes to the oldest one it can be for.
    Pending* FirstTo(Probes& probes, IPAddr destination, std::uint16_t& sequence) {
        for (auto& [ticket, p] : probes) {
            if (!p.Done() && p.destination == destination && bySequence_.count(p.sequence)) {
                sequence = p.sequence;
                return &p;
            }
        }
        return nullptr;
    }

    int fd_;
    bool raw_;
    std::uint16_t id_ = 0;  // network order
    std::unordered_map<std::uint16_t, DWORD> bySequence_;
};

// The echo helper, started for this handle and ended with it.
class HelperTransport final : public Transport {
public:
    explicit HelperTransport(icmp::helper::Process p) : helper_(p) {}
    ~HelperTransport() override { icmp::helper::Stop(helper_); }

    void Send(DWORD ticket, Pending& p, const std::uint8_t* payload, std::size_t size,
              const IP_OPTION_INFORMATION* options) override {
        icmp::helper::Request r;
        r.tag = ticket;
        r.destination = p.destination;
        // The helper takes only sane deadlines; this side keeps the caller's own anyway.
        r.timeoutMs = std::uint32_t(std::clamp<std::int64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(p.deadline - p.sent).count(), 1,
            icmp::helper::MaxTimeoutMs));
        r.payloadSize = std::uint16_t(size);
        r.ttl = options ? options->Ttl : 0;
        r.tos = options ? options->Tos : 0;
        std::vector<std::uint8_t> message(sizeof r + size);
        std::memcpy(message.data(), &r, sizeof r);
        if (size)
            std::memcpy(message.data() + sizeof r, payload, size);
        int error = EPIPE;
        if (!broken_) {
            if (::send(helper_.fd, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >=
                0)
                return;
            error = errno;
            broken_ = error != EAGAIN && error != EWOULDBLOCK;
        }
        p.why = ErrorText(error);
        p.End(broken_ ? IP_GENERAL_FAILURE : IP_NO_RESOURCES, p.destination, p.sent);
        p.rttMs = 0;
    }

    void Pump(Clock::time_point waitUntil, Clock::time_point readUntil, Probes& probes,
              const Pending& want) override {
        if (broken_) {
            EndAll(probes);
            return;
        }
        if (!WaitReadable(helper_.fd, waitUntil))
            return;
        icmp::ReadBounded(
            readUntil, ReadBatch, [&] { return ReadOneAnswer(probes); },
            [&] { return want.Done() || broken_; });
        if (broken_)
            EndAll(probes);
    }

private:
    bool ReadOneAnswer(Probes& probes) {
        std::uint8_t message[sizeof(icmp::helper::Answer) + icmp::helper::MaxAnswerData];
        const ssize_t got = ::recv(helper_.fd, message, sizeof message, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR)
            return true;
        if (got <= 0) {
            // Closed or failed: the helper is gone.
            broken_ = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
            return false;
        }
        icmp::helper::Answer a;
        if (std::size_t(got) < sizeof a)
            return true;
        std::memcpy(&a, message, sizeof a);
        auto it = probes.find(a.tag);
        if (it == probes.end() || it->second.Done())
            return true;  // an answer to a probe given up
        Pending& p = it->second;
        const std::size_t kept = std::size_t(got) - sizeof a;
        if (a.status == IP_SUCCESS) {
            p.data.assign(message + sizeof a, message + sizeof a + kept);
            p.size = std::max<std::size_t>(a.dataSize, kept);
            p.ttl = a.ttl;
            p.tos = a.tos;
        }
        p.End(a.status, a.from, p.sent + std::chrono::microseconds(a.rttMicros));
        if (a.status == IP_REQ_TIMED_OUT)
            p.rttMs = 0;
        return true;
    }

    void EndAll(Probes& probes) {
        for (auto& [ticket, p] : probes) {
            if (!p.Done()) {
                p.End(IP_GENERAL_FAILURE, p.destination, p.sent);
                p.why = ErrorText(EPIPE);
            }
        }
    }

    icmp::helper::Process helper_;
    bool broken_ = false;
};

struct EchoHandle {
    std::unique_ptr<Transport> transport;
    Probes probes;
};

bool IsPermissionError(int e) {
    return e == EPERM || e == EACCES;
}

class LinuxIcmpEcho final : public IcmpEcho, public IcmpEchoAhead {
public:
    HANDLE IcmpCreateFile() override {
        int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
        const int datagramError = errno;
        bool raw = false;
        if (fd < 0) {
            fd = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
            raw = true;
        }
        std::unique_ptr<Transport> transport;
        if (fd >= 0) {
            transport = std::make_unique<SocketTransport>(fd, raw);
        } else {
            const int rawError = errno;
            const int e = IsPermissionError(datagramError) ? rawError : datagramError;
            if (IsPermissionError(e)) {
                // Neither socket is open to this user: the helper sends for it.
                const std::string path = icmp::helper::HelperPath();
                icmp::helper::Process helper;
                int error = 0;
                if (icmp::helper::Start(path, helper, error)) {
                    transport = std::make_unique<HelperTransport>(helper);
                } else {
                    Fail(ERROR_ACCESS_DENIED, QString::fromUtf8(texts::NoIcmpPermission)
                                                  .arg(QString::fromLocal8Bit(path.c_str()),
                                                       QString::fromStdString(ErrorText(error)))
                                                  .toStdString());
                    return InvalidHandleValue();
                }
            } else if (e == EMFILE || e == ENFILE) {
                Fail(ERROR_TOO_MANY_OPEN_FILES, ErrorText(e));
                return InvalidHandleValue();
            } else if (e == ENOMEM || e == ENOBUFS) {
                Fail(ERROR_NOT_ENOUGH_MEMORY, ErrorText(e));
                return InvalidHandleValue();
            } else {
                Fail(IP_GENERAL_FAILURE, ErrorText(e));
                return InvalidHandleValue();
            }
        }
        auto* h = new EchoHandle{std::move(transport), {}};
        std::lock_guard lock(mutex_);
        live_.insert(h);
        return h;
    }

    DWORD IcmpSendEcho(HANDLE handle, IPAddr destination, LPVOID requestData, WORD requestSize,
                       IP_OPTION_INFORMATION* options, LPVOID replyBuffer, DWORD replySize,
                       DWORD timeout) override {
        auto* buffer = static_cast<std::uint8_t*>(replyBuffer);
        if (!buffer || replySize < HeaderSize)
            return Fail(IP_BUF_TOO_SMALL);
        if (replySize < HeaderSize + requestSize + ErrorRoom) {
            icmp::FillReplyBuffer(buffer, replySize, IP_BUF_TOO_SMALL, destination, 0, nullptr, 0);
            return Fail(IP_BUF_TOO_SMALL);
        }
        EchoHandle* h = Find(handle);
        if (!h) {
            icmp::FillReplyBuffer(buffer, replySize, IP_GENERAL_FAILURE, destination, 0, nullptr,
                                  0);
            return Fail(ERROR_INVALID_HANDLE, ErrorText(EBADF));
        }
        const DWORD ticket = Start(*h, destination, requestData, requestSize, options, timeout);
        return Collect(*h, ticket, buffer, replySize, timeout);
    }

    BOOL IcmpCloseHandle(HANDLE handle) override {
        EchoHandle* h = nullptr;
        {
            std::lock_guard lock(mutex_);
            auto it = live_.find(static_cast<EchoHandle*>(handle));
            if (it == live_.end()) {
                Fail(ERROR_INVALID_HANDLE, ErrorText(EBADF));
                return 0;
            }
            h = *it;
            live_.erase(it);
        }
        delete h;
        return 1;
    }

    IcmpEchoAhead* LookAhead() override { return this; }

    DWORD IcmpSendEchoAhead(HANDLE handle, IPAddr destination, LPVOID requestData, WORD requestSize,
                            IP_OPTION_INFORMATION* options, DWORD timeout) override {
        EchoHandle* h = Find(handle);
        if (!h)
            return Fail(ERROR_INVALID_HANDLE, ErrorText(EBADF));
        lastError = 0;
        return Start(*h, destination, requestData, requestSize, options, timeout);
    }

    DWORD IcmpCollectEcho(HANDLE handle, DWORD ticket, LPVOID replyBuffer, DWORD replySize,
                          DWORD waitMs) override {
        auto* buffer = static_cast<std::uint8_t*>(replyBuffer);
        const bool room = buffer && replySize >= HeaderSize;
        // A call that fails says so in the buffer: an earlier reply must not read as this one.
        const auto refuse = [&](DWORD code, std::string why) {
            if (room)
                icmp::FillReplyBuffer(buffer, replySize, IP_GENERAL_FAILURE, 0, 0, nullptr, 0);
            return Fail(code, std::move(why));
        };
        EchoHandle* h = Find(handle);
        if (!h)
            return refuse(ERROR_INVALID_HANDLE, ErrorText(EBADF));
        if (!h->probes.count(ticket))
            return refuse(ERROR_INVALID_PARAMETER, {});
        if (!room)
            return Fail(IP_BUF_TOO_SMALL);
        return Collect(*h, ticket, buffer, replySize, waitMs);
    }

    DWORD IcmpEchoStatus(HANDLE handle, DWORD ticket) override {
        EchoHandle* h = Find(handle);
        if (!h)
            return IP_GENERAL_FAILURE;
        auto it = h->probes.find(ticket);
        return it == h->probes.end() ? IP_GENERAL_FAILURE : it->second.status;
    }

    void IcmpForgetEcho(HANDLE handle, DWORD ticket) override {
        EchoHandle* h = Find(handle);
        if (!h)
            return;
        auto it = h->probes.find(ticket);
        if (it == h->probes.end())
            return;
        h->transport->Forget(it->second);
        h->probes.erase(it);
    }

    std::uint64_t GetTickCount64() override {
        return std::uint64_t(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
                .count());
    }

    DWORD GetLastError() const override { return lastError; }
    std::string LastErrorText() const override { return lastErrorText; }

private:
    // Handles are checked against those handed out, so a stale or made-up one fails cleanly.
    EchoHandle* Find(HANDLE handle) {
        std::lock_guard lock(mutex_);
        auto it = live_.find(static_cast<EchoHandle*>(handle));
        return it == live_.end() ? nullptr : *it;
    }

    DWORD Start(EchoHandle& h, IPAddr destination, LPVOID requestData, WORD requestSize,
                IP_OPTION_INFORMATION* options, DWORD timeout) {
        DWORD ticket;
        do
            ticket = nextTicket_.fetch_add(1);
        while (ticket == 0 || h.probes.count(ticket));
        Pending& p = h.probes[ticket];
        p.destination = destination;
        p.sent = Clock::now();
        p.deadline = p.sent + std::chrono::milliseconds(timeout);
        if (requestSize && !requestData)
            p.End(IP_BAD_REQ, destination, p.sent);
        else if (icmp::IsBadDestination(destination))
            // Broadcasts would bring answers from many hosts, or none.
            p.End(IP_BAD_DESTINATION, destination, p.sent);
        else
            h.transport->Send(ticket, p, static_cast<const std::uint8_t*>(requestData), requestSize,
                              options);
        return ticket;
    }

    DWORD Collect(EchoHandle& h, DWORD ticket, std::uint8_t* buffer, DWORD replySize,
                  DWORD waitMs) {
        Pending& p = h.probes.at(ticket);
        const Clock::time_point stop =
            std::min(Clock::now() + std::chrono::milliseconds(waitMs), p.deadline);
        while (!p.Done()) {
            const Clock::time_point now = Clock::now();
            if (now >= p.deadline) {
                h.transport->Pump(now, now + DrainTime, h.probes, p);
                if (!p.Done())
                    p.End(IP_REQ_TIMED_OUT, p.destination, p.sent);
                break;
            }
            h.transport->Pump(stop, p.deadline, h.probes, p);
            if (Clock::now() >= stop && Clock::now() < p.deadline)
                break;
        }
        if (!p.Done())
            return Fail(IP_PENDING);

        // Data that was not kept cannot be copied: such a reply is larger than any buffer here.
        const std::size_t size = p.size > p.data.size() ? SIZE_MAX : p.size;
        const DWORD status = icmp::FillReplyBuffer(buffer, replySize, p.status, p.from, p.rttMs,
                                                   p.data.data(), size, p.ttl, p.tos);
        const std::string why = p.why;
        h.transport->Forget(p);
        h.probes.erase(ticket);
        if (status != IP_SUCCESS)
            return Fail(status, why);
        lastError = 0;
        return 1;
    }

    std::mutex mutex_;
    std::set<EchoHandle*> live_;
    std::atomic<DWORD> nextTicket_{1};
};

}  // namespace

IcmpEcho& SystemIcmpEcho() {
    static LinuxIcmpEcho echo;
    return echo;
}

}  // namespace platform
