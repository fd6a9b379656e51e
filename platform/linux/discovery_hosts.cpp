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

struct Announced {
    std::string address;
    std::optional<bool> nameResolves;  // not asked yet
};

struct Addresses {
    std::mutex mutex;
    std::map<QString, Announced> byName;  // case-folded name -> what was announced
};

Addresses& Learned() {
    static Addresses addresses;
    return addresses;
}

QString Key(const std::string& name) {
    return QString::fromUtf8(name).toCaseFolded();
}

// The hosts file and DNS, within the resolver's bound of about a second.
bool NameResolves(const std::string& name) {
    CaresResolver resolver;
    return !resolver.HostToAddress(QString::fromStdString(name)).isEmpty();
}

}  // namespace

std::string SmbHostFor(const std::string& server) {
    return SmbHostFor(server, NameResolves);
}

std::string SmbHostFor(const std::string& server,
                       const std::function<bool(const std::string&)>& resolves) {
    Addresses& a = Learned();
    const QString key = Key(server);
    std::string address;
    {
        const std::lock_guard lock(a.mutex);
        const auto it = a.byName.find(key);
        if (it == a.byName.end())
            return server;
        if (it->second.nameResolves)
            return *it->second.nameResolves ? server : it->second.address;
        address = it->second.address;
    }
    // Asked without the lock: a lookup may take its whole bound.
    const bool named = resolves(server);
    {
        const std::lock_guard lock(a.mutex);
        const auto it = a.byName.find(key);
        if (it != a.byName.end() && it->second.address == address)
            it->second.nameResolves = named;
    }
    return named ? server : address;
}

void RememberAddress(const std::string& server, const std::string& ipv4) {
    QHostAddress address;
    if (server.empty() || !address.setAddress(QString::fromStdString(ipv4)) ||
        address.protocol() != QAbstractSocket::IPv4Protocol)
        return;
    Addresses& a = Learned();
    const std::lock_guard lock(a.mutex);
    const QString key = Key(server);
    if (a.byName.size() >= MaxRemembered && !a.byName.count(key))
        return;
    a.byName[key] = {address.toString().toStdString(), std::nullopt};
}

}  // namespace platform::discovery
