// The command line: the main window by default; the sign-in restore and the autostart entry
// that runs it; the version and the help.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "drives/frmmain.h"
#include "platform/filesystem.h"
#include "platform/windowservices.h"

namespace app {

inline constexpr int ExitOk = 0;
// A row stored as connected did not connect, or the autostart entry could not be changed.
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

enum class Action {
    OpenWindow,
    Reconnect,
    ShowVersion,
    ShowHelp,
    AddAutostart,
    RemoveAutostart,
    Refuse
};

struct Request {
    Action action = Action::OpenWindow;
    QString refusal;  // why the arguments were refused, ready to print
};

// Before Qt has seen the arguments, one-dash options and what follows them may be Qt's own
// ("-platform offscreen"); after it has taken its own out, every argument left must be ours.
enum class QtArguments { NotYetTaken, Taken };

// `args` without the program's name.
Request Parse_Arguments(const QStringList& args, QtArguments qt);

// Where the command line looks and writes.
struct Places {
    drives::MappingLocation mapping;
    std::string autostartFolder;                      // the user's sign-in entries
    std::vector<std::string> systemAutostartFolders;  // an administrator's, for every user
};

// What runs without any window: the version, the help, a refusal and the autostart entry
// (none where `autostartFolder` is empty: the system reconnects by itself).
// Returns the exit status, or nothing when the request needs Qt (the window, the restore).
std::optional<int> Run_Without_Window(const Request& request, platform::FileSystem& files,
                                      const Places& places, std::ostream& out, std::ostream& err);

inline constexpr const char* AutostartEntryName = "mapeo-reconectar.desktop";

// Chooses Qt's headless platform for the restore when there is no display to show boxes on.
// Runs before the application object exists.
void Prepare_Restore_Platform();
// True when the running Qt platform shows windows someone can answer.
bool Can_Show_Boxes();

// The main window's restore without showing it. ExitOk when every row stored as connected
// ended connected and no load error was reported, else ExitFailed.
int Reconnect_Stored_Rows(const drives::MainServices& services, std::ostream& err);

// Message boxes for a run that nobody watches: each message becomes one line on a stream
// ("[title] text", line feeds as blanks) and returns at once as if OK had been pressed.
// Everything else goes to the desktop's own services.
class ConsoleMessages final : public platform::WindowServices {
public:
    ConsoleMessages(platform::WindowServices& desktop, std::ostream& stream)
        : desktop_(desktop), stream_(stream) {}

    int MsgBox(const QString& prompt, int style, const QString& title) override;
    void DoEvents() override { desktop_.DoEvents(); }
    QSize ScreenSize() override { return desktop_.ScreenSize(); }
    QColor GetSysColor(int index) override { return desktop_.GetSysColor(index); }

private:
    platform::WindowServices& desktop_;
    std::ostream& stream_;
};

}  // namespace app
