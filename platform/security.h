// Security accounts (advapi32): who runs the program.
#pragma once

#include "platform/win32types.h"

namespace platform {

using LPDWORD = DWORD*;

inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;

class Security {
public:
    virtual ~Security() = default;

    // Copies the user name and its NUL into lpBuffer and sets *pcbBuffer to that length. When
    // the buffer is too small it writes nothing there, sets *pcbBuffer to the size needed and
    // fails with ERROR_INSUFFICIENT_BUFFER.
    virtual BOOL GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer) = 0;
    virtual DWORD GetLastError() const = 0;
};

Security& SystemSecurity();

}  // namespace platform
