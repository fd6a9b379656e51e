// The tester window on fakes: probe reports, scans and what may happen in their yields,
// the export, the host panel and the lookups.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <functional>

#include "tcpip/tester_rig.h"

namespace {

TEST(Ping, ReplyGivesSevenLinesSilenceSixEachFromAZeroedRecordAndTheCounterWraps) {
    TesterRig rig;
    rig.Boxes(QStringLiteral(" 192.168 . 0.1"));
    rig.echo.answering = {QStringLiteral("192.168.0.1")};
    rig.w().Command1_Click();
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

TEST(FourthOctetScan, StartsAbove255DoNothingAndNegativeOnesAreProbedByTheirLowBits) {
    TesterRig rig;
    rig.Boxes(QStringLiteral("10.0.0.256"));
    rig.w().Command2_Click();
    EXPECT_TRUE(rig.Probed().isEmpty());
    rig.Boxes(QStringLiteral("10.0.0.-2"));
    rig.w().Command2_Click();
    EXPECT_EQ(rig.Probed().size(), 258);
    EXPECT_EQ(rig.Probed().first(), QStringLiteral("10.0.0.254"));
    EXPECT_EQ(rig.Log().at(1), QStringLiteral("-33554422--->10.0.0.-2"));
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

TEST(StopButton, BeforeTheProbeLets255ThroughAfterTheReportEndsAtOnceAndHidesTheShapes) {
    TesterRig before;
    before.Boxes(QStringLiteral("10.0.0.0"));
    before.AtYield(3, [&] { before.w().Command5_Click(); });
    before.w().Command4_Click();
    EXPECT_EQ(before.Probed(), QStringList({"10.0.0.0", "10.0.0.255"}));
    EXPECT_EQ(before.ui.yields, 5);
    for (QWidget* s : before.w().Shape1)
        EXPECT_TRUE(s->isHidden());
    TesterRig after;
    after.Boxes(QStringLiteral("10.0.0.0"));
    after.AtYield(2, [&] { after.w().Command5_Click(); });
    after.w().Command2_Click();
    EXPECT_EQ(after.Probed(), QStringList{QStringLiteral("10.0.0.0")});
}

TEST(NestedScan, TheInterruptedScanFinishesItsStepAtTheSharedPositionAndSkipsOn) {
    TesterRig rig;
    rig.Boxes(QStringLiteral("10.0.254.250"));
    rig.AtYield(1, [&] { rig.w().Command2_Click(); });
    rig.w().Command4_Click();
    EXPECT_EQ(rig.Probed(), Range(QStringLiteral("10.0.254."), 250, 255) +
                                QStringList{QStringLiteral("10.0.254.0")} +
                                Range(QStringLiteral("10.0.255."), 250, 255));
    EXPECT_TRUE(rig.Log().contains(QStringLiteral("16646154--->10.0.254.256")));
}

TEST(NestedScan, ABoxEditedIntoTextEndsEveryScanWithOneMessage) {
    TesterRig rig;
    rig.Boxes(QStringLiteral("10.0.254.250"));
    rig.ui.onDoEvents = [&] {
        if (rig.ui.yields == 1)
            rig.w().Command2_Click();
        if (rig.ui.yields == 3)
            rig.w().Text1[1]->setText(QStringLiteral("uno"));
    };
    rig.w().Command4_Click();
    EXPECT_EQ(rig.Probed(), QStringList{QStringLiteral("10.0.254.250")});
    EXPECT_EQ(rig.ui.messages.size(), 1u);
    rig.w().Command2_Click();
    EXPECT_EQ(rig.ui.messages.size(), 2u) << "a later scan tells again";
}

TEST(ScanYields, ClearPingAndEditsTakeEffectBetweenSteps) {
    TesterRig rig;
    rig.Boxes(QStringLiteral("10.0.0.252"));
    rig.ui.onDoEvents = [&] {
        if (rig.ui.yields == 2)
            rig.w().Command1_Click();  // a PING of 10.0.0.252 in between
        if (rig.ui.yields == 3)
            rig.w().List1_DblClick();
        if (rig.ui.yields == 3)
            rig.w().Text1[0]->setText(QStringLiteral("11"));
        if (rig.ui.yields == 5)
            rig.w().Text1[1]->setText(QStringLiteral("uno"));
    };
    rig.w().Command2_Click();
    EXPECT_EQ(rig.Probed(), QStringList({"10.0.0.252", "10.0.0.252", "11.0.0.253"}));
    EXPECT_EQ(rig.Log().filter(QStringLiteral("=Prueba")),
              QStringList{QStringLiteral("=Prueba número=====>3")})
        << "the cleared log starts afresh and the counter goes on";
    EXPECT_EQ(rig.ui.messages.size(), 1u) << "the edited box that is no number ends the scan";
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

// What a user sees of a tester after `scenario`, with or without the look-ahead.
QStringList Seen(bool lookAhead, const std::function<void(TesterRig&)>& scenario) {
    TesterRig rig(lookAhead ? TesterRig::Probes::Ahead : TesterRig::Probes::OneByOne);
    for (const char* prefix : {"10.0.0.", "11.0.0.", "10.0.5.", "10.0.254.", "10.0.255."})
        for (int n : {0, 3, 7, 200, 252, 254})
            rig.echo.answering << QString::fromLatin1(prefix) + QString::number(n);
    rig.echo.statusFor[QStringLiteral("10.0.0.9")] = 11003;
    rig.resolver.answers[QStringLiteral("ip:10.0.0.7")] = QStringLiteral("siete.oficina");
    rig.resolver.answers[QStringLiteral("ip:10.0.254.252")] = QStringLiteral("impresora");
    scenario(rig);
    QStringList seen = rig.Log() + QStringList{QStringLiteral("--")} + rig.Found();
    for (QLineEdit* box : rig.w().Text1)
        seen << box->text();
    QString shapes;
    for (QWidget* s : rig.w().Shape1)
        shapes += s->isHidden() ? u'.' : u'o';
    seen << shapes << QString::number(rig.ui.yields) << QString::number(rig.w().ProbeCounter);
    for (const auto& m : rig.ui.messages)
        seen << m.text;
    return seen;
}

TEST(LookAhead, EveryScanShowsExactlyWhatItShowsWithoutIt) {
    const auto at = [](TesterRig& rig, int yield, std::function<void()> action) {
        const auto before = rig.ui.onDoEvents;
        rig.ui.onDoEvents = [&rig, yield, action, before] {
            if (before)
                before();
            if (rig.ui.yields == yield)
                action();
        };
    };
    const std::pair<const char*, std::function<void(TesterRig&)>> scenarios[] = {
        {"fourth octet", [](TesterRig& r) { r.w().Command2_Click(); }},
        {"edits, PING and clearing the log",
         [&](TesterRig& r) {
             r.Boxes(QStringLiteral("10.0.0.190"));
             at(r, 9, [&r] { r.w().Text1[0]->setText(QStringLiteral("11")); });
             at(r, 21, [&r] { r.w().Text1[2]->setText(QStringLiteral(" 5 ")); });
             at(r, 30, [&r] { r.w().Command1_Click(); });
             at(r, 44, [&r] { r.w().List1_DblClick(); });
             at(r, 61, [&r] { r.w().Text1[3]->setText(QStringLiteral("3")); });
             r.w().Command2_Click();
         }},
        {"stop before a probe",
         [&](TesterRig& r) {
             r.Boxes(QStringLiteral("10.0.250.250"));
             at(r, 7, [&r] { r.w().Command5_Click(); });
             r.w().Command4_Click();
         }},
        {"stop after a report",
         [&](TesterRig& r) {
             r.Boxes(QStringLiteral("10.0.0.0"));
             at(r, 16, [&r] { r.w().Command5_Click(); });
             r.w().Command4_Click();
         }},
        {"a fourth-octet scan inside a two-octet scan",
         [&](TesterRig& r) {
             r.Boxes(QStringLiteral("10.0.254.248"));
             at(r, 5, [&r] { r.w().Command2_Click(); });
             r.w().Command4_Click();
         }},
        {"a box edited into text during nested scans",
         [&](TesterRig& r) {
             r.Boxes(QStringLiteral("10.0.254.250"));
             at(r, 1, [&r] { r.w().Command2_Click(); });
             at(r, 3, [&r] { r.w().Text1[1]->setText(QStringLiteral("uno")); });
             r.w().Command4_Click();
         }},
        {"two octets from a negative start",
         [](TesterRig& r) {
             r.Boxes(QStringLiteral("10.0.254.-2"));
             r.w().Command4_Click();
         }},
    };
    for (const auto& [name, scenario] : scenarios)
        EXPECT_EQ(Seen(true, scenario), Seen(false, scenario)) << name;
}

TEST(LookAhead, AScanGuessesRightAcrossThirdOctetValuesSoNothingIsSentTwice) {
    TesterRig rig(TesterRig::Probes::Ahead);
    rig.Boxes(QStringLiteral("10.0.253.250"));
    rig.w().Command4_Click();
    EXPECT_EQ(rig.events.filter(QStringLiteral("ahead:"))
                  .replaceInStrings(QStringLiteral("ahead:"), QString()),
              Range(QStringLiteral("10.0.253."), 250, 255) +
                  Range(QStringLiteral("10.0.254."), 250, 255) +
                  Range(QStringLiteral("10.0.255."), 250, 255));
}

TEST(LookAhead, NamesOfHostsThatAnsweredAheadAreAskedEarlyAndShownTheSame) {
    TesterRig rig(TesterRig::Probes::Ahead);
    rig.Boxes(QStringLiteral("10.0.0.0"));
    rig.echo.answering = {QStringLiteral("10.0.0.7"), QStringLiteral("10.0.0.9")};
    rig.resolver.answers[QStringLiteral("ip:10.0.0.7")] = QStringLiteral("siete.oficina");
    rig.w().Command2_Click();
    EXPECT_EQ(rig.resolver.asked,
              QStringList({"ahead:10.0.0.7", "ahead:10.0.0.9", "ip:10.0.0.7", "ip:10.0.0.9"}));
    EXPECT_EQ(rig.Found(), QStringList({"10.0.0.7 <-> siete.oficina", "10.0.0.9 <-> "}));
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

TEST(HostPanel, ShowsTheSnapshotAndANameOf25OrMoreLeavesTheUserEmpty) {
    TesterRig rig;
    EXPECT_EQ(QStringList({rig.w().User->text(), rig.w().IP->text(), rig.w().Host->text(),
                           rig.w().Port->text(), rig.w().Namet->text(), rig.w().Estado->text()}),
              QStringList({"maria", "192.168.0.7", "puesto-7", "0", "Winsock", "0"}));
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
