// Connections through the system's own network providers (mpr). With no user name and no
// password the system uses the signed-in user's own credentials and asks nothing itself.

#include "platform/win32/netresource.h"

namespace platform {
namespace {

class WindowsNetConnections final : public NetConnections {
public:
    DWORD WNetAddConnection2A(const platform::NETRESOURCEA* resource, LPCSTR password,
                              LPCSTR userName, DWORD flags) override {
        if (!resource)
            return ERROR_INVALID_PARAMETER;
        ::NETRESOURCEA native = NativeResource(*resource);
        return ::WNetAddConnection2A(&native, password, userName, flags);
    }

    DWORD WNetCancelConnection2A(LPCSTR name, DWORD flags, BOOL force) override {
        if (!name)
            return ERROR_INVALID_PARAMETER;
        return ::WNetCancelConnection2A(name, flags, force);
    }
};

}  // namespace

NetConnections& SystemNetConnections() {
    static WindowsNetConnections connections;
    return connections;
}

}  // namespace platform
