// System error numbers told in the user's language.
#pragma once

#include <string>

namespace platform {

std::string ErrorText(int errnum);

}  // namespace platform
