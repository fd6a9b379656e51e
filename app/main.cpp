// Mapeo starts straight into its main window; the tools open from there.
#include <QApplication>

#include "browser/frmnwcheck.h"
#include "drives/frmmain.h"
#include "platform/filesystem.h"
#include "platform/folders.h"
#include "platform/netenum.h"
#include "platform/networking.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/windowservices.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mapeo"));

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
    drives::frmMain main(services, tools);
    mainWindow = &main;
    main.Form_Load();
    return QApplication::exec();
}
