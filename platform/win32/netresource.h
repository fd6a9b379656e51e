// Mapeo's NETRESOURCEA as the system's own, for the WNet calls that take one.
#pragma once

#include "platform/win32/winapi.h"

#include <winnetwk.h>

namespace platform {

inline ::NETRESOURCEA NativeResource(const platform::NETRESOURCEA& r) {
    ::NETRESOURCEA native{};
    native.dwScope = r.dwScope;
    native.dwType = r.dwType;
    native.dwDisplayType = r.dwDisplayType;
    native.dwUsage = r.dwUsage;
    native.lpLocalName = r.lpLocalName;
    native.lpRemoteName = r.lpRemoteName;
    native.lpComment = r.lpComment;
    native.lpProvider = r.lpProvider;
    return native;
}

}  // namespace platform
