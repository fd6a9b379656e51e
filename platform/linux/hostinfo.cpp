#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <climits>

#include "platform/hostinfo.h"

namespace platform {
namespace {

// A control that is never bound, connected or opened: port 0, closed.
class LinuxWinsockControl final : public WinsockControl {
public:
    QString LocalHostName() override {
        char name[HOST_NAME_MAX + 2] = {};
        if (::gethostname(name, sizeof name - 1) != 0)
            return {};
        return QString::fromLocal8Bit(name);
    }

    QString LocalIP() override {
        ifaddrs* list = nullptr;
        QString found;
        if (::getifaddrs(&list) == 0) {
            for (const ifaddrs* i = list; i && found.isEmpty(); i = i->ifa_next) {
                if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
                    continue;
                if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK))
                    continue;
                const in_addr a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr;
                if ((ntohl(a.s_addr) >> 24) == 127)
                    continue;
                char text[INET_ADDRSTRLEN] = {};
                if (::inet_ntop(AF_INET, &a, text, sizeof text))
                    found = QString::fromLatin1(text);
            }
            ::freeifaddrs(list);
        }
        return found.isEmpty() ? QStringLiteral("127.0.0.1") : found;
    }

    std::int32_t LocalPort() override { return 0; }
    int State() override { return sckClosed; }
    QString Name() override { return QStringLiteral("Winsock"); }
};

}  // namespace

WinsockControl& SystemWinsockControl() {
    static LinuxWinsockControl control;
    return control;
}

}  // namespace platform
