// The echo engine: address text to the address probed, status lines, the sockets start-up
// checks, and what one probe asks of the echo service and leaves in the caller's record.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "tcpip/fakes.h"

namespace {

using namespace tcpip_testing;
using tcpip::ECHO_REPLY;
using tcpip::TCPICP;

TEST(AddressToLong, FirstOctetLowestWithPartsWrappedToEightBitsAndBadTextAsZero) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"192.168.0.1", 16820416},
        {"127.0.0.1", 16777343},
        {"10.0.0.255", -16777206},
        {"192.168.0.200", -939480896},
        {"192.168.0.300", 738240704},
        {"192.168.0.44", 738240704},
        {"10.0.0.-1", -16777206},
        {"+10. 0 .0.1", 16777226},
        {"10.0.0.100000000000000000001", 16777226},
        {"10.0.0", 0},
        {"1.2.3.4.5", 0},
        {"", 0},
        {"10.0..1", 0},
        {"10.0.x.1", 0},
        {"10.0.-.1", 0}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(TCPICP::Address_To_Long(QString::fromLatin1(text)), value) << text;
}

TEST(EchoStatusText, EveryRowOfTheTableAndUnknownCodesWithTheirNumber) {
    const QStringList rows =
        QStringLiteral(
            "0 ip ENCONTRADA|200 ping FUERA DE TIEMPO|11001 ip BUFFER MUY PEQUEÑO|11002 ip NET NO "
            "ENCONTRADA|11003 ip HOST NO ENCONTRADO|11004 ip PROT NO ENCONTRADO|11005 ip PORT NO "
            "ENCONTRADO|11006 ip SIN RECURSOS|11007 ip OPCION ERRONEA|11008 ip HARDWARE "
            "ERROR|11009 ip "
            "PAQUETE MUY GRANDE|11010 ip TIEMPO EXCEDIDO|11011 ip PETICION ERROREA|11012 ip MAL "
            "ENRUTAMIENTO|11013 ip TIEMPO TTL EXCEDIDO|11014 ip TIEMPO TTL SIN ENCONTRAR "
            "HOST|11015 ip "
            "PROBLEMAS EN PARAMETROS|11016 ip FUENTE CON PROBLEMAS|11017 ip MUY GRANDE|11018 ip "
            "ERROR EN "
            "DESTINO|11019 ip DIRECCION BORRADA|11020 ip spec mtu change|11021 ip mtu_change|11022 "
            "ip "
            "unload|11023 ip addr added|11050 ip FALLO GENERAL|11255 ip PENDIENTE|11024 ERROR: NO "
            "TENGO "
            "NI FLOWERS|5 ERROR: NO TENGO NI FLOWERS|-1 ERROR: NO TENGO NI FLOWERS")
            .split(u'|');
    for (const QString& row : rows) {
        const qsizetype blank = row.indexOf(u' ');
        EXPECT_EQ(
            TCPICP::Echo_Status_Text(row.left(blank).toInt()),
            row.left(blank) + QStringLiteral(" [ ") + row.mid(blank + 1) + QStringLiteral(" ]"));
    }
}

struct Engine {
    QStringList events;
    testing_support::FakeWindowServices ui;
    FakeEcho echo{events};
    FakeAhead ahead{echo};
    FakeWinSock sockets{events};
    TCPICP module{echo, sockets, ui};
    explicit Engine(bool lookAhead = false) {
        if (lookAhead)
            echo.ahead = &ahead;
    }
    QStringList Events(const QString& prefix) const {
        return events.filter(QRegularExpression(u'^' + prefix));
    }
    QStringList Messages() const {
        QStringList out;
        for (const auto& m : ui.messages)
            out << QString::number(m.style) + u':' + m.text;
        return out;
    }
};

TEST(SocketsStartup, EachProblemHasItsMessageAndOnlyTheFirstIsShown) {
    struct Case {
        int result;
        std::uint16_t version, sockets;
        int cleanup;
        QString expected;
    };
    const Case cases[] = {
        {0, 0x0101, 1, 0, {}},
        {10091, 0x0000, 0, 0,
         QStringLiteral("0:El entorno de  Sockets  32 bit Windows no responde.")},
        {0, 0x0001, 0, 0,
         QStringLiteral(
             "48:Windows Sockets Version 1.0 is not supported by Windows Sockets for 32 bit "
             "Windows environments.")},
        {0, 0x0101, 0, 0,
         QStringLiteral("48:This application requires a minimum of 1 supported sockets.")},
        {0, 0x0101, 32768, 0,
         QStringLiteral("48:This application requires a minimum of 1 supported sockets.")},
        {0, 0x0101, 5, -1, QStringLiteral("48:Windows Sockets error -1 occurred in Cleanup.")},
    };
    for (const Case& c : cases) {
        Engine e;
        e.sockets.startupResult = c.result;
        e.sockets.version = c.version;
        e.sockets.maxSockets = c.sockets;
        e.sockets.cleanupResult = c.cleanup;
        e.module.Sockets_Initialize();
        e.module.Sockets_Cleanup();
        EXPECT_EQ(e.Messages(), c.expected.isEmpty() ? QStringList() : QStringList{c.expected});
        EXPECT_EQ(e.events.first(), QStringLiteral("startup:0101"));
    }
}

