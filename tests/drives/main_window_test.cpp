// The main window's rows, its connect action, its start-up and its save, against fake
// services and real files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drives/apperror.h"
#include "drives/frmmain.h"
#include "fakes/desktop.h"
#include "platform/filesystem.h"
#include "support/input.h"
#include "support/main_services.h"

namespace {

using testing::ElementsAre;

class MainWindowTest : public testing::Test {
protected:
    void WriteMappingFile(const QByteArray& body) {
        platform::SystemFileSystem().MakeFolder(dir.Path("cfg"));
        dir.Write("cfg/MAPEO.INI", "[UNIDADES]\r\n" + body);
    }
    void SetRow(int i, const QString& path, const QString& device) {
        window.TXTNET[i]->setText(path);
        window.TXTLOCAL[i]->setText(device);
    }
    static bool Shown(QWidget* w) { return !w->isHidden(); }

    support::TempDir dir;
    fakes::EventLog log;
    fakes::FakeWindowServices ui{&log};
    fakes::FakeNetConnections net{&log};
    fakes::FakeShell shell;
    int testerRequests = 0;
    int browserRequests = 0;
    drives::frmMain window{
        support::OnFiles(dir, net, shell, ui),
        drives::ToolWindows{[this] { ++testerRequests; }, [this] { ++browserRequests; }}};
};

TEST_F(MainWindowTest, WithoutAMappingFileNothingIsCalledAfterTheOnePaint) {
    platform::SystemFileSystem().MakeFolder(dir.Path("cfg/MAPEO.INI"));  // a folder is no file
    window.Form_Load();
    for (int i = 0; i < drives::RowCount; ++i)
        EXPECT_FALSE(window.Check1[i]->Value() ||
                     (i < 9 ? Shown(window.Picture2[i]) || Shown(window.Picture3[i])
                            : Shown(window.Picture4[i - 9])));
    EXPECT_EQ(ui.yields, 1) << "the window paints once before anything is read";
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowTest, AMarkRunsTheActionNestedOnlyWhenItChangesAndAClickNeverGrays) {
    SetRow(2, "\\\\srv\\docs", "L:");
    bool insideAssignment = false;
    ui.onMsgBox = [&](const auto&) { insideAssignment = true; };
    window.Check1[2]->SetValue(1);
    EXPECT_TRUE(insideAssignment) << "the action must have run before SetValue returned";
    window.Check1[2]->SetValue(1);
    EXPECT_EQ(net.adds.size(), 1u) << "the same mark again runs nothing";
    EXPECT_THROW(window.Check1[2]->SetValue(3), drives::AppError);
    EXPECT_EQ(window.Check1[2]->Value(), 1);

    window.show();
    support::Click(window.Check1[2]);
    EXPECT_EQ(window.Check1[2]->Value(), 0);
    EXPECT_EQ(net.cancels.size(), 1u);
    ui.messages.clear();
    window.Check1[2]->SetValue(2);  // a grayed box takes the disconnect path and stays grayed
    EXPECT_THAT(ui.Texts(), ElementsAre(" Desconectado de la unidad L: satisfactoriamente"));
    EXPECT_EQ(window.Check1[2]->Value(), 2);
    support::Click(window.Check1[2]);
    EXPECT_EQ(window.Check1[2]->Value(), 0) << "a click clears a grayed box";
    EXPECT_EQ(net.adds.size(), 1u);
}

TEST_F(MainWindowTest, ConnectingSendsTheRowAsTypedAndShowsItsTextsWhole) {
    window.Form_Load();
    SetRow(8, " \\\\srv\\50%2d ", "r:");
    window.Check1[8]->SetValue(1);
    ASSERT_EQ(net.adds.size(), 1u);
    const auto& c = net.adds[0];
    EXPECT_EQ(std::tuple(c.local, c.remote),
              std::tuple(std::string("r:"), std::string(" \\\\srv\\50%2d ")))
        << "surrounding blanks reach the platform";
    EXPECT_EQ(std::tuple(c.record.dwType, c.flags, c.credentialsNull), std::tuple(1u, 1u, true));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, " Conexión realizada con éxito en  \\\\srv\\50%2d  <-> r:")
        << "a %2 in the path is no place for the device";
    EXPECT_EQ(std::tuple(ui.messages[0].style, ui.messages[0].title), std::tuple(0, QString()));
    EXPECT_TRUE(Shown(window.Picture2[8]) && !Shown(window.Picture3[8]));

