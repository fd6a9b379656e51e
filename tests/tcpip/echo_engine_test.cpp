// The echo engine: address text to the address probed, a failed sockets start-up and the
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
        {"10.0.0.255", -16777206}, {"192.168.0.300", 738240704}, {"10.0..1", 0}};
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
};

TEST(SocketsStartup, AFailedStartupShowsItsOwnMessageOnlyAndAsksForVersionOneOne) {
    Engine e;
    e.sockets.startupResult = 10091;
    e.sockets.version = 0;  // a failed start-up leaves the rest unset: no second message for it
    e.sockets.maxSockets = 0;
    e.module.Sockets_Initialize();
    e.module.Sockets_Cleanup();
    EXPECT_EQ(e.ui.Texts(), QStringList{"El entorno de  Sockets  32 bit Windows no responde."});
    EXPECT_EQ(e.events.first(), QStringLiteral("startup:0101"));
}

TEST(LookAhead, GuessedProbesGoOutOnePerMillisecondNeverMoreThanTheWindow) {
    Engine e;
    e.echo.ahead = &e.ahead;
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
