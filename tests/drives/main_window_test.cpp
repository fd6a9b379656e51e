// The main window's rows, its connect action and its start-up, against fake services.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTest>

#include "drives/apperror.h"
#include "drives/frmmain.h"
#include "platform/filesystem.h"
#include "platform/profile.h"
#include "support/fakes.h"
#include "support/tempdir.h"

namespace {

using testing::ElementsAre;
using testing_support::EventLog;
using testing_support::FakeNetConnections;
using testing_support::FakeShell;
using testing_support::FakeWindowServices;
using testing_support::TempDir;

const QString AppTitle;  // an empty title means the application's own

class MainWindowTest : public testing::Test {
protected:
    MainWindowTest()
        : ui(&log),
          net(&log),
          window(drives::MainServices{platform::SystemProfileFile(),
                                      platform::SystemFileSystem(),
                                      net,
                                      shell,
                                      ui,
                                      {dir.Path("cfg"), dir.Path("cfg/MAPEO.INI"),
                                       dir.Path("cfg/MAPEO.BAK")}},
                 drives::ToolWindows{[this] { ++testerRequests; }, [this] { ++browserRequests; }}) {
    }

    void WriteMappingFile(const QByteArray& body) {
        platform::SystemFileSystem().MakeFolder(dir.Path("cfg"));
        dir.Write("cfg/MAPEO.INI", "[UNIDADES]\r\n" + body);
    }
    void SetRow(int i, const QString& path, const QString& device) {
        window.TXTNET[i]->setText(path);
        window.TXTLOCAL[i]->setText(device);
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& m : ui.messages)
            t.push_back(m.text.toStdString());
        return t;
    }
    static bool Shown(QWidget* w) { return !w->isHidden(); }

    TempDir dir;
    EventLog log;
    FakeWindowServices ui;
    FakeNetConnections net;
    FakeShell shell;
    int testerRequests = 0;
    int browserRequests = 0;
    drives::frmMain window;
};

TEST_F(MainWindowTest, WithoutAMappingFileTheDesignTableShowsAndNothingIsCalled) {
    window.Form_Load();
    EXPECT_EQ(window.TXTNET[0]->text(), "\\\\servidor\\unidad a conectar");
    EXPECT_EQ(window.TXTNET[5]->text(), " ");
    EXPECT_EQ(window.TXTLOCAL[0]->text(), "J:");
    EXPECT_EQ(window.TXTLOCAL[8]->text(), "R:");
    EXPECT_EQ(window.TXTLOCAL[9]->text(), "LPT1:");
    EXPECT_EQ(window.TXTLOCAL[11]->text(), "LPT3:");
    for (int i = 0; i < drives::RowCount; ++i)
        EXPECT_EQ(window.Check1[i]->Value(), 0);
    for (int i = 0; i < 9; ++i)
        EXPECT_FALSE(Shown(window.Picture2[i]) || Shown(window.Picture3[i]));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(Shown(window.Picture4[i]));
    EXPECT_EQ(ui.yields, 1) << "the window paints once before anything is read";
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowTest, ControlsCarryTheirNamesForTestsAndScreenReaders) {
    EXPECT_EQ(window.TXTNET[3]->objectName(), "TXTNET(3)");
    EXPECT_EQ(window.TXTNET[3]->accessibleDescription(), "TXTNET(3)");
    EXPECT_EQ(window.Check1[11]->accessibleDescription(), "Check1(11)");
    EXPECT_EQ(window.Picture4[2]->objectName(), "Picture4(2)");
    EXPECT_EQ(window.Command9->text(), "&Guardar Cambios");
    EXPECT_EQ(window.Command2->text(), "&Testea la red");
    EXPECT_EQ(window.Command3->text(), "Explorar la red");
    EXPECT_EQ(window.findChild<QWidget*>("Check1(4)"), window.Check1[4]);
    EXPECT_FALSE(window.Check1[4]->accessibleName().isEmpty());
    EXPECT_EQ(window.TXTNET[0]->toolTip(),
              "Haga doble cllic sobre el cuadro para ver los recursos disponibles en la red");
}

TEST_F(MainWindowTest, MarkAssignmentRunsTheActionOnlyOnAChangeAndNested) {
    SetRow(0, "\\\\srv\\docs", "J:");
    bool insideAssignment = false;
    ui.onMsgBox = [&](const auto&) { insideAssignment = true; };
    window.Check1[0]->SetValue(1);
    EXPECT_TRUE(insideAssignment) << "the action must have run before SetValue returned";
    EXPECT_EQ(net.adds.size(), 1u);
    window.Check1[0]->SetValue(1);
    EXPECT_EQ(net.adds.size(), 1u) << "the same mark again runs nothing";
    EXPECT_THROW(window.Check1[0]->SetValue(3), drives::AppError);
    EXPECT_EQ(window.Check1[0]->Value(), 1);
}

