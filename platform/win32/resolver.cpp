// Names through the system's resolver (getaddrinfo, getnameinfo), which may wait on a silent
// DNS server for many seconds: each lookup runs on a worker thread and the caller waits for
// it about a second at most. A worker that outlives its wait finishes on its own and its
// answer is dropped.
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win32/winapi.h"

namespace platform {
namespace {

constexpr auto Deadline = std::chrono::milliseconds(1000);
constexpr int MaxNameLength = 253;
// Workers still waiting on a silent server; past this many, lookups give up at once rather
// than pile up threads.
constexpr int MaxStuckWorkers = 64;
// Reverse lookups a scan may have started ahead and not yet asked for.
constexpr std::size_t MaxAhead = 32;

std::atomic<int> workers{0};

using Clock = std::chrono::steady_clock;

struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::string answer;
    Clock::time_point deadline;
};

// Starts `work` with Windows Sockets started on a worker of its own; null when too many
// workers still wait on a silent server.
std::shared_ptr<Lookup> Start(std::function<std::string()> work) {
    if (workers.load() >= MaxStuckWorkers)
        return nullptr;
    auto lookup = std::make_shared<Lookup>();
    lookup->deadline = Clock::now() + Deadline;
    ++workers;
    try {
        std::thread([lookup, work = std::move(work)] {
            ::WSADATA data{};
            const bool started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
            std::string answer = started ? work() : std::string();
            if (started)
                ::WSACleanup();
            {
                std::lock_guard lock(lookup->mutex);
                lookup->answer = std::move(answer);
                lookup->finished = true;
            }
            lookup->done.notify_all();
            --workers;
        }).detach();
    } catch (const std::system_error&) {
        --workers;
        return nullptr;
    }
    return lookup;
}

// The answer, or nothing once the lookup's deadline has passed.
std::string Wait(const std::shared_ptr<Lookup>& lookup) {
    if (!lookup)
        return {};
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, lookup->deadline, [&] { return lookup->finished; }))
        return {};
    return lookup->answer;
}

// Dotted IPv4 text of the first address of `host`.
std::string First_Address(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list)
        return {};
    std::string text;
    for (const addrinfo* a = list; a && text.empty(); a = a->ai_next) {
        if (a->ai_family != AF_INET || !a->ai_addr)
            continue;
        char dotted[INET_ADDRSTRLEN] = {};
        if (::getnameinfo(a->ai_addr, socklen_t(a->ai_addrlen), dotted, sizeof dotted, nullptr, 0,
                          NI_NUMERICHOST) == 0)
            text = dotted;
    }
    ::freeaddrinfo(list);
    return text;
}

std::string Host_Name(const sockaddr_in& address) {
    char name[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, name,
                      sizeof name, nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return name;
}

class WindowsNameResolver final : public NameResolver {
public:
    QString HostToAddress(const QString& host) override {
        // A lookup key, not a text: blanks around it cannot be part of any host name. Names
        // in other scripts go out in their ASCII (punycode) form.
        const QString trimmed = host.trimmed();
        bool ascii = true;
        for (const QChar c : trimmed)
            ascii = ascii && c.unicode() < 0x80;
        const QByteArray name = ascii ? trimmed.toLatin1() : QUrl::toAce(trimmed);
        if (name.isEmpty() || name.size() > MaxNameLength)
            return {};
        for (const char c : name)
            if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7F)
                return {};
        return QString::fromLatin1(
            Wait(Start([host = name.toStdString()] { return First_Address(host); })));
    }

    QString AddressToHost(const QString& address) override {
        const auto ahead = ahead_.find(address);
        if (ahead != ahead_.end()) {
            const std::shared_ptr<Lookup> lookup = ahead->second;
            ahead_.erase(ahead);
            return QString::fromLocal8Bit(Wait(lookup));
        }
        return QString::fromLocal8Bit(Wait(Start_Reverse(address)));
    }

    // The lookup runs meanwhile, on the clock it started on; one not asked for in time is
    // dropped with the oldest.
    void AddressToHostAhead(const QString& address) override {
        if (ahead_.count(address))
            return;
        if (ahead_.size() >= MaxAhead)
            ahead_.erase(std::min_element(ahead_.begin(), ahead_.end(), [](auto& a, auto& b) {
                return a.second->deadline < b.second->deadline;
            }));
        if (std::shared_ptr<Lookup> lookup = Start_Reverse(address))
            ahead_.emplace(address, std::move(lookup));
    }

private:
    static std::shared_ptr<Lookup> Start_Reverse(const QString& address) {
        sockaddr_in in{};
        in.sin_family = AF_INET;
        const QByteArray dotted = address.trimmed().toLatin1();
        if (::inet_pton(AF_INET, dotted.constData(), &in.sin_addr) != 1)
            return nullptr;
        return Start([in] { return Host_Name(in); });
    }

    std::map<QString, std::shared_ptr<Lookup>> ahead_;
};

}  // namespace

NameResolver& SystemNameResolver() {
    static WindowsNameResolver resolver;
    return resolver;
}

}  // namespace platform
