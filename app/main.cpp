// Mapeo starts straight into its main window; the tools open from there.
#include <QApplication>

#include "drives/frmmain.h"
#include "platform/filesystem.h"
#include "platform/networking.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/windowservices.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mapeo"));

    drives::MainServices services{
        platform::SystemProfileFile(),    platform::SystemFileSystem(),
        platform::SystemNetConnections(), platform::SystemShell(),
        platform::SystemWindowServices(), drives::SystemMappingLocation()};
    drives::frmMain main(services);
    main.Form_Load();
    return QApplication::exec();
}
