// The command line: options and exit statuses, the sign-in entry on real files, and the
// restore without a window against fake connections.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <sstream>

#include "app/commandline.h"
#include "fakes/desktop.h"
#include "platform/filesystem.h"
#include "support/main_services.h"

namespace {

using app::QtArguments;
using testing::HasSubstr;

struct Outcome {
    std::optional<int> status;
    std::string out, err;
};

class CommandLineTest : public testing::Test {
protected:
    // Without an autostart folder: where the system reconnects by itself.
    Outcome Run(const QStringList& args, QtArguments qt = QtArguments::NotYetTaken,
                bool autostart = true) {
        std::ostringstream out, err;
        const app::Places places{{dir.Path("config/mapeo"),
                                  dir.Path("config/mapeo/MAPEO.INI"),
                                  dir.Path("config/mapeo/MAPEO.BAK"),
                                  {dir.Path("etc/mapeo/MAPEO.INI")}},
                                 autostart ? dir.Path("config/autostart") : "",
                                 {dir.Path("etc/autostart")}};
        const auto status = app::Run_Without_Window(app::Parse_Arguments(args, qt),
                                                    platform::SystemFileSystem(), places, out, err);
        return {status, out.str(), err.str()};
    }
    void Write(const char* folder, const char* name, const QByteArray& bytes) {
        platform::SystemFileSystem().MakeFolder(dir.Path(folder));
        dir.Write((std::string(folder) + '/' + name).c_str(), bytes);
    }
    std::string Entry() const {
        return dir.Read("config/autostart/mapeo-reconectar.desktop").toStdString();
    }

    support::TempDir dir;
};

TEST_F(CommandLineTest, BadArgumentsAreRefusedInSpanishWithStatus2) {
    for (const QStringList& args :
         {QStringList{"--reconnect"}, QStringList{"--reconectar=1"},
          QStringList{"--al-iniciar", "--no-al-iniciar"}, QStringList{"--version", "extra"},
          QStringList{"--help", "--nada"}}) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, app::ExitUsage) << args.join(' ').toStdString();
        EXPECT_THAT(o.err, HasSubstr("mapeo --help")) << args.join(' ').toStdString();
        EXPECT_TRUE(o.out.empty());
    }
    // Once Qt has taken its own options, anything left over is ours to refuse.
    EXPECT_EQ(Run({"--reconectar", "-x"}, QtArguments::Taken).status, app::ExitUsage);
    EXPECT_EQ(Run({"J:"}, QtArguments::Taken).status, app::ExitUsage);
}

TEST_F(CommandLineTest, QtOptionsReachQtAndOnlyTheRestoreAndTheWindowStartIt) {
    EXPECT_EQ(app::Parse_Arguments({"-platform", "offscreen", "--reconectar"}, {}).action,
              app::Action::Reconnect);
    EXPECT_EQ(app::Parse_Arguments({"-style", "fusion"}, {}).action, app::Action::OpenWindow);
    EXPECT_FALSE(Run({"--reconectar"}).status.has_value());
    EXPECT_FALSE(Run({}).status.has_value());
    const Outcome help = Run({"--reconectar", "--help"});
    EXPECT_EQ(help.status, app::ExitOk) << "help wins and nothing is reconnected";
    EXPECT_THAT(help.out, HasSubstr("mapeo --reconectar --al-iniciar"));
    EXPECT_THAT(Run({"--version"}).out, HasSubstr(MAPEO_VERSION));

    // Help names the administrator's table only while the user has none.
    const std::string system = "Tabla de conexiones: " + dir.Path("etc/mapeo/MAPEO.INI") + '\n';
    Write("etc/mapeo", "MAPEO.INI", "");
    EXPECT_THAT(Run({"--help"}).out, HasSubstr(system));
    Write("config/mapeo", "MAPEO.INI", "");
    EXPECT_THAT(Run({"--help"}).out, testing::Not(HasSubstr(system)));
}

TEST_F(CommandLineTest, WhereTheSystemReconnectsByItselfNoEntryIsWrittenAndThatIsNoError) {
    for (const char* option : {"--al-iniciar", "--no-al-iniciar"}) {
        const Outcome o = Run({option}, QtArguments::NotYetTaken, false);
        EXPECT_EQ(o.status, app::ExitOk);
        EXPECT_THAT(o.out, HasSubstr("no hace falta ninguna entrada"));
    }
    EXPECT_FALSE(dir.Exists("config"));
}

