// Network connections of local devices (drive letters, printer ports) to shares.
#pragma once

#include "platform/win32types.h"

namespace platform {

class NetConnections {
public:
    virtual ~NetConnections() = default;

    // Returns NO_ERROR or a system error code (see the README for the codes in use).
    virtual DWORD WNetAddConnection2A(const NETRESOURCEA* lpNetResource, LPCSTR lpPassword,
                                      LPCSTR lpUserName, DWORD dwFlags) = 0;
    virtual DWORD WNetCancelConnection2A(LPCSTR lpName, DWORD dwFlags, BOOL fForce) = 0;
};

NetConnections& SystemNetConnections();

}  // namespace platform
