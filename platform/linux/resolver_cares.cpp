#include "platform/linux/resolver_cares.h"

#include <ares.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>

#include <QUrl>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

namespace {

// The key of an address text: blanks around it are no part of any address.
QByteArray AddressKey(const QString& address) {
    return address.trimmed().toLatin1();
}

QString Reverse(const CaresResolver::Limits& limits, const QByteArray& text, Outcome& outcome) {
    in_addr a{};
    if (text.isEmpty() || text.size() > 15 || ::inet_pton(AF_INET, text.constData(), &a) != 1) {
        outcome = Outcome::Invalid;
        return {};
    }
    Pending pending;
    outcome = Run(limits, pending, [&](ares_channel ch) {
        ::ares_gethostbyaddr(ch, &a, sizeof a, AF_INET, OnHost, &pending);
    });
    return outcome == Outcome::Found ? QString::fromLocal8Bit(pending.text) : QString();
}

constexpr std::size_t MaxWorkers = 16;
constexpr std::size_t MaxAhead = 64;
// An answer nobody came for is forgotten after this long.
constexpr auto KeepAnswer = std::chrono::seconds(5);

}  // namespace

// Lookups started ahead, each on a channel of its own, by a few threads of this resolver.
struct CaresResolver::Background {
    struct Slot {
        bool started = false;
        bool done = false;
        QString name;
        Outcome outcome = Outcome::Failed;
        Clock::time_point asked;
    };

    explicit Background(Limits l) : limits(l) {}
    ~Background() {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        wake.notify_all();
        for (std::thread& t : workers)
            t.join();
    }

    void Work() {
        std::unique_lock lock(mutex);
        for (;;) {
            ++idle;
            wake.wait(lock, [&] { return stop || !queue.empty(); });
            --idle;
            if (stop)
                return;
            const QByteArray key = queue.front();
            queue.pop_front();
            answers[key].started = true;
            lock.unlock();
            Outcome outcome;
            const QString name = Reverse(limits, key, outcome);
            lock.lock();
            Slot& slot = answers[key];
            slot.name = name;
            slot.outcome = outcome;
            slot.done = true;
            done.notify_all();
        }
    }

    const Limits limits;
    std::mutex mutex;
    std::condition_variable wake, done;
    std::deque<QByteArray> queue;
    std::map<QByteArray, Slot> answers;
    std::vector<std::thread> workers;
    std::size_t idle = 0;
    bool stop = false;
};

CaresResolver::CaresResolver() = default;
CaresResolver::CaresResolver(Limits limits) : limits_(limits) {}
CaresResolver::~CaresResolver() = default;

void CaresResolver::AddressToHostAhead(const QString& address) {
    const QByteArray key = AddressKey(address);
    in_addr a{};
    if (key.isEmpty() || key.size() > 15 || ::inet_pton(AF_INET, key.constData(), &a) != 1)
        return;
    if (!background_)
        background_ = std::make_unique<Background>(limits_);
    Background& b = *background_;
    std::lock_guard lock(b.mutex);
    const Clock::time_point now = Clock::now();
    for (auto it = b.answers.begin(); it != b.answers.end();)
        it = it->second.done && now - it->second.asked > KeepAnswer ? b.answers.erase(it) : ++it;
    if (b.answers.count(key) || b.answers.size() >= MaxAhead)
        return;
    b.answers[key].asked = now;
    b.queue.push_back(key);
    if (b.idle == 0 && b.workers.size() < MaxWorkers)
        b.workers.emplace_back([&b] { b.Work(); });
    b.wake.notify_one();
}

QString CaresResolver::AddressToHost(const QString& address) {
    const QByteArray key = AddressKey(address);
    if (background_) {
        Background& b = *background_;
        std::unique_lock lock(b.mutex);
        auto it = b.answers.find(key);
        if (it != b.answers.end() && it->second.started) {
            b.done.wait(lock, [&] { return b.answers[key].done; });
            const Background::Slot slot = b.answers[key];
            b.answers.erase(key);
            last_ = slot.outcome;
            return slot.name;
        }
        if (it != b.answers.end()) {
            // Not started yet: it is asked here and now instead.
            b.answers.erase(it);
            for (auto q = b.queue.begin(); q != b.queue.end(); ++q) {
                if (*q == key) {
                    b.queue.erase(q);
                    break;
                }
            }
        }
    }
    return Reverse(limits_, key, last_);
}

NameResolver& SystemNameResolver() {
    static CaresResolver resolver;
    return resolver;
}

}  // namespace platform
