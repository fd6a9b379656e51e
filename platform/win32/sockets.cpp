// Windows Sockets start-up through wsock32, the 1.1 library, with the record copied into the
// 32-bit layout the tester reads.
#include <cstring>

#include "platform/win32/winapi.h"

namespace platform {
namespace {

class WindowsWinSock final : public WinSock {
public:
    int WSAStartup(std::uint16_t requested, platform::WSADATA* data) override {
        ::WSADATA native{};
        const int result = ::WSAStartup(requested, data ? &native : nullptr);
        if (data) {
            *data = platform::WSADATA{};
            data->wVersion = native.wVersion;
            data->wHighVersion = native.wHighVersion;
            std::memcpy(data->szDescription, native.szDescription, sizeof data->szDescription);
            std::memcpy(data->szSystemStatus, native.szSystemStatus, sizeof data->szSystemStatus);
            data->iMaxSockets = native.iMaxSockets;
            data->iMaxUdpDg = native.iMaxUdpDg;
        }
        return result;
    }

    int WSACleanup() override { return ::WSACleanup(); }
};

}  // namespace

WinSock& SystemWinSock() {
    static WindowsWinSock sockets;
    return sockets;
}

}  // namespace platform
