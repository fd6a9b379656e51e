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
// TryExec, does nothing once the program is gone. A disabled entry stands in for an
// administrator's entry of the same name, which the desktop then skips.
QString Autostart_Entry(bool enabled) {
    const QString on = enabled ? QStringLiteral("true") : QStringLiteral("false");
    const QString hidden = enabled ? QStringLiteral("false") : QStringLiteral("true");
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=%1\n"
               "Comment=%2\n"
               "Exec=mapeo --reconectar\n"
               "TryExec=mapeo\n"
               "Icon=mapeo\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=%3\n"
               "Hidden=%4\n")
        .arg(texts::AutostartName, texts::AutostartComment, on, hidden);
}

QString Entry_Path(const std::string& folder) {
    return QString::fromStdString(folder + '/' + AutostartEntryName);
}

bool Write_Autostart_Entry(platform::FileSystem& files, const std::string& folder, bool enabled,
                           std::ostream& err) {
    platform::Status written = files.MakeFolder(folder);
    if (written)
        written = files.WriteWholeFile(Entry_Path(folder).toStdString(),
                                       Autostart_Entry(enabled).toStdString());
    if (!written)
        Print(err, texts::AutostartWriteFailed.arg(Entry_Path(folder),
                                                   QString::fromStdString(written.reason)));
    return bool(written);
}

int Add_Autostart_Entry(platform::FileSystem& files, const Places& places, std::ostream& out,
                        std::ostream& err) {
    if (places.autostartFolder.empty()) {
        Print(out, texts::AutostartNotNeeded);
        return ExitOk;
    }
    if (!Write_Autostart_Entry(files, places.autostartFolder, true, err))
        return ExitFailed;
    Print(out, texts::AutostartAdded.arg(Entry_Path(places.autostartFolder)));
    return ExitOk;
}

int Remove_Autostart_Entry(platform::FileSystem& files, const Places& places, std::ostream& out,
                           std::ostream& err) {
    if (places.autostartFolder.empty()) {
        Print(out, texts::AutostartNotNeeded);
        return ExitOk;
    }
    const QString path = Entry_Path(places.autostartFolder);
    // Deleting the user's entry would let an administrator's of the same name run again.
    for (const std::string& folder : places.systemAutostartFolders) {
        if (!files.NormalFileExists(Entry_Path(folder).toStdString()))
            continue;
        if (!Write_Autostart_Entry(files, places.autostartFolder, false, err))
            return ExitFailed;
        Print(out, texts::AutostartHidden.arg(path, Entry_Path(folder)));
        return ExitOk;
    }
    if (!files.NormalFileExists(path.toStdString())) {
        Print(out, texts::AutostartAbsent.arg(path));
        return ExitOk;
    }
    if (const platform::Status deleted = files.DeleteFile(path.toStdString()); !deleted) {
        Print(err, texts::AutostartDeleteFailed.arg(path, QString::fromStdString(deleted.reason)));
        return ExitFailed;
    }
    Print(out, texts::AutostartRemoved.arg(path));
    return ExitOk;
}

// The table a run would read: the user's own, or the administrator's while the user has none.
QString Table_In_Use(platform::FileSystem& files, const drives::MappingLocation& mapping) {
    const QString own = QString::fromStdString(mapping.file);
    const std::optional<std::string> source = drives::Mapping_Source(files, mapping);
    if (!source || *source == mapping.file)
        return own;
    return texts::SystemTable.arg(QString::fromStdString(*source), own);
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
                                      const Places& places, std::ostream& out, std::ostream& err) {
    switch (request.action) {
        case Action::Refuse:
            Print(err, request.refusal);
            return ExitUsage;
        case Action::ShowHelp:
            Print(out, texts::Help.arg(Table_In_Use(files, places.mapping),
                                       places.autostartFolder.empty()
                                           ? texts::NoAutostartEntry
                                           : Entry_Path(places.autostartFolder)));
            return ExitOk;
        case Action::ShowVersion:
            Print(out, texts::Version.arg(QStringLiteral(MAPEO_VERSION)));
            return ExitOk;
        case Action::AddAutostart:
            return Add_Autostart_Entry(files, places, out, err);
        case Action::RemoveAutostart:
            return Remove_Autostart_Entry(files, places, out, err);
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
