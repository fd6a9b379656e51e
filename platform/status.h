// The outcome of a call to one of Mapeo's own services: success, or the system's error
// number with its reason, so that whoever reports the failure can say why.
#pragma once

#include <string>

namespace platform {

struct Status {
    // The system's own number (errno on Linux, GetLastError() on Windows); 0 for success.
    int error = 0;
    std::string reason;  // UTF-8, like every text of texts.h
    // Something stands at the path the call named: for a call that creates, it failed only
    // because the name is taken.
    bool targetExists = false;

    explicit operator bool() const { return error == 0; }
};

// The reason of a system error number, in the user's language.
std::string ErrorText(int error);

inline Status Failure(int error) {
    return {error, ErrorText(error)};
}

}  // namespace platform
