#include <QDesktopServices>
#include <QUrl>

#include "platform/shell.h"

namespace platform {
namespace {

constexpr HINSTANCE SE_ERR_NOASSOC = 31;
constexpr HINSTANCE SE_ERR_FNF = 2;
constexpr HINSTANCE Opened = 42;

class LinuxShell final : public Shell {
public:
    HINSTANCE ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR, LPCSTR, int) override {
        if (!file)
            return SE_ERR_FNF;
        if (operation && std::string_view(operation) != "open")
            return SE_ERR_NOASSOC;
        // The desktop's own opener (xdg-open or the portal), given the link as one argument.
        const QUrl url(QString::fromLocal8Bit(file), QUrl::StrictMode);
        if (!url.isValid())
            return SE_ERR_FNF;
        return QDesktopServices::openUrl(url) ? Opened : SE_ERR_NOASSOC;
    }
};

}  // namespace

Shell& SystemShell() {
    static LinuxShell shell;
    return shell;
}

}  // namespace platform
