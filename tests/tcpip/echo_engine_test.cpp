// The echo engine: address text to the address probed, the sockets start-up checks and the
// pace of the probes a scan sends ahead. (What one probe asks of the echo service and leaves in
// the record, and that wrong guesses are never used, window_test checks through the window.)
#include <gtest/gtest.h>

#include "fakes/desktop.h"
#include "fakes/tester.h"
#include "support/support.h"
#include "tcpip/tcpicp.h"

namespace {

using tcpip::ECHO_REPLY;
using tcpip::TCPICP;

TEST(AddressToLong, FirstOctetLowestWithPartsWrappedToEightBitsAndBadTextAsZero) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"192.168.0.1", 16820416},
        {"10.0.0.255", -16777206},
        {"192.168.0.300", 738240704},
        {"10.0.0.-1", -16777206},
        {"+10. 0 .0.1", 16777226},
        {"10.0.0.100000000000000000001", 16777226},
        {"10.0.0", 0},
        {"1.2.3.4.5", 0},
        {"10.0..1", 0},
        {"10.0.x.1", 0},
        {"10.0.-.1", 0}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(TCPICP::Address_To_Long(QString::fromLatin1(text)), value) << text;
}

struct Engine {
    QStringList events;
    fakes::FakeWindowServices ui;
    fakes::FakeEcho echo{events};
    fakes::FakeAhead ahead{echo};
    fakes::FakeWinSock sockets{events};
    TCPICP module{echo, sockets, ui};
    explicit Engine(bool lookAhead = false) {
        if (lookAhead)
            echo.ahead = &ahead;
    }
};

TEST(SocketsStartup, EachProblemHasItsMessageAndOnlyTheFirstIsShown) {
    const struct {
        int result;
        std::uint16_t version, sockets;
        int cleanup;
        const char* expected;
    } cases[] = {
        {0, 0x0101, 1, 0, ""},
        {10091, 0, 0, 0, "El entorno de  Sockets  32 bit Windows no responde."},
        {0, 0x0001, 0, 0,
         "Windows Sockets Version 1.0 is not supported by Windows Sockets for 32 bit Windows "
         "environments."},
        {0, 0x0101, 32768, 0, "This application requires a minimum of 1 supported sockets."},
        {0, 0x0101, 5, -1, "Windows Sockets error -1 occurred in Cleanup."},
    };
    for (const auto& c : cases) {
        Engine e;
        e.sockets.startupResult = c.result;
        e.sockets.version = c.version;
        e.sockets.maxSockets = c.sockets;
        e.sockets.cleanupResult = c.cleanup;
        e.module.Sockets_Initialize();
        e.module.Sockets_Cleanup();
        EXPECT_EQ(e.ui.Texts().join(u'|'), QString::fromLatin1(c.expected));
        EXPECT_EQ(e.events.first(), QStringLiteral("startup:0101"));
    }
}

TEST(LookAhead, GuessedProbesGoOutOnePerMillisecondNeverMoreThanTheWindow) {
    Engine e(true);
    e.ahead.silenceMs = 1000;  // long silences: the window, not the time-out, bounds what is out
    QStringList hosts;
    for (int i = 256; i < 256 + 356; ++i)
        hosts << "10.0." + QString::number(i / 256) + '.' + QString::number(i % 256);
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
    EXPECT_EQ(e.events.filter("ahead:").size(), hosts.size()) << "each sent once";
    EXPECT_TRUE(e.events.filter("send:").isEmpty());
    EXPECT_LT(e.ahead.now - 1000, std::uint64_t(hosts.size()) * 1000 / 50)
        << "the silences overlap instead of adding up";
}

}  // namespace