TEST_F(MainWindowTest, AClickTicksAndClearsAndAGrayedBoxClearsOnClick) {
    SetRow(2, "\\\\srv\\docs", "L:");
    window.show();
    QTest::mouseClick(window.Check1[2], Qt::LeftButton);
    EXPECT_EQ(window.Check1[2]->Value(), 1);
    EXPECT_EQ(net.adds.size(), 1u);
    QTest::mouseClick(window.Check1[2], Qt::LeftButton);
    EXPECT_EQ(window.Check1[2]->Value(), 0);
    EXPECT_EQ(net.cancels.size(), 1u);
    window.Check1[2]->SetValue(2);
    QTest::mouseClick(window.Check1[2], Qt::LeftButton);
    EXPECT_EQ(window.Check1[2]->Value(), 0) << "a click never produces the grayed mark";
}

TEST_F(MainWindowTest, ConnectingADriveSendsTheRowAsTypedAndShowsOneMessage) {
    window.Form_Load();
    SetRow(8, " \\\\srv\\docs ", "r:");
    window.Check1[8]->SetValue(1);
    ASSERT_EQ(net.adds.size(), 1u);
    const auto& c = net.adds[0];
    EXPECT_EQ(c.local, "r:");
    EXPECT_EQ(c.remote, " \\\\srv\\docs ") << "surrounding blanks reach the platform";
    EXPECT_EQ(c.record.dwScope, 2u);
    EXPECT_EQ(c.record.dwType, 1u);
    EXPECT_EQ(c.record.dwDisplayType, 3u);
    EXPECT_EQ(c.record.dwUsage, 1u);
    EXPECT_EQ(c.record.lpComment, nullptr);
    EXPECT_EQ(c.record.lpProvider, nullptr);
    EXPECT_TRUE(c.passwordNull && c.userNull);
    EXPECT_EQ(c.flags, 1u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, " Conexión realizada con éxito en  \\\\srv\\docs  <-> r:");
    EXPECT_EQ(ui.messages[0].style, 0);
    EXPECT_EQ(ui.messages[0].title, AppTitle);
    EXPECT_TRUE(Shown(window.Picture2[8]));
    EXPECT_FALSE(Shown(window.Picture3[8]));
    EXPECT_EQ(window.Check1[8]->Value(), 1);
}

TEST_F(MainWindowTest, AFailedDriveConnectionReportsTheNestedDisconnectFirst) {
    window.Form_Load();
    SetRow(0, "\\\\srv\\nada", "J:");
    net.addResults = {67};
    net.cancelResults = {2250};
    window.Check1[0]->SetValue(1);
    EXPECT_THAT(
        log.events,
        ElementsAre("add:J:|\\\\srv\\nada", "cancel:J:", "msg: ERROR al desconectar la unidad J:",
                    "msg:ERROR: 2250 - Net Disconnection Failed!",
                    "msg: ERROR al intentar realizar la conexión en \\\\srv\\nada <-> J:",
                    "msg:ERROR: 67 - No se pudo efectuar la conexión de red. - "));
    EXPECT_EQ(ui.messages[1].style, 48);
    EXPECT_EQ(ui.messages[1].title, "Share not Disconnected");
    EXPECT_EQ(ui.messages[3].style, 48);
    EXPECT_EQ(ui.messages[3].title, "Dispositivo compartido no conectado.");
    EXPECT_EQ(window.Check1[0]->Value(), 0);
    EXPECT_FALSE(Shown(window.Picture2[0]));
    EXPECT_TRUE(Shown(window.Picture3[0]));
}

TEST_F(MainWindowTest, AFailedConnectionThatDropsAnOldOneSaysSoBeforeItsOwnError) {
    SetRow(1, "\\\\srv\\b", "K:");
    net.addResults = {53};
    net.cancelResults = {0};
    window.Check1[1]->SetValue(1);
    EXPECT_THAT(Texts(), ElementsAre(" Desconectado de la unidad K: satisfactoriamente",
                                     " ERROR al intentar realizar la conexión en \\\\srv\\b <-> K:",
                                     "ERROR: 53 - No se pudo efectuar la conexión de red. - "));
}

