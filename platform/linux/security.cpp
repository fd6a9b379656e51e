#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/security.h"

namespace platform {
namespace {

thread_local DWORD lastError = 0;

// The account the program acts as; an account without a passwd entry (a bare container
// user) is named by its number.
std::string EffectiveUserName() {
    const uid_t uid = ::geteuid();
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> scratch(size > 0 ? std::size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(uid, &entry, scratch.data(), scratch.size(), &found) == ERANGE &&
           scratch.size() < (1u << 20))
        scratch.resize(scratch.size() * 2);
    if (found && found->pw_name && *found->pw_name)
        return found->pw_name;
    return std::to_string(uid);
}

class LinuxSecurity final : public Security {
public:
    BOOL GetUserNameA(LPSTR buffer, LPDWORD size) override {
        if (!size) {
            lastError = ERROR_INVALID_PARAMETER;
            return 0;
        }
        const std::string name = EffectiveUserName();
        const DWORD needed = DWORD(name.size() + 1);
        if (!buffer || *size < needed) {
            *size = needed;
            lastError = ERROR_INSUFFICIENT_BUFFER;
            return 0;
        }
        std::memcpy(buffer, name.c_str(), needed);
        *size = needed;
        lastError = 0;
        return 1;
    }

    DWORD GetLastError() const override { return lastError; }
};

}  // namespace

Security& SystemSecurity() {
    static LinuxSecurity security;
    return security;
}

}  // namespace platform
