
#include "platform/win32/winapi.h"

#include <shellapi.h>

namespace platform {
namespace {

class WindowsShell final : public Shell {
public:
    HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                            LPCSTR directory, int show) override {
        return reinterpret_cast<HINSTANCE>(::ShellExecuteA(static_cast<::HWND>(hwnd), operation,
                                                           file, parameters, directory, show));
    }
};

}  // namespace

Shell& SystemShell() {
    static WindowsShell shell;
    return shell;
}

}  // namespace platform