TEST_F(MainWindowTest, PortRowsAreRequestedAsPrintersWhateverTheirText) {
    window.Form_Load();
    SetRow(9, "\\\\srv\\laser", "J:");  // a drive letter typed into a port row
    window.Check1[9]->SetValue(1);
    ASSERT_EQ(net.adds.size(), 1u);
    EXPECT_EQ(net.adds[0].record.dwType, 2u);
    EXPECT_TRUE(Shown(window.Picture4[0]));

    SetRow(7, "\\\\srv\\laser", "LPT2:");  // and a port typed into a drive row
    window.Check1[7]->SetValue(1);
    EXPECT_EQ(net.adds[1].record.dwType, 1u);
    EXPECT_TRUE(Shown(window.Picture2[7]));
}

TEST_F(MainWindowTest, AFailedPortConnectionHidesItsPictureBeforeTheErrors) {
    window.Form_Load();
    SetRow(11, "\\\\srv\\laser", "LPT3:");
    window.Picture4[2]->show();
    net.addResults = {1222};
    net.cancelResults = {2250};
    bool hiddenAtFirstError = false;
    ui.onMsgBox = [&](const testing_support::Message& m) {
        if (m.text.startsWith(" ERROR al intentar"))
            hiddenAtFirstError = !Shown(window.Picture4[2]);
    };
    window.Check1[11]->SetValue(1);
    EXPECT_TRUE(hiddenAtFirstError);
    EXPECT_EQ(Texts().back(), "ERROR: 1222 - No se pudo efectuar la conexión de red. - ");
    EXPECT_EQ(window.Check1[11]->Value(), 0);
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
    EXPECT_EQ(net.cancels[0].name, "N:");
    EXPECT_EQ(net.cancels[0].flags, 1u);
    EXPECT_EQ(net.cancels[0].force, 0);
    EXPECT_THAT(Texts(), ElementsAre(" ERROR al desconectar la unidad N:",
                                     "ERROR: -1 - Net Disconnection Failed!"));
    EXPECT_EQ(window.Check1[4]->Value(), 0);
}

TEST_F(MainWindowTest, AGrayedMarkTakesTheDisconnectPathAndStaysGrayed) {
    SetRow(3, "\\\\srv\\x", "M:");
    window.Check1[3]->SetValue(2);
    EXPECT_TRUE(net.adds.empty());
    EXPECT_THAT(Texts(), ElementsAre(" Desconectado de la unidad M: satisfactoriamente"));
    EXPECT_EQ(window.Check1[3]->Value(), 2);
}

TEST_F(MainWindowTest, AnIncompleteRowAsksForBothFieldsTwiceWhenTicked) {
    window.Form_Load();
    SetRow(5, "   ", "O:");  // blanks only count as empty
    window.Check1[5]->SetValue(1);
    const char* m1 =
        "No puede intentar asignar unidades hasta que rellene los dos campos a mi izquierda.";
    EXPECT_THAT(Texts(), ElementsAre(m1, m1));
    EXPECT_EQ(window.Check1[5]->Value(), 0);
    EXPECT_TRUE(log.events.size() == 2) << "no platform call";
    EXPECT_FALSE(Shown(window.Picture3[5])) << "pictures unchanged";

    ui.messages.clear();
    SetRow(6, "\\\\srv\\x", "\t");  // a tab is not a blank
    window.Check1[6]->SetValue(1);
    EXPECT_EQ(net.adds.size(), 1u);
}

TEST_F(MainWindowTest, ClearingAnIncompleteRowShowsTheAskOnceAndDisconnectsNothing) {
    SetRow(0, "\\\\srv\\x", "J:");
    window.Check1[0]->SetValue(1);
    ui.messages.clear();
    window.TXTLOCAL[0]->setText("");
    window.Check1[0]->SetValue(0);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(net.cancels.empty());
}

