// Where Wine's answer is not Windows' own, a test checks the one of the system it runs on.
#pragma once

#include "platform/win32/winapi.h"

namespace support {

inline bool Under_Wine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace support
