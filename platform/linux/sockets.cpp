// Linux needs no sockets start-up; the calls keep the Windows bookkeeping so that an unmatched
// clean-up is still reported as one.
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/sockets.h"

namespace platform {
namespace {

constexpr std::uint16_t HighestVersion = 0x0202;  // 2.2

class LinuxWinSock final : public WinSock {
public:
    int WSAStartup(std::uint16_t requested, WSADATA* data) override {
        if (!data)
            return WSAEFAULT;
        const int major = requested & 0xFF;
        if (major < 1)
            return WSAVERNOTSUPPORTED;
        *data = WSADATA{};
        const bool higher = major > 2 || (major == 2 && (requested >> 8) > 2);
        data->wVersion = higher ? HighestVersion : requested;
        data->wHighVersion = HighestVersion;
        std::strcpy(data->szDescription, "Linux sockets");
        std::strcpy(data->szSystemStatus, "Running");
        data->iMaxSockets = MaxSockets();
        data->iMaxUdpDg = 65467;
        std::lock_guard lock(mutex_);
        ++started_;
        return 0;
    }

    int WSACleanup() override {
        std::lock_guard lock(mutex_);
        if (started_ == 0)
            return SOCKET_ERROR;
        --started_;
        return 0;
    }

private:
    // What this process may open, as a 16-bit count.
    static std::uint16_t MaxSockets() {
        rlimit r{};
        if (::getrlimit(RLIMIT_NOFILE, &r) != 0 || r.rlim_cur == RLIM_INFINITY)
            return 32767;
        return std::uint16_t(std::min<rlim_t>(r.rlim_cur, 32767));
    }

    std::mutex mutex_;
    int started_ = 0;
};

}  // namespace

WinSock& SystemWinSock() {
    static LinuxWinSock sockets;
    return sockets;
}

}  // namespace platform
