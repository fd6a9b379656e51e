// Mapeo starts straight into its main window; the tools open from there. The command line
// adds the sign-in restore (--reconectar) and what needs no window at all.
#include <QApplication>
#include <functional>
#include <iostream>

#include "app/commandline.h"
#include "app/mainrows.h"
#include "app/toolwindow.h"
#include "browser/frmnwcheck.h"
#include "drives/frmmain.h"
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
#include "platform/windowservices.h"
#include "tcpip/frmtcpip.h"
#include "ui/frmcredenciales.h"

namespace {

// The network credentials dialog, offered to the network back ends while this lives, and only
// where someone can answer it: elsewhere a share that wants a password is refused (1326)
// without waiting for an answer nobody can give.
class RegisteredCredentialsDialog {
public:
    RegisteredCredentialsDialog() {
        if (app::Can_Show_Boxes())
            platform::SystemCredentials().RegisterPrompt(&prompt_);
    }
    ~RegisteredCredentialsDialog() { platform::SystemCredentials().RegisterPrompt(nullptr); }
    RegisteredCredentialsDialog(const RegisteredCredentialsDialog&) = delete;
    RegisteredCredentialsDialog& operator=(const RegisteredCredentialsDialog&) = delete;

private:
    ui::DialogPrompt prompt_;
};

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const app::Places places{drives::System_Mapping_Location(), platform::AutostartFolder(),
                             platform::SystemAutostartFolders()};
    const app::Request request = app::Parse_Arguments(args, app::QtArguments::NotYetTaken);
    if (const auto status = app::Run_Without_Window(request, platform::SystemFileSystem(), places,
                                                    std::cout, std::cerr))
        return *status;
    if (request.action == app::Action::Reconnect)
        app::Prepare_Restore_Platform();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mapeo"));
    if (const auto status = app::Run_Without_Window(
            app::Parse_Arguments(QApplication::arguments().mid(1), app::QtArguments::Taken),
            platform::SystemFileSystem(), places, std::cout, std::cerr))
        return *status;

    const RegisteredCredentialsDialog credentialsDialog;
    if (request.action == app::Action::Reconnect) {
        // With nobody to answer a box, the messages go to standard error instead.
        app::ConsoleMessages console(platform::SystemWindowServices(), std::cerr);
        platform::WindowServices& ui =
            app::Can_Show_Boxes() ? platform::SystemWindowServices() : console;
        // The rows restore as the user: a server that wants a password asks once.
        const platform::RestoreScope restore(platform::SystemCredentials());
        return app::Reconnect_Stored_Rows(
            {platform::SystemProfileFile(), platform::SystemFileSystem(),
             platform::SystemNetConnections(), platform::SystemShell(), ui, places.mapping},
            std::cerr);
    }

    // The main window's buttons open the tools, which are made once the window exists.
    std::function<void()> showTester, showBrowser;
    drives::frmMain main(
        drives::MainServices{platform::SystemProfileFile(), platform::SystemFileSystem(),
                             platform::SystemNetConnections(), platform::SystemShell(),
                             platform::SystemWindowServices(), places.mapping},
        drives::ToolWindows{[&] { showTester(); }, [&] { showBrowser(); }});

    app::MainWindowRows rows(main);
    app::ToolWindow<browser::frmNWCheck> browserWindow([&] {
        return new browser::frmNWCheck(
            rows, {platform::SystemNetEnumeration(), platform::SystemFileSystemObject(),
                   platform::SystemWindowServices()});
    });
    app::ToolWindow<tcpip::FRMTCPIP> testerWindow([] {
        return new tcpip::FRMTCPIP(
            tcpip::TesterServices{platform::SystemIcmpEcho(), platform::SystemWinSock(),
                                  platform::SystemSecurity(), platform::SystemNameResolver(),
                                  platform::SystemWinsockControl(), platform::SystemFileSystem(),
                                  platform::SystemWindowServices(), platform::ScanExportPath()});
    });
    showBrowser = [&] { browserWindow.Show(); };
    showTester = [&] { testerWindow.Show(); };

    {
        const platform::RestoreScope restore(platform::SystemCredentials());
        main.Form_Load();
    }
    return QApplication::exec();
}