    // Port rows are printers and drive rows drives, whatever their text says.
    SetRow(9, "\\\\srv\\laser", "J:");
    window.Check1[9]->SetValue(1);
    SetRow(7, "\\\\srv\\laser", "LPT2:");
    window.Check1[7]->SetValue(1);
    EXPECT_EQ(net.adds[1].record.dwType, 2u);
    EXPECT_EQ(net.adds[2].record.dwType, 1u);
    EXPECT_TRUE(Shown(window.Picture4[0]));
}

TEST_F(MainWindowTest, AFailedConnectionReportsTheNestedDisconnectFirst) {
    window.Form_Load();
    SetRow(0, "\\\\srv\\nada", "J:");
    net.addResults = {67, 53};
    net.cancelResults = {2250, 0};
    window.Check1[0]->SetValue(1);
    EXPECT_THAT(
        log.events,
        ElementsAre("add:J:|\\\\srv\\nada", "cancel:J:", "msg: ERROR al desconectar la unidad J:",
                    "msg:ERROR: 2250 - Net Disconnection Failed!",
                    "msg: ERROR al intentar realizar la conexión en \\\\srv\\nada <-> J:",
                    "msg:ERROR: 67 - No se pudo efectuar la conexión de red. - "));
    EXPECT_EQ(std::tuple(ui.messages[1].style, ui.messages[1].title),
              std::tuple(48, QStringLiteral("Share not Disconnected")));
    EXPECT_EQ(std::tuple(ui.messages[3].style, ui.messages[3].title),
              std::tuple(48, QStringLiteral("Dispositivo compartido no conectado.")));
    EXPECT_EQ(window.Check1[0]->Value(), 0);
    EXPECT_TRUE(!Shown(window.Picture2[0]) && Shown(window.Picture3[0]));

    ui.messages.clear();  // the nested disconnect succeeds this time
    window.Check1[0]->SetValue(1);
    EXPECT_THAT(ui.Texts(),
                ElementsAre(" Desconectado de la unidad J: satisfactoriamente",
                            " ERROR al intentar realizar la conexión en \\\\srv\\nada <-> J:",
                            "ERROR: 53 - No se pudo efectuar la conexión de red. - "));

    SetRow(11, "\\\\srv\\laser", "LPT3:");  // a port hides its picture before the errors
    window.Picture4[2]->show();
    net.addResults = {1222};
    bool hiddenAtFirstError = false;
    ui.onMsgBox = [&](const fakes::Message& m) {
        hiddenAtFirstError |= m.text.startsWith(" ERROR al intentar") && !Shown(window.Picture4[2]);
    };
    window.Check1[11]->SetValue(1);
    EXPECT_TRUE(hiddenAtFirstError);
}

TEST_F(MainWindowTest, ClearingSwitchesPicturesBeforeTheCallAndShowsTheCodeAsSigned) {
    window.Form_Load();
    SetRow(4, "\\\\srv\\x", "N:");
    window.Check1[4]->SetValue(1);
    ui.messages.clear();
    bool switchedBeforeCall = false;
    net.cancelResults = {0xFFFFFFFFu};
    ui.onMsgBox = [&](const auto&) {
        switchedBeforeCall = !Shown(window.Picture2[4]) && Shown(window.Picture3[4]);
    };
    window.Check1[4]->SetValue(0);
    EXPECT_TRUE(switchedBeforeCall);
    ASSERT_EQ(net.cancels.size(), 1u);
    EXPECT_EQ(std::tuple(net.cancels[0].name, net.cancels[0].flags, net.cancels[0].force),
              std::tuple(std::string("N:"), 1u, 0));
    EXPECT_THAT(ui.Texts(), ElementsAre(" ERROR al desconectar la unidad N:",
                                        "ERROR: -1 - Net Disconnection Failed!"));
}

TEST_F(MainWindowTest, AnIncompleteRowAsksForBothFieldsAndCallsNothing) {
    const char* m1 =
        "No puede intentar asignar unidades hasta que rellene los dos campos a mi izquierda.";
    SetRow(5, "   ", "O:");  // blanks only count as empty
    window.Check1[5]->SetValue(1);
    EXPECT_THAT(ui.Texts(), ElementsAre(m1, m1)) << "once for the tick, once for the reset";
    EXPECT_EQ(window.Check1[5]->Value(), 0);
    EXPECT_EQ(log.events.size(), 2u) << "no platform call";

    SetRow(6, "\\\\srv\\x", "\t");  // a tab is not a blank
    window.Check1[6]->SetValue(1);
    ui.messages.clear();
    window.TXTLOCAL[6]->setText("");
    window.Check1[6]->SetValue(0);
    EXPECT_THAT(ui.Texts(), ElementsAre(m1));
    EXPECT_TRUE(net.cancels.empty());
}

