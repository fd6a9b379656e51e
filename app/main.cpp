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

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const app::Request request = app::Parse_Arguments(args, app::QtArguments::NotYetTaken);
    if (const auto status = app::Run_Without_Window(
            request, platform::SystemFileSystem(), platform::AutostartFolder(),
            platform::MappingFilePath(), std::cout, std::cerr))
        return *status;
    if (request.action == app::Action::Reconnect)
        app::Prepare_Restore_Platform();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mapeo"));
    if (const auto status = app::Run_Without_Window(
            app::Parse_Arguments(QApplication::arguments().mid(1), app::QtArguments::Taken),
            platform::SystemFileSystem(), platform::AutostartFolder(), platform::MappingFilePath(),
            std::cout, std::cerr))
        return *status;

    if (request.action == app::Action::Reconnect) {
        // With nobody to answer a box, the messages go to standard error instead.
        app::ConsoleMessages console(platform::SystemWindowServices(), std::cerr);
        platform::WindowServices& ui =
            app::Can_Show_Boxes() ? platform::SystemWindowServices() : console;
        return app::Reconnect_Stored_Rows(
            {platform::SystemProfileFile(), platform::SystemFileSystem(),
             platform::SystemNetConnections(), platform::SystemShell(), ui,
             drives::System_Mapping_Location()},
            std::cerr);
    }

    // The main window's buttons open the tools, which are made once the window exists.
    std::function<void()> showTester, showBrowser;
    drives::frmMain main(
        drives::MainServices{platform::SystemProfileFile(), platform::SystemFileSystem(),
                             platform::SystemNetConnections(), platform::SystemShell(),
                             platform::SystemWindowServices(), drives::System_Mapping_Location()},
        drives::ToolWindows{[&] { showTester(); }, [&] { showBrowser(); }});

    app::Main_Window_Rows rows(main);
    app::Tool_Window<browser::frmNWCheck> browserWindow([&] {
        return new browser::frmNWCheck(
            rows, {platform::SystemNetEnumeration(), platform::SystemFileSystemObject(),
                   platform::SystemWindowServices()});
    });
    app::Tool_Window<tcpip::FRMTCPIP> testerWindow([] {
        return new tcpip::FRMTCPIP(
            tcpip::TesterServices{platform::SystemIcmpEcho(), platform::SystemWinSock(),
                                  platform::SystemSecurity(), platform::SystemNameResolver(),
                                  platform::SystemWinsockControl(), platform::SystemFileSystem(),
                                  platform::SystemWindowServices(), platform::ScanExportPath()});
    });
    showBrowser = [&] { browserWindow.Show(); };
    showTester = [&] { testerWindow.Show(); };

    main.Form_Load();
    return QApplication::exec();
}
