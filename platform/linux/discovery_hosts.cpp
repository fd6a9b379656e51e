#include "platform/linux/discovery_hosts.h"

#include <QHostAddress>
#include <QString>
#include <map>
#include <mutex>
#include <optional>

#include "platform/linux/resolver_cares.h"

namespace platform::discovery {
namespace {

// Names seen across a whole session of browsing stay few; the bound only stops a flood of
// made-up names from growing it without end.
constexpr std::size_t MaxRemembered = 4096;

struct Known {
    std::string ipv4;
    bool browsed = false;  // listed by SMB1 browsing: never redirected
    std::optional<bool> nameResolves;
};

struct Hosts {
    std::mutex mutex;
    std::map<QString, Known> byName;  // case-folded name -> what is known of it
};

Hosts& Learned() {
    static Hosts hosts;
    return hosts;
}

QString Key(const std::string& name) {
    return QString::fromUtf8(name).toCaseFolded();
}

Resolution ResolveName(const std::string& name) {
    CaresResolver resolver;
    resolver.HostToAddress(QString::fromStdString(name));
    switch (resolver.LastOutcome()) {
        case CaresResolver::Outcome::Found:
            return Resolution::Resolves;
        case CaresResolver::Outcome::NoAnswer:
        case CaresResolver::Outcome::Deadline:
            return Resolution::NoAnswer;
        default:
            return Resolution::DoesNotResolve;  // no such name, no name server, not a name
    }
}

}  // namespace

const Lookups& SystemLookups() {
    static const Lookups lookups{ResolveName};
    return lookups;
}

std::string SmbHostFor(const std::string& server, const Lookups& lookups) {
    Hosts& h = Learned();
    const QString key = Key(server);
    Known k;
    {
        const std::lock_guard lock(h.mutex);
        const auto it = h.byName.find(key);
        if (it == h.byName.end() || it->second.browsed || it->second.ipv4.empty())
            return server;
        k = it->second;
    }
    // Asked without the lock: a lookup may take its whole bound.
    if (!k.nameResolves) {
        const Resolution r = lookups.name(server);
        if (r == Resolution::NoAnswer)
            return server;
        k.nameResolves = r == Resolution::Resolves;
        const std::lock_guard lock(h.mutex);
        const auto it = h.byName.find(key);
        // Kept only while it answers for the same announcement.
        if (it != h.byName.end() && it->second.ipv4 == k.ipv4 && !it->second.browsed)
            it->second.nameResolves = k.nameResolves;
    }
    return *k.nameResolves ? server : k.ipv4;
}

void RememberAddress(const std::string& server, const std::string& ipv4) {
    QHostAddress address;
    if (server.empty() || !address.setAddress(QString::fromStdString(ipv4)) ||
        address.protocol() != QAbstractSocket::IPv4Protocol)
        return;
    Hosts& h = Learned();
    const std::lock_guard lock(h.mutex);
    const QString key = Key(server);
    if (h.byName.size() >= MaxRemembered && !h.byName.count(key))
        return;
    Known& k = h.byName[key];
    k = {address.toString().toStdString(), k.browsed, std::nullopt};
}

void ShownByBrowsing(const std::string& server) {
    if (server.empty())
        return;
    Hosts& h = Learned();
    const std::lock_guard lock(h.mutex);
    const QString key = Key(server);
    if (h.byName.size() >= MaxRemembered && !h.byName.count(key))
        return;
    h.byName[key].browsed = true;
}

}  // namespace platform::discovery
