#include "platform/linux/discovery_hosts.h"

#include <QHostAddress>
#include <QString>
#include <map>
#include <mutex>

namespace platform::discovery {
namespace {

// Names seen across a whole session of browsing stay few; the bound only stops a flood of
// made-up names from growing it without end.
constexpr std::size_t MaxRemembered = 4096;

struct Addresses {
    std::mutex mutex;
    std::map<QString, std::string> byName;  // case-folded name -> address
};

Addresses& Learned() {
    static Addresses addresses;
    return addresses;
}

QString Key(const std::string& name) {
    return QString::fromUtf8(name).toCaseFolded();
}

}  // namespace

std::string SmbHostFor(const std::string& server) {
    Addresses& a = Learned();
    const std::lock_guard lock(a.mutex);
    const auto it = a.byName.find(Key(server));
    return it == a.byName.end() ? server : it->second;
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
    a.byName[key] = address.toString().toStdString();
}

}  // namespace platform::discovery
