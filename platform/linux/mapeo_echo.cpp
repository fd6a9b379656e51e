// mapeo-echo: sends ICMP echo requests for Mapeo through a raw socket, so that Mapeo itself
// needs no privilege. This is the only file that carries cap_net_raw: it opens its socket,
// drops every capability before it reads a single request, and takes nothing from its
// arguments or environment. Everything it does is asked on fd 3 (icmp_helper.h); every
// request is checked, and only what answers its own probes is ever passed back.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/capability.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/linux/icmp_helper.h"
#include "platform/linux/icmp_packets.h"

namespace {

using namespace platform;
using namespace platform::icmp;
using Clock = std::chrono::steady_clock;

constexpr std::size_t MaxOutbox = 4096;
// Packets read in one go: a stream of other hosts' ICMP must not keep probes from their
// deadline, nor requests from being read.
constexpr int ReadBatch = 256;

// No capability in any set, and none to be had again through exec.
int DropCapabilities() {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return errno;
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    cap_t none = ::cap_init();
    if (!none)
        return errno;
    int error = ::cap_set_proc(none) == 0 ? 0 : errno;
    cap_t now = ::cap_get_proc();
    if (!error && (!now || ::cap_compare(now, none) != 0))
        error = EPERM;
    ::cap_free(now);
    ::cap_free(none);
    return error;
}

struct Probe {
    std::uint32_t tag = 0;
    IPAddr destination = 0;
    Clock::time_point sent, deadline;
};

class Server {
public:
    Server(int channel, int raw, std::uint16_t id) : channel_(channel), raw_(raw), id_(id) {}

    int Run() {
        while (!closed_) {
            Expire(Clock::now());
            const Clock::time_point next = Earliest();
            timespec wait{};
            const timespec* waitPtr = nullptr;
            if (next != Clock::time_point::max()) {
                const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                    std::max(next - Clock::now(), Clock::duration::zero()));
                wait = {time_t(left.count() / 1000000000), long(left.count() % 1000000000)};
                waitPtr = &wait;
            }
            short channelEvents = outbox_.size() < MaxOutbox ? POLLIN : 0;
            if (!outbox_.empty())
                channelEvents |= POLLOUT;
            pollfd fds[2] = {{channel_, channelEvents, 0}, {raw_, POLLIN, 0}};
            if (::ppoll(fds, 2, waitPtr, nullptr) < 0) {
                if (errno == EINTR)
                    continue;
                return 1;
            }
            if (fds[1].revents & POLLIN)
                ReadPackets();
            if (fds[1].revents & POLLERR)
                ReadErrors();
            if (fds[0].revents & POLLOUT)
                Flush();
            if (fds[0].revents & POLLIN)
                ReadRequests();
            else if (fds[0].revents & (POLLHUP | POLLERR))
                closed_ = true;
        }
        return 0;
    }

private:
    Clock::time_point Earliest() const {
        Clock::time_point t = Clock::time_point::max();
        for (const auto& [sequence, p] : inFlight_)
            t = std::min(t, p.deadline);
        return t;
    }

