// Enumeration of the network neighbourhood: providers, workgroups, servers, shares and
// printers, one container at a time.
#pragma once

#include "platform/win32types.h"

namespace platform {

// Display types beyond the ones the connection service already names.
inline constexpr DWORD RESOURCEDISPLAYTYPE_FILE = 4;
inline constexpr DWORD RESOURCEDISPLAYTYPE_GROUP = 5;
inline constexpr DWORD RESOURCEDISPLAYTYPE_ROOT = 7;
inline constexpr DWORD RESOURCEDISPLAYTYPE_DIRECTORY = 9;
inline constexpr DWORD RESOURCEDISPLAYTYPE_TREE = 10;
inline constexpr DWORD RESOURCEDISPLAYTYPE_NDSCONTAINER = 11;

inline constexpr DWORD RESOURCE_CONNECTED = 1;
inline constexpr DWORD RESOURCE_REMEMBERED = 3;

inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_BAD_PROVIDER = 1204;

// Entry count asking for as many records as the buffer holds.
inline constexpr DWORD ENUM_ALL_ENTRIES = 0xFFFFFFFF;

class NetEnumeration {
public:
    virtual ~NetEnumeration() = default;

    // Opens an enumeration of the resources inside `lpNetResource` (null, or a record with no
    // remote name, for the whole network). NO_ERROR and a handle, or an error code: a share
    // or printer is no container and gives ERROR_NOT_CONTAINER.
    virtual DWORD WNetOpenEnumA(DWORD dwScope, DWORD dwType, DWORD dwUsage,
                                const NETRESOURCEA* lpNetResource, HANDLE* lphEnum) = 0;

    // Places up to *lpcCount records at the start of lpBuffer, their strings after them in the
    // same buffer, and sets *lpcCount to the number placed. ERROR_MORE_DATA when not even one
    // fits: *lpBufferSize then holds the size needed and *lpcCount is left as it was. Once
    // nothing is left, or on any error, *lpcCount is 0.
    virtual DWORD WNetEnumResourceA(HANDLE hEnum, DWORD* lpcCount, void* lpBuffer,
                                    DWORD* lpBufferSize) = 0;

    virtual DWORD WNetCloseEnum(HANDLE hEnum) = 0;

    // Forgets, overwriting them, the passwords the servers took for this process's
    // enumerations and folder reads, and closes the connections made with them: a browser
    // window that closes leaves none behind.
    virtual void ForgetCredentials() = 0;
};

NetEnumeration& SystemNetEnumeration();

}  // namespace platform