TEST_F(MainWindowTest, StartUpCancelsEveryStoredDeviceThenReconnectsTheMarkedRows) {
    QByteArray body;
    const char* marks[] = {"1", " 1 ", "1.4", "0.5", "", "0", "0", "0", "0", "0", "0", "0"};
    for (int n = 1; n <= 12; ++n) {
        body += "UNIDAD" + QByteArray::number(n) + "=\\\\srv\\s" + QByteArray::number(n) + "\r\n";
        body += "LETRA" + QByteArray::number(n) + "=" +
                (n <= 9 ? QByteArray(1, char('I' + n)) + ":"
                        : "LPT" + QByteArray::number(n - 9) + ":") +
                "\r\n";
        if (n != 5)
            body += "MAPEAR" + QByteArray::number(n) + "=" + marks[n - 1] + "\r\n";
    }
    WriteMappingFile(body);
    window.Form_Load();
    std::vector<std::string> calls;
    for (const auto& e : log.events)
        if (e.rfind("msg:", 0) != 0)
            calls.push_back(e);
    ASSERT_EQ(calls.size(), 15u);
    EXPECT_EQ(calls[0], "cancel:J:");
    EXPECT_EQ(calls[1], "add:J:|\\\\srv\\s1");
    EXPECT_EQ(calls[2], "cancel:K:");
    EXPECT_EQ(calls[3], "add:K:|\\\\srv\\s2");
    EXPECT_EQ(calls[5], "add:L:|\\\\srv\\s3");
    EXPECT_EQ(calls[6], "cancel:M:");
    EXPECT_EQ(calls[14], "cancel:LPT3:");
    EXPECT_EQ(net.cancels[0].flags, 1u);
    EXPECT_EQ(net.cancels[0].force, 0);
    EXPECT_EQ(ui.messages.size(), 3u) << "one success message per restored row, nothing else";
    EXPECT_EQ(window.TXTNET[11]->text(), "\\\\srv\\s12");
    EXPECT_EQ(window.Check1[3]->Value(), 0);
}

TEST_F(MainWindowTest, AStoredMarkTheBoxRefusesIsReportedAndTheLoadCarriesOn) {
    WriteMappingFile(
        "UNIDAD1=\\\\srv\\a\r\nLETRA1=J:\r\nMAPEAR1=7\r\n"
        "UNIDAD2=\\\\srv\\b\r\nLETRA2=K:\r\nMAPEAR2=1.5\r\n"
        "UNIDAD3=\\\\srv\\c\r\nLETRA3=L:\r\nMAPEAR3=99999\r\n");
    window.Form_Load();
    ASSERT_GE(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0].text, "380\n\nEl valor de la propiedad no es válido");
    EXPECT_EQ(ui.messages[0].style, 16);
    EXPECT_EQ(ui.messages[0].title, "Inicializando copia!");
    // 1.5 rounds to 2: grayed, through the disconnect path.
    EXPECT_EQ(window.Check1[1]->Value(), 2);
    EXPECT_EQ(ui.messages[1].text, " Desconectado de la unidad K: satisfactoriamente");
    EXPECT_EQ(ui.messages[2].text, "6\n\nDesbordamiento");
    EXPECT_EQ(window.TXTLOCAL[3]->text(), "") << "later rows still load";
    EXPECT_EQ(net.cancels.size(), 13u) << "every row's device is cancelled (K: twice)";
}

TEST_F(MainWindowTest, AMarkedRowWithABlankDeviceAsksTwiceDuringStartUp) {
    WriteMappingFile("UNIDAD1=\\\\srv\\a\r\nLETRA1=\r\nMAPEAR1=1\r\n");
    window.Form_Load();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, ui.messages[1].text);
    EXPECT_EQ(window.Check1[0]->Value(), 0);
}

TEST_F(MainWindowTest, SaveWritesWhatTheFieldsShowAndReloadsTheSame) {
    SetRow(2, "\\\\srv\\Año", "L:");
    window.Check1[2]->SetValue(1);
    window.Check1[3]->SetValue(2);
    QTest::mouseClick(window.Command9, Qt::LeftButton);
    const QByteArray ini = dir.Read("cfg/MAPEO.INI");
    EXPECT_TRUE(ini.startsWith("[UNIDADES]\r\nUNIDAD1=\\\\servidor\\unidad a conectar\r\n"));
    EXPECT_TRUE(ini.contains("UNIDAD3=\\\\srv\\A\xC3\xB1o\r\nLETRA3=L:\r\nMAPEAR3=1\r\n"));
    EXPECT_TRUE(ini.contains("MAPEAR4=0\r\n"));
}

TEST_F(MainWindowTest, ToolButtonsAndDoubleClicksOpenTheTools) {
    window.show();
    QTest::mouseClick(window.Command2, Qt::LeftButton);
    EXPECT_EQ(testerRequests, 1);
    QTest::mouseClick(window.Command3, Qt::LeftButton);
    QTest::mouseDClick(window.TXTNET[7], Qt::LeftButton);
    EXPECT_EQ(browserRequests, 2);
}

TEST_F(MainWindowTest, TheSupportAddressOpensAMailLinkThroughTheShell) {
    window.show();
    QTest::mouseClick(window.Label16, Qt::LeftButton);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].operation, "open");
    EXPECT_EQ(shell.calls[0].file, "mailto:soporte@mapeo.example");
    EXPECT_TRUE(shell.calls[0].paramsNull && shell.calls[0].dirNull);
    EXPECT_EQ(shell.calls[0].show, 5);
}

}  // namespace