    void ReadRequests() {
        for (int n = 0; n < 64 && !closed_ && outbox_.size() < MaxOutbox; ++n) {
            std::uint8_t message[helper::LargestRequest];
            iovec iov{message, sizeof message};
            msghdr msg{};
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;  // no room for control data: passed descriptors are dropped
            const ssize_t got = ::recvmsg(channel_, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
            if (got == 0) {
                closed_ = true;  // Mapeo closed the pair
                return;
            }
            if (got < 0) {
                if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                    closed_ = true;
                return;
            }
            Handle(message, std::size_t(got), (msg.msg_flags & MSG_TRUNC) != 0);
        }
    }

    void Handle(const std::uint8_t* message, std::size_t length, bool truncated) {
        const helper::Checked c = helper::CheckRequest(message, length, truncated);
        const helper::Request& r = c.request;
        DWORD status = c.status;
        if (status == IP_SUCCESS && inFlight_.size() >= helper::MaxInFlight)
            status = IP_NO_RESOURCES;
        if (status == IP_SUCCESS && tags_.count(r.tag))
            status = IP_BAD_REQ;
        if (status == IP_SUCCESS && !TakeToken())
            status = IP_NO_RESOURCES;
        if (status != IP_SUCCESS)
            return Reply(r.tag, status, status == IP_BAD_DESTINATION ? r.destination : 0);

        std::uint16_t sequence;
        do
            sequence = htons(nextSequence_++);
        while (inFlight_.count(sequence));
        Probe p{r.tag, r.destination, {}, {}};
        std::uint8_t packet[EchoHeaderSize + helper::MaxPayload];
        const std::size_t size = BuildEchoRequest({r.destination, id_, sequence, true}, c.payload,
                                                  r.payloadSize, packet, sizeof packet);
        SetOption(IP_TTL, r.ttl ? int(r.ttl) : -1, ttl_);
        SetOption(IP_TOS, int(r.tos), tos_);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = r.destination;
        p.sent = Clock::now();
        p.deadline = p.sent + std::chrono::milliseconds(r.timeoutMs);
        ssize_t sent;
        do
            sent =
                ::sendto(raw_, packet, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        while (sent < 0 && errno == EINTR);
        if (sent < 0)
            return Reply(r.tag, StatusForLocalError(errno), r.destination);
        inFlight_.emplace(sequence, p);
        tags_.insert(r.tag);
    }

    bool TakeToken() {
        const Clock::time_point now = Clock::now();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - refilled_);
        if (ms.count() > 0) {
            tokens_ = int(std::min<std::int64_t>(helper::RateBurst, tokens_ + ms.count()));
            refilled_ += ms;
        }
        if (tokens_ == 0)
            return false;
        --tokens_;
        return true;
    }

    void SetOption(int name, int value, int& current) {
        if (value != current && ::setsockopt(raw_, SOL_IP, name, &value, sizeof value) == 0)
            current = value;
    }

    // The probe a packet refers to, if it is one of ours.
    Probe* Find(std::uint16_t id, std::uint16_t sequence, std::uint16_t& key) {
        if (id != id_)
            return nullptr;
        auto it = inFlight_.find(sequence);
        key = sequence;
        return it == inFlight_.end() ? nullptr : &it->second;
    }

    void ReadPackets() {
        ReadBounded(
            Earliest(), ReadBatch, [&] { return ReadOnePacket(); }, [] { return false; });
    }

    // False when nothing waits.
    bool ReadOnePacket() {
        std::uint8_t data[4096];
        Received r;
        if (const int got = Receive(raw_, false, data, sizeof data, r); got <= 0)
            return got == 0;
        std::uint16_t id, sequence, key;
        if (!EchoKey(true, data, r.length, id, sequence))
            return true;
        Probe* p = Find(id, sequence, key);
        if (!p)
            return true;
        const Outcome o = ReadPacket({p->destination, id_, sequence, true}, data, r.length, r.from);
        if (o.verdict == Verdict::Ignore)
            return true;
        std::size_t size = o.size;
        if (r.truncated)
            size = 0x10000;  // larger than any reply buffer
        End(key, o.verdict == Verdict::Reply ? IP_SUCCESS : o.status, o.from, o.data, size, o.ttl,
            o.tos);
        return true;
    }

    void ReadErrors() {
        ReadBounded(
            Earliest(), ReadBatch, [&] { return ReadOneError(); }, [] { return false; });
    }

    bool ReadOneError() {
        std::uint8_t data[1024];
        Received r;
        if (const int got = Receive(raw_, true, data, sizeof data, r); got <= 0)
            return got == 0;
        std::uint16_t id, sequence, key;
        if (!r.queued || !QueuedEchoKey(r.error, id, sequence))
            return true;
        Probe* p = Find(id, sequence, key);
        if (!p)
            return true;
        const Outcome o = ReadQueuedError({p->destination, id_, sequence, true}, r.error);
        if (o.verdict == Verdict::Error)
            End(key, o.status, o.from, nullptr, 0, -1, -1);
        return true;
    }

    void End(std::uint16_t key, DWORD status, IPAddr from, const std::uint8_t* data,
             std::size_t size, int ttl, int tos) {
        auto it = inFlight_.find(key);
        const Probe p = it->second;
        inFlight_.erase(it);
        tags_.erase(p.tag);
        const auto rtt =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - p.sent).count();
        helper::Answer a;
        a.tag = p.tag;
        a.status = status;
        a.from = from;
        a.rttMicros = std::uint32_t(rtt);
        a.dataSize = std::uint32_t(size);
        a.ttl = std::uint8_t(ttl >= 0 ? ttl : 0);
        a.tos = std::uint8_t(tos >= 0 ? tos : 0);
        Send(a, data, data ? std::min(size, helper::MaxAnswerData) : 0);
    }

