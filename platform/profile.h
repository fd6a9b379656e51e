// Private-profile (INI) files, read and written one value at a time.
#pragma once

#include <string>

#include "platform/win32types.h"

namespace platform {

class ProfileFile {
public:
    virtual ~ProfileFile() = default;

    // Copies the value (or lpDefault) into lpReturnedString, cut to nSize - 1 bytes and
    // NUL-terminated; returns the number of bytes copied, without the terminator. With
    // lpKeyName null it copies the section's key names instead, each ended by a NUL and the
    // list by one more (the count leaves that last NUL out); a list cut short by nSize ends
    // in two NULs and gives nSize - 2.
    virtual DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                           LPSTR lpReturnedString, DWORD nSize,
                                           LPCSTR lpFileName) = 0;

    // Creates the file and section when missing. Returns non-zero on success; on failure
    // GetLastError() gives the system's error number (ErrorText tells it in words).
    virtual BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                            LPCSTR lpFileName) = 0;

    virtual DWORD GetLastError() const = 0;
};

// The system's profile service.
ProfileFile& SystemProfileFile();

// The calls by their system names, on the system's service.
inline DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    return SystemProfileFile().GetPrivateProfileStringA(lpAppName, lpKeyName, lpDefault,
                                                        lpReturnedString, nSize, lpFileName);
}
inline BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName) {
    return SystemProfileFile().WritePrivateProfileStringA(lpAppName, lpKeyName, lpString,
                                                          lpFileName);
}

}  // namespace platform
