// The socket control's local host: this computer's DNS host name and its first IPv4 address on
// a network adapter that is up.

#include <vector>

#include "platform/win32/winapi.h"

#include <iphlpapi.h>

namespace platform {
namespace {

class WindowsWinsockControl final : public WinsockControl {
public:
    QString LocalHostName() override {
        char name[256] = {};
        ::DWORD size = sizeof name;
        if (!::GetComputerNameExA(ComputerNameDnsHostname, name, &size))
            return {};
        return QString::fromLocal8Bit(name, qsizetype(size));
    }

    QString LocalIP() override {
        const QString found = First_Adapter_Address();
        return found.isEmpty() ? QStringLiteral("127.0.0.1") : found;
    }

    std::int32_t LocalPort() override { return 0; }
    int State() override { return sckClosed; }
    QString Name() override { return QStringLiteral("Winsock"); }

private:
    static QString First_Adapter_Address() {
        const ULONG flags =
            GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
        ULONG size = 16 * 1024;
        std::vector<std::uint8_t> buffer;
        ULONG result = ERROR_BUFFER_OVERFLOW;
        for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
            buffer.assign(size, 0);
            result = ::GetAdaptersAddresses(AF_INET, flags, nullptr,
                                            reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                                            &size);
        }
        if (result != NO_ERROR)
            return {};
        for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a;
             a = a->Next) {
            if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
                continue;
            for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
                const auto* in = reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr);
                if (!in || in->sin_family != AF_INET)
                    continue;
                const auto* b = reinterpret_cast<const std::uint8_t*>(&in->sin_addr);
                if (b[0] == 127)
                    continue;
                return QStringLiteral("%1.%2.%3.%4")
                    .arg(QString::number(b[0]), QString::number(b[1]), QString::number(b[2]),
                         QString::number(b[3]));
            }
        }
        return {};
    }
};

}  // namespace

WinsockControl& SystemWinsockControl() {
    static WindowsWinsockControl control;
    return control;
}

}  // namespace platform
