#include "platform/win32/winapi.h"

namespace platform {
namespace {

thread_local DWORD lastError = 0;

class WindowsSecurity final : public Security {
public:
    BOOL GetUserNameA(LPSTR buffer, LPDWORD size) override {
        const BOOL ok = ::GetUserNameA(buffer, reinterpret_cast<::LPDWORD>(size));
        lastError = ok ? 0 : ::GetLastError();
        return ok;
    }

    DWORD GetLastError() const override { return lastError; }
};

}  // namespace

Security& SystemSecurity() {
    static WindowsSecurity security;
    return security;
}

}  // namespace platform