TEST(SendEcho, OneEchoOfTheFixedPayloadBetweenStartupAndCleanup) {
    Engine e;
    ECHO_REPLY r{};
    e.module.Send_Echo(QStringLiteral("10.0.0.300"), r);
    EXPECT_EQ(e.events,
              QStringList({"startup:0101", "open", "send:10.0.0.44", "close", "cleanup"}));
    EXPECT_EQ(e.echo.request, "Enviando sondeo");
    EXPECT_EQ(e.echo.options, nullptr);
    EXPECT_EQ(e.echo.bufferSize, 278u);
    EXPECT_EQ(e.echo.timeout, 200u);
}

TEST(SendEcho, ReplyFillsTheRecordAndSilenceKeepsWhatWasNotWritten) {
    Engine e;
    e.echo.answering = {QStringLiteral("10.1.2.3")};
    ECHO_REPLY r{};
    e.module.Send_Echo(QStringLiteral("10.1.2.3"), r);
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.DataSize, 15);
    EXPECT_STREQ(r.Data, "Enviando sondeo");
    EXPECT_EQ(tcpip::Address_Value(r), TCPICP::Address_To_Long(QStringLiteral("10.1.2.3")));
    r.Reserved = 77;
    e.module.Send_Echo(QStringLiteral("10.1.2.4"), r);
    EXPECT_EQ(r.Status, 11010);
    EXPECT_EQ(r.DataSize, 0);
    EXPECT_STREQ(r.Data, "Enviando sondeo");
    EXPECT_EQ(r.DataPointer, 28);
    EXPECT_EQ(r.Reserved, 77);
}

TEST(SendEcho, NoEchoAtAllIsNeverFoundAndIsExplainedOnce) {
    Engine e;
    e.echo.createFails = true;
    ECHO_REPLY r{};
    for (int i = 0; i < 3; ++i)
        e.module.Send_Echo(QStringLiteral("10.1.2.3"), r);
    EXPECT_EQ(r.Status, 11050);
    ASSERT_EQ(e.ui.messages.size(), 1u);
    EXPECT_TRUE(e.ui.messages[0].text.contains(QStringLiteral("sin permiso para ICMP")));

    Engine silent;  // a service that fails without writing the record
    silent.echo.writeNothing = true;
    r.DataSize = 15;
    r.Status = 0;
    silent.module.Send_Echo(QStringLiteral("10.1.2.3"), r);
    EXPECT_EQ(r.Status, 11050);
    EXPECT_EQ(r.DataSize, 0);
}

TEST(LookAhead, GuessedProbesGoOutOnePerMillisecondNeverMoreThanTheWindow) {
    Engine e(true);
    e.ahead.silenceMs = 1000;  // long silences: the window, not the time-out, bounds what is out
    const QStringList hosts =
        Range(QStringLiteral("10.0.1."), 0, 255) + Range(QStringLiteral("10.0.2."), 0, 99);
    ECHO_REPLY r{};
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        e.module.Look_Ahead(hosts.mid(i + 1));
        e.module.Send_Echo(hosts[i], r);
        ASSERT_EQ(r.Status, 11010) << hosts[i].toStdString();
    }
    EXPECT_EQ(e.ahead.mostOut, std::size_t(tcpip::LookAheadWindow));
    int crowded = 0;
    for (const auto& [tick, sends] : e.ahead.sendsAt)
        crowded += sends > 1;
    EXPECT_EQ(crowded, 0) << "two probes in one millisecond";
    EXPECT_EQ(e.Events(QStringLiteral("ahead:")).size(), hosts.size()) << "each sent once";
    EXPECT_TRUE(e.Events(QStringLiteral("send:")).isEmpty());
    EXPECT_LT(e.ahead.now - 1000, std::uint64_t(hosts.size()) * 1000 / 50)
        << "the silences overlap instead of adding up";
}

TEST(LookAhead, HoldsForOneProbeOnlyAndWrongGuessesAreDroppedNotUsed) {
    Engine e(true);
    e.echo.answering = {QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.5")};
    ECHO_REPLY r{};
    e.module.Look_Ahead({QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.3")});
    e.module.Send_Echo(QStringLiteral("10.0.0.1"), r);
    EXPECT_EQ(e.Events(QStringLiteral("ahead:")),
              QStringList({"ahead:10.0.0.1", "ahead:10.0.0.2", "ahead:10.0.0.3"}));
    // A PING in between: one probe of its own, sent at once, though its address is out.
    e.module.Send_Echo(QStringLiteral("10.0.0.2"), r);
    EXPECT_EQ(e.Events(QStringLiteral("send:")), QStringList{"send:10.0.0.2"});
    EXPECT_EQ(r.Status, 0);
    // The boxes changed: the step needs 10.0.0.5, and what was out for the guess goes.
    e.module.Look_Ahead({});
    e.module.Send_Echo(QStringLiteral("10.0.0.5"), r);
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(tcpip::Address_Value(r), TCPICP::Address_To_Long(QStringLiteral("10.0.0.5")));
    EXPECT_TRUE(e.ahead.out.empty());
    e.module.Look_Ahead({QStringLiteral("10.0.0.9")});
    e.module.Send_Echo(QStringLiteral("10.0.0.8"), r);
    e.module.End_Look_Ahead();
    EXPECT_TRUE(e.ahead.out.empty()) << "the scan is over: nothing stays out";
}

}  // namespace
