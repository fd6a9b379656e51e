// Mapeo starts straight into its main window; the tools open from there.
#include <QApplication>
#include <QPointer>

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

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mapeo"));

    // Only a session with a screen can ask for a password; elsewhere a share that wants one
    // is refused (1326) without waiting for an answer nobody can give.
    ui::DialogPrompt credentialsDialog;
    const QString screen = QGuiApplication::platformName();
    if (screen != QLatin1String("offscreen") && screen != QLatin1String("minimal"))
        platform::SystemCredentials().RegisterPrompt(&credentialsDialog);

    const drives::MainServices services{
        platform::SystemProfileFile(),    platform::SystemFileSystem(),
        platform::SystemNetConnections(), platform::SystemShell(),
        platform::SystemWindowServices(), drives::SystemMappingLocation()};
    const browser::BrowserServices browserServices{platform::SystemNetEnumeration(),
                                                   platform::SystemFileSystemObject(),
                                                   platform::SystemWindowServices()};

    drives::frmMain* mainWindow = nullptr;
    drives::ToolWindows tools;
    tools.showBrowser = [&] { browser::ShowNetworkBrowser(*mainWindow, browserServices); };
    QPointer<tcpip::FRMTCPIP> tester;
    tools.showTester = [&tester] {
        // A tester closed during a scan hides at once and goes when the scan has unwound.
        if (!tester || !tester->isVisible()) {
            tester = new tcpip::FRMTCPIP(tcpip::TesterServices{
                platform::SystemIcmpEcho(), platform::SystemWinSock(), platform::SystemSecurity(),
                platform::SystemNameResolver(), platform::SystemWinsockControl(),
                platform::SystemFileSystem(), platform::SystemWindowServices(),
                platform::ScanExportPath()});
            tester->Form_Load();
        }
        tester->show();
        tester->raise();
        tester->activateWindow();
    };
    drives::frmMain main(services, tools);
    mainWindow = &main;
    {
        // The rows restore as the user: a server that wants a password asks once.
        const platform::RestoreScope restore(platform::SystemCredentials());
        main.Form_Load();
    }
    const int code = QApplication::exec();
    platform::SystemCredentials().RegisterPrompt(nullptr);
    return code;
}
