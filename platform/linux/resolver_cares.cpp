#include "platform/linux/resolver_cares.h"

#include <ares.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>

#include <QUrl>
#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
using Outcome = CaresResolver::Outcome;

constexpr int MaxNameLength = 253;

struct Pending {
    bool done = false;
    int status = ARES_ENOTFOUND;
    int timeouts = 0;
    std::string text;
    bool wantAddress = false;
};

void OnHost(void* arg, int status, int timeouts, hostent* host) {
    auto* p = static_cast<Pending*>(arg);
    p->done = true;
    p->status = status;
    p->timeouts = timeouts;
    if (status != ARES_SUCCESS || !host)
        return;
    if (p->wantAddress) {
        if (host->h_addrtype != AF_INET || !host->h_addr_list || !host->h_addr_list[0])
            return;
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, host->h_addr_list[0], text, sizeof text))
            p->text = text;
    } else if (host->h_name) {
        p->text = host->h_name;
    }
}

Outcome OutcomeOf(const Pending& p) {
    switch (p.status) {
        case ARES_SUCCESS:
            return p.text.empty() ? Outcome::NotFound : Outcome::Found;
        // Reverse lookups report silent servers as "not found"; only the count of
        // time-outs tells the two apart.
        case ARES_ENOTFOUND:
        case ARES_ENODATA:
        case ARES_ENONAME:
            return p.timeouts > 0 ? Outcome::NoAnswer : Outcome::NotFound;
        case ARES_ETIMEOUT:
            return Outcome::NoAnswer;
        case ARES_ECANCELLED:
            return Outcome::Deadline;
        default:
            return Outcome::Failed;
    }
}

// Runs one query on a channel of its own, so every lookup reads the current resolv.conf
// and hosts file.
Outcome Run(const CaresResolver::Limits& limits, Pending& pending,
            const std::function<void(ares_channel)>& start) {
    static std::once_flag once;
    static int initResult = ARES_SUCCESS;
    std::call_once(once, [] { initResult = ::ares_library_init(ARES_LIB_INIT_ALL); });
    if (initResult != ARES_SUCCESS)
        return Outcome::Failed;

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limits.deadlineMs);
    ares_options options{};
    options.timeout = limits.tryTimeoutMs;
    options.tries = limits.tries;
    char lookups[] = "fb";  // hosts file, then DNS
    options.lookups = lookups;
    ares_channel channel = nullptr;
    if (::ares_init_options(&channel, &options,
                            ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_LOOKUPS) != ARES_SUCCESS)
        return Outcome::Failed;

    start(channel);
    while (!pending.done) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            ::ares_cancel(channel);  // calls back with ARES_ECANCELLED
            break;
        }
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int bits = ::ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
        pollfd fds[ARES_GETSOCK_MAXNUM];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            short events = 0;
            if (ARES_GETSOCK_READABLE(bits, i))
                events |= POLLIN;
            if (ARES_GETSOCK_WRITABLE(bits, i))
                events |= POLLOUT;
            if (events)
                fds[count++] = pollfd{sockets[i], events, 0};
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
        timeval most{time_t(left.count() / 1000000), suseconds_t(left.count() % 1000000)};
        timeval next{};
        const timeval* wait = ::ares_timeout(channel, &most, &next);
        const timespec ts{wait->tv_sec, long(wait->tv_usec) * 1000};
        const int ready = ::ppoll(fds, count, &ts, nullptr);
        if (ready < 0 && errno != EINTR) {
            ::ares_cancel(channel);
            break;
        }
        if (ready <= 0) {
            ::ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);  // time-outs
            continue;
        }
        for (nfds_t i = 0; i < count; ++i) {
            const short r = fds[i].revents;
            if (!r)
                continue;
            ::ares_process_fd(channel,
                              r & (POLLIN | POLLERR | POLLHUP) ? fds[i].fd : ARES_SOCKET_BAD,
                              r & POLLOUT ? fds[i].fd : ARES_SOCKET_BAD);
        }
    }
    ::ares_destroy(channel);
    return pending.done ? OutcomeOf(pending) : Outcome::Failed;
}

}  // namespace

QString CaresResolver::HostToAddress(const QString& host) {
    // A lookup key, not a text: blanks around it cannot be part of any host name.
    const QString trimmed = host.trimmed();
    // Names in other scripts go out in their ASCII (punycode) form, as any resolver sends them;
    // plain ASCII names go as they are, underscores and all.
    bool ascii = true;
    for (const QChar c : trimmed)
        ascii = ascii && c.unicode() < 0x80;
    const QByteArray name8 = ascii ? trimmed.toLatin1() : QUrl::toAce(trimmed);
    bool plain = !name8.isEmpty() && name8.size() <= MaxNameLength;
    for (const char c : name8)
        if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7F)
            plain = false;
    if (!plain) {
        last_ = Outcome::Invalid;
        return {};
    }
    Pending pending;
    pending.wantAddress = true;
    const std::string name = name8.toStdString();
    last_ = Run(limits_, pending, [&](ares_channel ch) {
        ::ares_gethostbyname(ch, name.c_str(), AF_INET, OnHost, &pending);
    });
    return last_ == Outcome::Found ? QString::fromLatin1(pending.text) : QString();
}

QString CaresResolver::AddressToHost(const QString& address) {
    const QByteArray text = address.trimmed().toLatin1();
    in_addr a{};
    if (text.isEmpty() || text.size() > 15 || ::inet_pton(AF_INET, text.constData(), &a) != 1) {
        last_ = Outcome::Invalid;
        return {};
    }
    Pending pending;
    last_ = Run(limits_, pending, [&](ares_channel ch) {
        ::ares_gethostbyaddr(ch, &a, sizeof a, AF_INET, OnHost, &pending);
    });
    return last_ == Outcome::Found ? QString::fromLocal8Bit(pending.text) : QString();
}

NameResolver& SystemNameResolver() {
    static CaresResolver resolver;
    return resolver;
}

}  // namespace platform
