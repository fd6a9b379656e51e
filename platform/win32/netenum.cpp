// The network neighbourhood as the system's own providers list it (mpr). The records the
// system packs into the buffer are read in place by the browser: both layouts must agree.

#include <cstddef>

#include "platform/win32/netresource.h"

namespace platform {
namespace {

static_assert(sizeof(platform::NETRESOURCEA) == sizeof(::NETRESOURCEA));
static_assert(offsetof(platform::NETRESOURCEA, lpLocalName) ==
                  offsetof(::NETRESOURCEA, lpLocalName) &&
              offsetof(platform::NETRESOURCEA, lpProvider) == offsetof(::NETRESOURCEA, lpProvider));

class WindowsNetEnumeration final : public NetEnumeration {
public:
    DWORD WNetOpenEnumA(DWORD scope, DWORD type, DWORD usage,
                        const platform::NETRESOURCEA* container, HANDLE* handle) override {
        if (!handle)
            return ERROR_INVALID_PARAMETER;
        // A record without a remote name is the whole network, as the system's root.
        const bool root = !container || !container->lpRemoteName;
        ::NETRESOURCEA native = root ? ::NETRESOURCEA{} : NativeResource(*container);
        ::LPNETRESOURCEA from = root ? nullptr : &native;
        ::HANDLE h = nullptr;
        const DWORD result = ::WNetOpenEnumA(scope, type, usage, from, &h);
        *handle = result == NO_ERROR ? h : nullptr;
        return result;
    }

    DWORD WNetEnumResourceA(HANDLE handle, DWORD* count, void* buffer, DWORD* size) override {
        if (!count || !size)
            return ERROR_INVALID_PARAMETER;
        const DWORD asked = *count;
        ::DWORD n = asked, bytes = *size;
        const DWORD result = ::WNetEnumResourceA(handle, &n, buffer, &bytes);
        *size = bytes;
        // The browser's loop ends on a zero count: the system leaves it as it was when it
        // has nothing more to give.
        if (result == NO_ERROR)
            *count = n;
        else if (result == ERROR_MORE_DATA)
            *count = asked;
        else
            *count = 0;
        return result;
    }

    DWORD WNetCloseEnum(HANDLE handle) override { return ::WNetCloseEnum(handle); }

    // The system enumerates and reads folders as the signed-in user: Mapeo hands it no
    // password, so there is none of ours to forget.
    void ForgetCredentials() override {}
};

}  // namespace

NetEnumeration& SystemNetEnumeration() {
    static WindowsNetEnumeration enumeration;
    return enumeration;
}

}  // namespace platform
