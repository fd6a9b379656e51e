// The Windows headers, for the back ends in this folder only. Mapeo's own interfaces reuse
// Windows' names for constants that <windows.h> defines as macros, so they are read first;
// after this header the Windows spellings (NO_ERROR, IP_SUCCESS, SW_SHOW...) are the macros.
#pragma once

#include "platform/credentials.h"
#include "platform/echo.h"
#include "platform/filesystem.h"
#include "platform/folders.h"
#include "platform/hostinfo.h"
#include "platform/netenum.h"
#include "platform/networking.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/resolver.h"
#include "platform/security.h"
#include "platform/shell.h"
#include "platform/sockets.h"
#include "platform/status.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

// Member names of the interfaces that <windows.h> would turn into its A or W functions.
#undef DeleteFile
#undef ReplaceFile

#include <string>

namespace platform::win32 {

// ERROR_DIRECTORY_NOT_SUPPORTED, "an operation is not supported on a directory", which the
// mingw-w64 headers do not name.
inline constexpr ::DWORD ERROR_IS_A_FOLDER = 336;

std::string Utf8(const std::wstring& text);

// A system error's own text in the user's language, as UTF-8, without the final line break.
std::string System_Message(DWORD code);

}  // namespace platform::win32
