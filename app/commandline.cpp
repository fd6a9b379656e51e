#include "app/commandline.h"

#include <QGuiApplication>
#include <QRegularExpression>

#include "app/texts.h"

namespace app {
namespace {

void Print(std::ostream& stream, const QString& text) {
    stream << text.toStdString() << std::flush;
}

Request Refuse(const QString& why) {
    return {Action::Refuse, why + texts::TryHelp};
}

// Runs "mapeo" through the PATH, so the entry follows the installed program and, with
// TryExec, does nothing once the program is gone.
QString AutostartEntry() {
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=%1\n"
               "Comment=%2\n"
               "Exec=mapeo --reconectar\n"
               "TryExec=mapeo\n"
               "Icon=mapeo\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n")
        .arg(texts::AutostartName, texts::AutostartComment);
}

int Add_Autostart_Entry(platform::FileSystem& files, const std::string& folder, std::ostream& out,
                        std::ostream& err) {
    if (folder.empty()) {
        Print(out, texts::AutostartNotNeeded);
        return ExitOk;
    }
    const std::string path = folder + '/' + AutostartEntryName;
    platform::Status written = files.MakeFolder(folder);
    if (written)
        written = files.WriteWholeFile(path, AutostartEntry().toStdString());
    if (!written) {
        Print(err, texts::AutostartWriteFailed.arg(QString::fromStdString(path),
                                                   QString::fromStdString(written.reason)));
        return ExitFailed;
    }
    Print(out, texts::AutostartAdded.arg(QString::fromStdString(path)));
    return ExitOk;
}

int Remove_Autostart_Entry(platform::FileSystem& files, const std::string& folder,
                           std::ostream& out, std::ostream& err) {
    if (folder.empty()) {
        Print(out, texts::AutostartNotNeeded);
        return ExitOk;
    }
    const std::string path = folder + '/' + AutostartEntryName;
    if (!files.NormalFileExists(path)) {
        Print(out, texts::AutostartAbsent.arg(QString::fromStdString(path)));
        return ExitOk;
    }
    if (const platform::Status deleted = files.DeleteFile(path); !deleted) {
        Print(err, texts::AutostartDeleteFailed.arg(QString::fromStdString(path),
                                                    QString::fromStdString(deleted.reason)));
        return ExitFailed;
    }
    Print(out, texts::AutostartRemoved.arg(QString::fromStdString(path)));
    return ExitOk;
}

}  // namespace

Request Parse_Arguments(const QStringList& args, QtArguments qt) {
    bool help = false, version = false, reconnect = false, add = false, remove = false;
    QString leftOver;
    for (const QString& a : args) {
        if (a == u"--help" || a == u"-h")
            help = true;
        else if (a == u"--version")
            version = true;
        else if (a == u"--reconectar")
            reconnect = true;
        else if (a == u"--al-iniciar")
            add = true;
        else if (a == u"--no-al-iniciar")
            remove = true;
        else if (a.startsWith(u"--") || (qt == QtArguments::Taken && a.startsWith(u'-')))
            return Refuse(texts::UnknownOption.arg(a));
        else if (qt == QtArguments::Taken)
            return Refuse(texts::UnexpectedArgument.arg(a));
        else if (leftOver.isEmpty())
            leftOver = a;
    }
    if (add && remove)
        return Refuse(texts::ContradictoryOptions);

    Action action = reconnect ? Action::Reconnect : Action::OpenWindow;
    if (help)
        action = Action::ShowHelp;
    else if (version)
        action = Action::ShowVersion;
    else if (add)
        action = Action::AddAutostart;
    else if (remove)
        action = Action::RemoveAutostart;
    // Only the runs that start Qt can have arguments for it.
    if (!leftOver.isEmpty() && action != Action::OpenWindow && action != Action::Reconnect)
        return Refuse(leftOver.startsWith(u'-') ? texts::UnknownOption.arg(leftOver)
                                                : texts::UnexpectedArgument.arg(leftOver));
    return {action, {}};
}

std::optional<int> Run_Without_Window(const Request& request, platform::FileSystem& files,
                                      const std::string& autostartFolder,
                                      const std::string& mappingFile, std::ostream& out,
                                      std::ostream& err) {
    switch (request.action) {
        case Action::Refuse:
            Print(err, request.refusal);
            return ExitUsage;
        case Action::ShowHelp:
            Print(out,
                  texts::Help.arg(QString::fromLocal8Bit(mappingFile.c_str()),
                                  autostartFolder.empty()
                                      ? texts::NoAutostartEntry
                                      : QString::fromLocal8Bit(
                                            (autostartFolder + '/' + AutostartEntryName).c_str())));
            return ExitOk;
        case Action::ShowVersion:
            Print(out, texts::Version.arg(QStringLiteral(MAPEO_VERSION)));
            return ExitOk;
        case Action::AddAutostart:
            return Add_Autostart_Entry(files, autostartFolder, out, err);
        case Action::RemoveAutostart:
            return Remove_Autostart_Entry(files, autostartFolder, out, err);
        case Action::OpenWindow:
        case Action::Reconnect:
            break;
    }
    return std::nullopt;
}

void Prepare_Restore_Platform() {
    // A sign-in without a desktop (a console or remote session) must never wait on a box.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

bool Can_Show_Boxes() {
    const QString name = QGuiApplication::platformName();
    return name != u"offscreen" && name != u"minimal";
}

int Reconnect_Stored_Rows(const drives::MainServices& services, std::ostream& err) {
    drives::frmMain window(services);
    if (window.Restore_Rows())
        return ExitOk;
    Print(err, texts::NotRestored);
    return ExitFailed;
}

int ConsoleMessages::MsgBox(const QString& prompt, int, const QString& title) {
    static const QRegularExpression lineFeeds(QStringLiteral("\\n+"));
    QString text = prompt;
    text.replace(lineFeeds, QStringLiteral(" "));
    Print(stream_, u'[' + (title.isEmpty() ? platform::ApplicationTitle() : title) +
                       QStringLiteral("] ") + text + u'\n');
    return 1;  // vbOK
}

}  // namespace app
