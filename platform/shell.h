// The desktop's handler for documents and links.
#pragma once

#include "platform/win32types.h"

namespace platform {

inline constexpr int SW_SHOW = 5;

class Shell {
public:
    virtual ~Shell() = default;

    // Returns a value above 32 on success, as the Windows call does.
    virtual HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile,
                                    LPCSTR lpParameters, LPCSTR lpDirectory, int nShowCmd) = 0;
};

Shell& SystemShell();

}  // namespace platform