    void Expire(Clock::time_point now) {
        for (auto it = inFlight_.begin(); it != inFlight_.end();) {
            if (it->second.deadline > now) {
                ++it;
                continue;
            }
            const Probe p = it->second;
            it = inFlight_.erase(it);
            tags_.erase(p.tag);
            Reply(p.tag, IP_REQ_TIMED_OUT, p.destination);
        }
    }

    void Reply(std::uint32_t tag, DWORD status, IPAddr from) {
        helper::Answer a;
        a.tag = tag;
        a.status = status;
        a.from = from;
        Send(a, nullptr, 0);
    }

    void Send(const helper::Answer& a, const std::uint8_t* data, std::size_t size) {
        std::vector<std::uint8_t> message(sizeof a + size);
        std::memcpy(message.data(), &a, sizeof a);
        if (size)
            std::memcpy(message.data() + sizeof a, data, size);
        outbox_.push_back(std::move(message));
        Flush();
    }

    // Answers go out without blocking: Mapeo may be busy, and requests must still be read.
    void Flush() {
        while (!outbox_.empty() && !closed_) {
            const std::vector<std::uint8_t>& m = outbox_.front();
            if (::send(channel_, m.data(), m.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    closed_ = true;
                return;
            }
            outbox_.pop_front();
        }
    }

    int channel_;
    int raw_;
    std::uint16_t id_;
    std::uint16_t nextSequence_ = 1;
    int ttl_ = -1;
    int tos_ = 0;
    int tokens_ = helper::RateBurst;
    Clock::time_point refilled_ = Clock::now();
    std::unordered_map<std::uint16_t, Probe> inFlight_;  // by sequence, as on the wire
    std::unordered_set<std::uint32_t> tags_;
    std::deque<std::vector<std::uint8_t>> outbox_;
    bool closed_ = false;
};

bool IsChannel(int fd) {
    int type = 0, domain = 0;
    socklen_t size = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0)
        return false;
    size = sizeof domain;
    return ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && type == SOCK_SEQPACKET &&
           domain == AF_UNIX;
}

}  // namespace

int main() {
    // Nothing inherited but the channel; no folder kept busy (Mapeo may run from a share).
    ::close_range(helper::ChannelFd + 1, ~0U, 0);
    if (!IsChannel(helper::ChannelFd))
        return 2;
    ::fcntl(helper::ChannelFd, F_SETFD, FD_CLOEXEC);
    if (::chdir("/") != 0)
        return 2;

    const int raw = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    helper::Hello hello;
    hello.error = raw < 0 ? errno : 0;
    const int dropped = DropCapabilities();
    if (dropped)
        hello.error = dropped;
    if (::send(helper::ChannelFd, &hello, sizeof hello, MSG_NOSIGNAL) != sizeof hello ||
        hello.error)
        return 1;

    const int on = 1;
    ::setsockopt(raw, SOL_IP, IP_RECVERR, &on, sizeof on);
    SetIcmpFilter(raw);
    std::uint16_t id = 0;
    if (::getrandom(&id, sizeof id, 0) != sizeof id)
        id = std::uint16_t(::getpid());
    return Server(helper::ChannelFd, raw, id).Run();
}
