// Windows Sockets start-up and clean-up (wsock32).
#pragma once

#include <cstdint>

#include "platform/win32types.h"

namespace platform {

inline constexpr int WSADESCRIPTION_LEN = 256;
inline constexpr int WSASYS_STATUS_LEN = 128;

inline constexpr int SOCKET_ERROR = -1;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;

// The start-up record in its 32-bit layout, 400 bytes.
struct WSADATA {
    std::uint16_t wVersion = 0;  // low byte major, high byte minor
    std::uint16_t wHighVersion = 0;
    char szDescription[WSADESCRIPTION_LEN + 1] = {};
    char szSystemStatus[WSASYS_STATUS_LEN + 1] = {};
    std::uint16_t iMaxSockets = 0;
    std::uint16_t iMaxUdpDg = 0;
    std::uint32_t lpVendorInfo = 0;  // a 32-bit pointer, never followed
};
static_assert(sizeof(WSADATA) == 400);

class WinSock {
public:
    virtual ~WinSock() = default;

    // 0 on success, otherwise a WSA error code.
    virtual int WSAStartup(std::uint16_t wVersionRequested, WSADATA* lpWSAData) = 0;
    // 0 on success, SOCKET_ERROR when there was no start-up to undo.
    virtual int WSACleanup() = 0;
};

WinSock& SystemWinSock();

}  // namespace platform
