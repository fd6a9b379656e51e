// Mapeo starts straight into its main window; the tools open from there.
#include <QApplication>
#include <functional>

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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mapeo"));

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
