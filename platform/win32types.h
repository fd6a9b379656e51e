// Win32 names and numbers shared by every platform service. The Linux back ends return the
// same result codes a Windows administrator already knows, so the logic never has to care
// which back end answered.
#pragma once

#include <cstdint>

namespace platform {

using DWORD = std::uint32_t;
using BOOL = int;
using LPSTR = char*;
using LPCSTR = const char*;
using HANDLE = void*;
using HWND = void*;
using HINSTANCE = std::intptr_t;

// The 8-bit form of the networking record. Strings are borrowed: whoever fills the record
// keeps them alive for the call.
struct NETRESOURCEA {
    DWORD dwScope = 0;
    DWORD dwType = 0;
    DWORD dwDisplayType = 0;
    DWORD dwUsage = 0;
    LPSTR lpLocalName = nullptr;
    LPSTR lpRemoteName = nullptr;
    LPSTR lpComment = nullptr;
    LPSTR lpProvider = nullptr;
};

inline constexpr DWORD RESOURCE_GLOBALNET = 2;
inline constexpr DWORD RESOURCETYPE_ANY = 0;
inline constexpr DWORD RESOURCETYPE_DISK = 1;
inline constexpr DWORD RESOURCETYPE_PRINT = 2;
inline constexpr DWORD RESOURCEUSAGE_CONNECTABLE = 1;
inline constexpr DWORD RESOURCEUSAGE_CONTAINER = 2;
inline constexpr DWORD RESOURCEDISPLAYTYPE_GENERIC = 0;
inline constexpr DWORD RESOURCEDISPLAYTYPE_DOMAIN = 1;
inline constexpr DWORD RESOURCEDISPLAYTYPE_SERVER = 2;
inline constexpr DWORD RESOURCEDISPLAYTYPE_SHARE = 3;
inline constexpr DWORD RESOURCEDISPLAYTYPE_NETWORK = 6;
inline constexpr DWORD RESOURCEDISPLAYTYPE_SHAREADMIN = 8;
inline constexpr DWORD CONNECT_UPDATE_PROFILE = 1;

// System error codes used by the back ends.
inline constexpr DWORD NO_ERROR = 0;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_BAD_NETPATH = 53;
inline constexpr DWORD ERROR_BAD_NET_NAME = 67;
inline constexpr DWORD ERROR_ALREADY_ASSIGNED = 85;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD ERROR_BAD_DEVICE = 1200;
inline constexpr DWORD ERROR_NOT_CONTAINER = 1207;
inline constexpr DWORD ERROR_NO_NETWORK = 1222;
inline constexpr DWORD ERROR_LOGON_FAILURE = 1326;
inline constexpr DWORD ERROR_NOT_CONNECTED = 2250;
inline constexpr DWORD ERROR_OPEN_FILES = 2401;

}  // namespace platform
