// The user's keyring through the Secret Service (libsecret).
#pragma once

#include <functional>
#include <memory>

#include "platform/credentials.h"

namespace platform::keyring {

// `mayUnlock` tells whether a locked keyring may be opened, which makes the desktop ask for
// the keyring's own password.
std::unique_ptr<CredentialStore> MakeSecretServiceStore(std::function<bool()> mayUnlock);

}  // namespace platform::keyring
