// The tester window on fakes: probe reports, scans and what may happen in their yields,
// the export, the host panel and the lookups.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <functional>
#include <optional>

#include "tcpip/tester_rig.h"

namespace {

TEST(Ping, OneEchoOfTheFixedPayloadReplyGivesSevenLinesSilenceSixAndTheCounterWraps) {
    TesterRig rig;
    rig.Boxes(QStringLiteral(" 192.168 . 0.1"));
    rig.echo.answering = {QStringLiteral("192.168.0.1")};
    rig.w().Command1_Click();
    EXPECT_EQ(rig.events,
              QStringList({"startup:0101", "open", "send:192.168.0.1", "close", "cleanup"}));
    EXPECT_EQ(std::tuple(rig.echo.request, rig.echo.options, rig.echo.bufferSize, rig.echo.timeout),
              std::tuple("Enviando sondeo", nullptr, 278u, 200u));
    rig.echo.answering.clear();
    rig.w().Command1_Click();
    EXPECT_EQ(rig.Log(), QStringList({"0 [ ip ENCONTRADA ]", "16820416--->192.168.0.1", "1 ms",
                                      "15 bytes", "Enviando sondeo", "28", "=Prueba número=====>1",
                                      "11010 [ ip TIEMPO EXCEDIDO ]", "16820416--->192.168.0.1",
                                      "0 ms", "0 bytes", "0", "=Prueba número=====>2"}));
    EXPECT_TRUE(rig.Found().isEmpty());
    EXPECT_EQ(rig.w().List1->currentIndex().row(), 12) << "the last line is selected";
    rig.w().ProbeCounter = 32767;
    rig.w().Command1_Click();
    EXPECT_EQ(rig.Log().last(), QStringLiteral("=Prueba número=====>-32768"));
    rig.w().Form_Load();
    rig.w().Command1_Click();
    EXPECT_EQ(rig.Log().last(), QStringLiteral("=Prueba número=====>1"));
}

TEST(OctetBoxes, AnythingButASixteenBitWholeNumberIsRefusedBeforeAnyProbe) {
    for (const char* bad : {"", "abc", "1a", "40000", "-32769", "3,5", "\t5", "-"}) {
        TesterRig rig;
        rig.Boxes(QStringLiteral("10.x.0.1").replace(u'x', QString::fromLatin1(bad)));
        rig.w().Command1_Click();
        rig.w().Command2_Click();
        rig.w().Command4_Click();
        EXPECT_TRUE(rig.Probed().isEmpty()) << bad;
        EXPECT_EQ(rig.ui.Texts().filter("El cuadro 2 de la dirección").size(), 3) << bad;
    }
    TesterRig rig;
    rig.Boxes(QString(5000, u'9') + QStringLiteral(".0.0.1"));
    rig.w().Command1_Click();
    EXPECT_LT(rig.ui.messages.at(0).text.size(), 300) << "a pasted text is quoted short";
    rig.Boxes(QStringLiteral("+5.-32768.32767.007"));
    rig.w().Command1_Click();
    EXPECT_EQ(rig.Probed(), QStringList{QStringLiteral("5.0.255.7")});
}

TEST(FourthOctetScan, ProbesUpTo255ListsTheAnsweringWithTheirNameAndCarriesTheRecordOver) {
    TesterRig rig;
    rig.Boxes(QStringLiteral("10.0.0.250"));
    rig.echo.answering = {QStringLiteral("10.0.0.251"), QStringLiteral("10.0.0.253")};
    rig.resolver.answers[QStringLiteral("ip:10.0.0.251")] = QStringLiteral("uno.oficina");
    int linesAtLookup = -1;
    rig.resolver.duringLookup = [&] { linesAtLookup = rig.Log().size(); };
    rig.w().Command2_Click();
    EXPECT_EQ(rig.Probed(), Range(QStringLiteral("10.0.0."), 250, 255));
    EXPECT_EQ(rig.w().Text1[3]->text(), QStringLiteral("255"));
    EXPECT_EQ(rig.ui.yields, 12);
    EXPECT_EQ(rig.Found(), QStringList({"10.0.0.251 <-> uno.oficina", "10.0.0.253 <-> "}));
    EXPECT_EQ(linesAtLookup, 6 + 7 + 7 + 4) << "the name is asked right after the size line";
    EXPECT_EQ(rig.Log().mid(6 + 7 + 3, 2), QStringList({"0 bytes", "Enviando sondeo"}))
        << "a silent probe after a reply still shows the data left in the record";
}

TEST(TwoOctetScan, RestartsTheFourthOctetAtItsStartWithAYieldPerThirdOctet) {
    TesterRig rig;
    rig.Boxes(QStringLiteral("10.0.254.254"));
    rig.w().Command4_Click();
    EXPECT_EQ(rig.Probed(), Range(QStringLiteral("10.0.254."), 254, 255) +
                                Range(QStringLiteral("10.0.255."), 254, 255));
    EXPECT_EQ(rig.ui.yields, 4 * 2 + 2);
    rig.Boxes(QStringLiteral("10.0.250.300"));
    QStringList thirds;
    rig.ui.onDoEvents = [&] { thirds << rig.w().Text1[2]->text(); };
    rig.w().Command4_Click();
    EXPECT_EQ(thirds, Range(QString(), 250, 255))
        << "a fourth start above 255 only counts the third box";
}

TEST(CloseDuringScan, TheScanEndsAndTheWindowGoesOnlyOnceEveryScanHasUnwound) {
    TesterRig rig;
    rig.Boxes(QStringLiteral("10.0.254.0"));
    bool aliveInside = false;
    rig.ui.onDoEvents = [&] {
        if (rig.ui.yields == 1)
            return rig.w().Command2_Click();
        if (rig.ui.yields != 4)
            return;
        rig.w().close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        aliveInside = !rig.window.isNull();
    };
    rig.window->Command4_Click();
    EXPECT_TRUE(aliveInside);
    EXPECT_EQ(rig.Probed().size(), 1);
    EXPECT_EQ(rig.ui.yields, 4);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(rig.window.isNull()) << "a closed tester is loaded afresh next time";
}

// What a user sees of a tester: its lists, boxes, lights, yields, counter and messages.
QStringList Seen(TesterRig& rig) {
    QStringList seen = rig.Log() + QStringList{QStringLiteral("--")} + rig.Found();
    for (QLineEdit* box : rig.w().Text1)
        seen << box->text();
    QString shapes;
    for (QWidget* s : rig.w().Shape1)
        shapes += s->isHidden() ? u'.' : u'o';
    seen << shapes << QString::number(rig.ui.yields) << QString::number(rig.w().ProbeCounter);
    return seen + rig.ui.Texts();
}

// Stops, nested scans, a PING, clearing the log and edits in a scan's yields: what each scan
// then probes, and that the look-ahead changes nothing a user sees.
TEST(ScanYields, ActBetweenStepsAndTheLookAheadChangesNothingSeen) {
    using Action = std::function<void(tcpip::FRMTCPIP&)>;
    const auto stop = [](tcpip::FRMTCPIP& w) { w.Command5_Click(); };
    const Action ping = &tcpip::FRMTCPIP::Command1_Click;
    const Action fourth = &tcpip::FRMTCPIP::Command2_Click;
    const Action two = &tcpip::FRMTCPIP::Command4_Click;
    const Action clear = &tcpip::FRMTCPIP::List1_DblClick;
    const auto box = [](int i, const char* text) {
        return [i, text](tcpip::FRMTCPIP& w) { w.Text1[i]->setText(QString::fromLatin1(text)); };
    };
    struct Case {
        const char* name;
        const char* boxes;
        Action scan;
        std::vector<std::pair<int, Action>> at;  // yield, action
        std::optional<QStringList> probed = {};  // without the look-ahead
        int messages = 0;
    };
    const Case cases[] = {
        Case("a stop before the probe lets 255 through", "10.0.0.0", two, {{3, stop}},
             QStringList{"10.0.0.0", "10.0.0.255"}),
        Case("a stop after the report ends at once", "10.0.0.0", fourth, {{2, stop}},
             QStringList{"10.0.0.0"}),
        Case("a nested scan ends its step at the shared position, the outer skips on",
             "10.0.254.250", two, {{1, fourth}},
             Range("10.0.254.", 250, 255) + QStringList{"10.0.254.0"} +
                 Range("10.0.255.", 250, 255)),
        Case("a box edited into text ends every scan with one message", "10.0.254.250", two,
             {{1, fourth}, {3, box(1, "uno")}}, QStringList{"10.0.254.250"}, 1),
        Case("a PING in between, the cleared log and the edits take effect", "10.0.0.252", fourth,
             {{2, ping}, {3, clear}, {3, box(0, "11")}, {5, box(1, "uno")}},
             QStringList{"10.0.0.252", "10.0.0.252", "11.0.0.253"}, 1),
        Case("edits that move the scan", "10.0.0.190", fourth,
             {{9, box(0, "11")}, {21, box(2, " 5 ")}, {30, ping}, {44, clear}, {61, box(3, "3")}}),
        Case("a stop before a probe of a two-octet scan", "10.0.250.250", two, {{7, stop}}),
        Case("a stop after a report of a two-octet scan", "10.0.0.0", two, {{16, stop}}),
        Case("a whole fourth octet", "10.0.0.0", fourth, {}, Range("10.0.0.", 0, 255)),
        Case("a fourth octet above 255", "10.0.0.256", fourth, {}, QStringList()),
        Case("a negative fourth octet, probed by its low bits", "10.0.0.-2", fourth, {},
             Range("10.0.0.", 254, 255) + Range("10.0.0.", 0, 255)),
        Case("two octets from a negative start", "10.0.254.-2", two, {}),
    };
    for (const auto& c : cases) {
        TesterRig plain, ahead(TesterRig::Probes::Ahead);
        for (TesterRig* rig : {&plain, &ahead}) {
            for (const char* prefix : {"10.0.0.", "11.0.0.", "10.0.5.", "10.0.254.", "10.0.255."})
                for (int n : {0, 3, 7, 200, 252, 254})
                    rig->echo.answering << QString::fromLatin1(prefix) + QString::number(n);
            rig->echo.statusFor[QStringLiteral("10.0.0.9")] = 11003;
            rig->resolver.answers[QStringLiteral("ip:10.0.0.7")] = QStringLiteral("siete.oficina");
            rig->resolver.answers[QStringLiteral("ip:10.0.254.252")] = QStringLiteral("impresora");
            rig->Boxes(QString::fromLatin1(c.boxes));
            for (const auto& [yield, action] : c.at)
                rig->At(yield, [rig, action] { action(rig->w()); });
            c.scan(rig->w());
        }
        if (c.probed) {
            EXPECT_EQ(plain.Probed(), *c.probed) << c.name;
        }
        EXPECT_TRUE(ahead.ahead.out.empty()) << c.name << ": a probe stays out after the scan";
        if (c.at.empty()) {  // nothing moves the scan: every guess is right, no probe goes twice
            EXPECT_EQ(ahead.events.filter("ahead:").replaceInStrings("ahead:", ""), plain.Probed())
                << c.name;
            EXPECT_EQ(ahead.resolver.asked.filter("ahead:").size(),
                      std::max<qsizetype>(plain.Found().size() - 1, 0))
                << c.name << ": the names of the hosts found after the first were asked early";
        }
        EXPECT_EQ(plain.ui.messages.size(), std::size_t(c.messages)) << c.name;
        EXPECT_EQ(Seen(ahead), Seen(plain)) << c.name;
        if (c.at.size() == 1 && c.at[0].second.target_type() == typeid(stop)) {
            for (QWidget* s : plain.w().Shape1)
                EXPECT_TRUE(s->isHidden()) << c.name << ": a stop hides the lights";
        }
    }
}

TEST(Export, WritesQuotedCrLfLinesInListOrderOrSaysWhyItCouldNot) {
    TesterRig rig;
    rig.w().Command3_Click();
    EXPECT_EQ(rig.dir.Read("escaner.txt"), QByteArray()) << "an empty list gives an empty file";
    rig.Boxes(QStringLiteral("10.0.0.253"));
    rig.echo.answering = {QStringLiteral("10.0.0.253"), QStringLiteral("10.0.0.255")};
    rig.resolver.answers[QStringLiteral("ip:10.0.0.255")] = QStringLiteral("ca\"sa-ñandú %2");
    rig.w().Command2_Click();
    rig.w().Command3_Click();
    EXPECT_EQ(rig.dir.Read("escaner.txt"), "\"10.0.0.253 <-> \"\r\n\"10.0.0.255 <-> ca\"sa-" +
                                               QStringLiteral("ñandú %2").toLocal8Bit() + "\"\r\n");
    EXPECT_EQ(rig.w().List2->currentIndex().row(), 1) << "the last line is left selected";
    ASSERT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_EQ(rig.ui.messages[1].text,
              "Se ha creado el fichero " + QString::fromStdString(rig.dir.Path("escaner.txt")));
    EXPECT_EQ(rig.ui.messages[1].style, platform::vbOKOnly);

    TesterRig nowhere("no-such-folder/escaner.txt");
    nowhere.w().Command3_Click();
    ASSERT_EQ(nowhere.ui.messages.size(), 1u);
    EXPECT_EQ(nowhere.ui.messages[0].style, platform::vbCritical);
    EXPECT_TRUE(nowhere.ui.messages[0].text.contains("no-such-folder/escaner.txt: no existe"));
}

// The rest of the panel, network_test checks on the system's services.
TEST(HostPanel, ANameOf25OrMoreLeavesTheUserEmpty) {
    TesterRig rig;
    for (const int length : {24, 25}) {
        rig.security.name = std::string(std::size_t(length), 'u');
        rig.w().Form_Load();
        EXPECT_EQ(rig.w().User->text(), length < 25 ? QString(length, u'u') : QString());
    }
}

TEST(Lookups, TextGoesAsTypedThePresetTextWaitsAndTheAnswerReplacesIt) {
    TesterRig rig;
    QString during;
    rig.resolver.duringLookup = [&] {
        during = rig.w().txtip->text() + u'|' + rig.w().txtdns->text();
    };
    rig.resolver.answers[QStringLiteral("dns:nombre")] = QStringLiteral("10.1.1.1");
    rig.w().Command6_Click();
    EXPECT_EQ(during, QString(13, u' ') + QStringLiteral("|nombre"));
    EXPECT_EQ(rig.w().txtip->text(), QStringLiteral("10.1.1.1"));
    rig.w().txtip->setText(QStringLiteral(" 10.0.0.99 "));
    rig.w().Command7_Click();
    EXPECT_EQ(during, QStringLiteral(" 10.0.0.99 |no encontrado"));
    EXPECT_EQ(rig.w().txtdns->text(), QString()) << "an empty answer replaces the preset text";
    EXPECT_EQ(rig.resolver.asked, QStringList({"dns:nombre", "ip: 10.0.0.99 "}));
}

}  // namespace