TEST_F(CommandLineTest, TheSignInEntryIsWrittenOnceAndRemovedOrReportedWithStatus1) {
    ASSERT_EQ(Run({"--reconectar", "--al-iniciar"}).status, app::ExitOk);
    ASSERT_EQ(Run({"--al-iniciar"}).status, app::ExitOk) << "adding it again is harmless";
    EXPECT_THAT(Entry(), HasSubstr("\nExec=mapeo --reconectar\n"));
    EXPECT_THAT(Entry(), HasSubstr("\nTryExec=mapeo\n"));
    EXPECT_FALSE(dir.Exists("config/mapeo")) << "the mapping folder is not touched";
    EXPECT_EQ(Run({"--no-al-iniciar"}).status, app::ExitOk);
    EXPECT_FALSE(dir.Exists("config/autostart/mapeo-reconectar.desktop"));
    EXPECT_EQ(Run({"--no-al-iniciar"}).status, app::ExitOk) << "nothing to remove is no error";

    QDir(QString::fromStdString(dir.Path("config/autostart"))).removeRecursively();
    dir.Write("config/autostart", "a file where the folder should be");
    const Outcome o = Run({"--al-iniciar"});
    EXPECT_EQ(o.status, app::ExitFailed);
    EXPECT_THAT(o.err, HasSubstr("no se pudo escribir"));
}

TEST_F(CommandLineTest, AnAdministratorsEntryIsHiddenByTheUsersOwnNotLeftToRun) {
    Write("etc/autostart", "mapeo-reconectar.desktop", "[Desktop Entry]\n");
    for (const auto& [option, line] : {std::pair{"--no-al-iniciar", "\nHidden=true\n"},
                                       {"--al-iniciar", "\nHidden=false\n"},
                                       {"--no-al-iniciar", "\nHidden=true\n"}}) {
        ASSERT_EQ(Run({option}).status, app::ExitOk);
        EXPECT_THAT(Entry(), HasSubstr(line)) << option;
    }
}

// The restore without a window: its messages as lines, never a box or a window, and its
// status.
TEST(Reconnect, GivesStatus0OnlyWhenEveryMarkedRowConnectedAndPrintsItsMessages) {
    support::TempDir dir;
    fakes::FakeWindowServices desktop;
    std::ostringstream lines, err;
    app::ConsoleMessages console{desktop, lines};
    fakes::FakeNetConnections net;
    fakes::FakeShell shell;
    const auto reconnect = [&](const QByteArray* body) {
        if (body) {
            platform::SystemFileSystem().MakeFolder(dir.Path("cfg"));
            dir.Write("cfg/MAPEO.INI", "[UNIDADES]\r\n" + *body);
        }
        lines.str({});
        net.adds.clear();
        net.cancels.clear();
        return app::Reconnect_Stored_Rows(support::OnFiles(dir, net, shell, console), err);
    };
    EXPECT_EQ(reconnect(nullptr), app::ExitOk) << "no mapping file: nothing to restore";
    EXPECT_TRUE(net.cancels.empty());

    const QByteArray none = "UNIDAD1=\\\\srv\\docs\r\nLETRA1=J:\r\nMAPEAR1=0\r\nLETRA10=LPT1:\r\n";
    net.cancelResults.assign(12, 2250);  // nothing was connected: ignored at start-up
    EXPECT_EQ(reconnect(&none), app::ExitOk);
    EXPECT_EQ(std::tuple(net.cancels.size(), net.adds.size()), std::tuple(12u, 0u));
    EXPECT_EQ(lines.str(), "");

    const QByteArray fails =
        "UNIDAD1=\\\\srv\\docs\r\nLETRA1=J:\r\nMAPEAR1= 1\r\n"
        "UNIDAD2=\\\\srv\\fotos\r\nLETRA2=K:\r\nMAPEAR2=1\r\n";
    net.addResults = {0, 53};
    net.cancelResults = {0, 0, 0};
    EXPECT_EQ(reconnect(&fails), app::ExitFailed);
    EXPECT_EQ(lines.str(),
              "[Mapeo]  Conexión realizada con éxito en \\\\srv\\docs <-> J:\n"
              "[Mapeo]  Desconectado de la unidad K: satisfactoriamente\n"
              "[Mapeo]  ERROR al intentar realizar la conexión en \\\\srv\\fotos <-> K:\n"
              "[Dispositivo compartido no conectado.] ERROR: 53 - No se pudo efectuar la "
              "conexión de red. - \n");
    EXPECT_THAT(err.str(), HasSubstr("--reconectar"));
    EXPECT_EQ(reconnect(&fails), app::ExitOk) << "both connect this time";
    EXPECT_EQ(net.adds.size(), 2u);

    // A mark the box refuses is reported as the window reports it, one line, and counts.
    const QByteArray refused = "UNIDAD1=\\\\srv\\docs\r\nLETRA1=J:\r\nMAPEAR1=7\r\n";
    EXPECT_EQ(reconnect(&refused), app::ExitFailed);
    EXPECT_EQ(lines.str(), "[Inicializando copia!] 380 El valor de la propiedad no es válido\n");

    EXPECT_TRUE(desktop.messages.empty()) << "no box may wait for an answer";
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << "no window is shown";
}

}  // namespace