// A stored mark the box refuses is reported and the load carries on with the later rows.
TEST_F(MainWindowTest, StartUpCancelsEveryRowsDeviceThenReconnectsTheMarkedRows) {
    WriteMappingFile(
        "UNIDAD1=\\\\srv\\s1\r\nLETRA1=J:\r\nMAPEAR1=1\r\n"
        "UNIDAD2=\\\\srv\\s2\r\nLETRA2=K:\r\nMAPEAR2= 1 \r\n"
        "UNIDAD3=\\\\srv\\s3\r\nLETRA3=L:\r\nMAPEAR3=0.5\r\n"
        "UNIDAD4=\\\\srv\\s4\r\nLETRA4=M:\r\n"
        "UNIDAD5=\\\\srv\\s5\r\nLETRA5=N:\r\nMAPEAR5=7\r\n"
        "UNIDAD12=\\\\srv\\s12\r\nLETRA12=LPT3:\r\nMAPEAR12=0\r\n");
    window.Form_Load();
    std::vector<std::string> calls;
    for (const auto& e : log.events)
        if (e.rfind("msg:", 0) != 0)
            calls.push_back(e);
    ASSERT_EQ(calls.size(), 14u);
    EXPECT_THAT(std::vector(calls.begin(), calls.begin() + 7),
                ElementsAre("cancel:J:", "add:J:|\\\\srv\\s1", "cancel:K:", "add:K:|\\\\srv\\s2",
                            "cancel:L:", "cancel:M:", "cancel:N:"));
    EXPECT_EQ(calls[13], "cancel:LPT3:");
    ASSERT_EQ(ui.messages.size(), 3u) << "one success message per restored row and the refusal";
    EXPECT_EQ(ui.messages[2].text, "380\n\nEl valor de la propiedad no es válido");
    EXPECT_EQ(std::tuple(ui.messages[2].style, ui.messages[2].title),
              std::tuple(16, QStringLiteral("Inicializando copia!")));
    EXPECT_EQ(window.TXTNET[11]->text(), "\\\\srv\\s12");
}

TEST_F(MainWindowTest, ATableThatCannotBeReadIsReportedOnceAndNoRowIsTouched) {
    WriteMappingFile("");  // a section without a key
    window.Form_Load();
    EXPECT_THAT(ui.Texts(), ElementsAre("75\n\nNo se puede leer la tabla de conexiones " +
                                        QString::fromStdString(dir.Path("cfg/MAPEO.INI")) +
                                        ": no tiene ninguna clave en la sección [UNIDADES]."));
    EXPECT_EQ(window.TXTLOCAL[11]->text(), "LPT3:") << "read as empty, every row was blanked";
    EXPECT_TRUE(net.cancels.empty());
}

TEST_F(MainWindowTest, SaveWritesWhatTheFieldsShowOrSaysWhyItKeptTheOldFile) {
    SetRow(2, "\\\\srv\\Año", "L:");
    window.Check1[2]->SetValue(1);
    window.Check1[3]->SetValue(2);
    support::Click(window.Command9);
    const QByteArray ini = dir.Read("cfg/MAPEO.INI");
    EXPECT_TRUE(ini.startsWith("[UNIDADES]\r\nUNIDAD1=\\\\servidor\\unidad a conectar\r\n"));
    EXPECT_TRUE(ini.contains("UNIDAD3=" + QStringLiteral("\\\\srv\\Año").toLocal8Bit() +
                             "\r\nLETRA3=L:\r\nMAPEAR3=1\r\nUNIDAD4"))
        << "in the system's 8-bit code page";
    EXPECT_TRUE(ini.contains("MAPEAR4=0\r\n"));

    QDir(QString::fromStdString(dir.Path("cfg"))).removeRecursively();
    dir.Write("cfg", "not a folder");
    ui.messages.clear();
    window.Command9_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "75\nNo se pudo guardar el fichero " +
                  QString::fromStdString(dir.Path("cfg/MAPEO.INI")) +
                  ": ya existe.\nEl fichero anterior se conserva sin cambios.");
    EXPECT_EQ(std::tuple(ui.messages[0].style, ui.messages[0].title), std::tuple(16, QString()));
}

TEST_F(MainWindowTest, ToolButtonsDoubleClicksAndTheSupportAddressDoTheirJob) {
    window.show();
    support::Click(window.Command2);
    support::Click(window.Command3);
    support::Double_Click(window.TXTNET[7]);
    EXPECT_EQ(testerRequests, 1);
    EXPECT_EQ(browserRequests, 2);
    support::Click(window.Label16);
    EXPECT_THAT(shell.calls, ElementsAre("open mailto:soporte@mapeo.example 5"));
}

}  // namespace
