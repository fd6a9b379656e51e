// The tester's services against real packets and a real name server, inside the network
// namespaces that network_fixture.sh builds; every address used here lives there. The script
// runs this binary once per set-up and names it in MAPEO_TC_MODE.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <thread>

#include "platform/linux/resolver_cares.h"
#include "platform/paths.h"
#include "tcpip/tester_rig.h"

namespace {

using namespace platform;
using Outcome = CaresResolver::Outcome;

IPAddr Ip(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

struct Result {
    DWORD replies = 0;
    ICMP_ECHO_REPLY32 header{};
    std::uint8_t buffer[278];
};

// One echo through the system service into a buffer whose data area holds 0x5A bytes.
Result Echo(const char* to) {
    Result r;
    std::memset(r.buffer, 0x5A, sizeof r.buffer);
    const HANDLE h = SystemIcmpEcho().IcmpCreateFile();
    char request[] = "Enviando sondeo";
    r.replies = SystemIcmpEcho().IcmpSendEcho(h, Ip(to), request, 15, nullptr, r.buffer, 278, 200);
    SystemIcmpEcho().IcmpCloseHandle(h);
    std::memcpy(&r.header, r.buffer, sizeof r.header);
    return r;
}

bool CanOpen(int type) {
    const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
    return fd >= 0 && ::close(fd) == 0;
}

// A tester window on the system's services, with messages recorded instead of shown.
struct RealTester {
    fakes::FakeWindowServices ui;
    tcpip::FRMTCPIP* w = new tcpip::FRMTCPIP({SystemIcmpEcho(), SystemWinSock(), SystemSecurity(),
                                              SystemNameResolver(), SystemWinsockControl(),
                                              SystemFileSystem(), ui, platform::ScanExportPath()});
    RealTester() { w->Form_Load(); }
    ~RealTester() { delete w; }
    QStringList Scan(const QString& dotted) {
        for (int i = 0; i < 4; ++i)
            w->Text1[i]->setText(dotted.section(u'.', i, i));
        w->Command2_Click();
        return TesterRig::Lines(w->List2Lines());
    }
};

TEST(SocketKind, IsTheOneThisRunIsAbout) {
    const QByteArray mode = qgetenv("MAPEO_TC_MODE");
    ASSERT_TRUE(mode == "datagram" || mode == "raw" || mode == "none") << "run network_fixture.sh";
    EXPECT_EQ(CanOpen(SOCK_DGRAM), mode == "datagram");
    EXPECT_EQ(CanOpen(SOCK_RAW), mode == "raw");
}

TEST(Echo, AnsweringHostsEchoThePayloadAndNothingMore) {
    for (const char* to : {"10.231.0.2", "127.0.0.1", "127.1.2.3"}) {
        const Result r = Echo(to);
        EXPECT_EQ(r.replies, 1u) << to;
        EXPECT_EQ(r.header.Status, 0) << to;
        EXPECT_EQ(r.header.Address, Ip(to));
        EXPECT_EQ(r.header.DataSize, 15);
        EXPECT_EQ(std::memcmp(r.buffer + 28, "Enviando sondeo", 15), 0);
        EXPECT_EQ(r.buffer[28 + 15], 0x5A) << "bytes after the echoed data keep their value";
    }
}

TEST(Echo, EachFailureHasItsStatus) {
    const std::pair<const char*, DWORD> cases[] = {
        {"10.231.0.77", IP_REQ_TIMED_OUT},         // on the link, nobody owns it
        {"10.232.0.5", IP_DEST_HOST_UNREACHABLE},  // the router's "unreachable" route
        {"10.233.0.5", IP_DEST_NET_UNREACHABLE},   // no route at the router
        {"10.234.0.5", IP_DEST_HOST_UNREACHABLE},  // local "unreachable" route
        {"10.235.0.5", IP_DEST_HOST_UNREACHABLE},  // local "prohibit" route
        {"10.236.0.5", IP_DEST_NET_UNREACHABLE},   // local "throw" route
        {"0.0.0.0", IP_BAD_DESTINATION},          {"255.255.255.255", IP_BAD_DESTINATION},
        {"10.231.0.255", IP_BAD_DESTINATION},     {"127.255.255.255", IP_BAD_DESTINATION}};
    for (const auto& [to, status] : cases) {
        const Result r = Echo(to);
        EXPECT_EQ(r.header.Status, std::int32_t(status)) << to;
        EXPECT_EQ(r.header.DataSize, 0) << to;
        EXPECT_EQ(r.buffer[28], 0x5A) << to;
    }
    EXPECT_EQ(Echo("10.232.0.5").header.Address, Ip("10.231.0.2")) << "the router that answered";
}

TEST(Echo, RepliesToOtherProbesAreNotTakenForOursAndNoSocketIsLeftOpen) {
    auto openFiles = [] {
        int n = 0;
        for (int fd = 0; fd < 1024; ++fd)
            n += ::fcntl(fd, F_GETFD) != -1;
        return n;
    };
    const int before = openFiles();
    std::atomic<bool> stop{false};
    std::thread noise([&] {
        while (!stop)
            Echo("127.0.0.1");
    });
    int wrong = 0;
    for (int i = 0; i < 5; ++i) {
        wrong += Echo("10.231.0.77").header.Status != std::int32_t(IP_REQ_TIMED_OUT);
        wrong += Echo("10.231.0.2").header.Address != Ip("10.231.0.2");
    }
    stop = true;
    noise.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(openFiles(), before);
}

TEST(NoEcho, ProbesAreGeneralFailuresAndTheUserLearnsOnceHowToAllowIcmp) {
    EXPECT_EQ(SystemIcmpEcho().IcmpCreateFile(), InvalidHandleValue());
    EXPECT_EQ(SystemIcmpEcho().GetLastError(), ERROR_ACCESS_DENIED);
    RealTester t;
    t.Scan(QStringLiteral("127.0.0.254"));
    const QStringList log = TesterRig::Lines(t.w->List1Lines());
    EXPECT_EQ(log.filter(QStringLiteral("11050 [ ip FALLO GENERAL ]")).size(), 2);
    EXPECT_TRUE(TesterRig::Lines(t.w->List2Lines()).isEmpty());
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_TRUE(t.ui.messages[0].text.contains(QStringLiteral("net.ipv4.ping_group_range")));
    EXPECT_TRUE(t.ui.messages[0].text.contains(QStringLiteral("cap_net_raw")));
}

TEST(Names, HostsFileFirstThenTheServerAndEmptyTextForUnknownOrInvalid) {
    CaresResolver r;
    const std::tuple<bool, QString, QString, Outcome> cases[] = {
        {false, QStringLiteral("10.231.0.2"), QStringLiteral("router.mapeo.test"), Outcome::Found},
        {false, QStringLiteral(" 10.231.0.2 "), QStringLiteral("router.mapeo.test"),
         Outcome::Found},
        {true, QStringLiteral("  router.mapeo.test "), QStringLiteral("10.231.0.2"),
         Outcome::Found},
        {false, QStringLiteral("127.0.0.252"), QStringLiteral("desde-hosts.mapeo.test"),
         Outcome::Found},
        {true, QStringLiteral("solo-en-hosts.mapeo.test"), QStringLiteral("10.231.0.9"),
         Outcome::Found},
        {false, QStringLiteral("127.0.0.200"), QString(), Outcome::NotFound},
        {true, QStringLiteral("nadie.mapeo.test"), QString(), Outcome::NotFound},
        {false, QStringLiteral("10.0.0.-5"), QString(), Outcome::Invalid},
        {false, QString(4000, u'9'), QString(), Outcome::Invalid},
        {true, QStringLiteral("dos palabras"), QString(), Outcome::Invalid},
        {true, QString(300, u'a'), QString(), Outcome::Invalid}};
    for (const auto& [forward, asked, answer, outcome] : cases) {
        EXPECT_EQ(forward ? r.HostToAddress(asked) : r.AddressToHost(asked), answer)
            << asked.left(30).toStdString();
        EXPECT_EQ(r.LastOutcome(), outcome) << asked.left(30).toStdString();
    }
    EXPECT_EQ(r.AddressToHost(QStringLiteral("127.0.0.249")).size(), 63 * 3 + 2 + 11)
        << "a long name comes back whole";
}

TEST(TesterWindow, ScansPingsLooksUpAndShowsThisMachine) {
    RealTester t;
    EXPECT_EQ(
        t.Scan(QStringLiteral("127.0.0.250")),
        QStringList(
            {"127.0.0.250 <-> equipo-250.mapeo.test", "127.0.0.251 <-> equipo-251.mapeo.test",
             "127.0.0.252 <-> desde-hosts.mapeo.test", "127.0.0.253 <-> equipo-253.mapeo.test",
             "127.0.0.254 <-> equipo-254.mapeo.test", "127.0.0.255 <-> equipo-255.mapeo.test"}));
    t.w->Command6_Click();  // "nombre"
    EXPECT_EQ(t.w->txtip->text(), QStringLiteral("10.231.0.3"));
    t.w->txtip->setText(QStringLiteral("10.231.0.2"));
    t.w->Command7_Click();
    EXPECT_EQ(t.w->txtdns->text(), QStringLiteral("router.mapeo.test"));
    char host[HOST_NAME_MAX + 1] = {};
    ::gethostname(host, HOST_NAME_MAX);
    EXPECT_EQ(QStringList({t.w->User->text(), t.w->IP->text(), t.w->Host->text(), t.w->Port->text(),
                           t.w->Namet->text(), t.w->Estado->text()}),
              QStringList({QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name), "10.231.0.1",
                           QString::fromLocal8Bit(host), "0", "Winsock", "0"}));
    EXPECT_TRUE(t.ui.messages.empty());
}

// Holds the name server's port so that queries are swallowed instead of refused.
struct SilentServer {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    SilentServer() {
        sockaddr_in a{AF_INET, htons(53), {Ip("127.0.0.2")}, {}};
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }
    ~SilentServer() { ::close(fd); }
};

TEST(SilentDns, LookupsEndAsNotFoundWithinTheBoundAndTheHostsFileStillAnswers) {
    SilentServer server;
    CaresResolver r;
    EXPECT_EQ(r.AddressToHost(QStringLiteral("127.0.0.250")), QString());
    EXPECT_EQ(r.LastOutcome(), Outcome::NoAnswer) << "ended by its own short tries";
    EXPECT_EQ(r.HostToAddress(QStringLiteral("nombre")), QString());
    EXPECT_EQ(r.LastOutcome(), Outcome::NoAnswer) << "three search domains do not triple the wait";
    EXPECT_EQ(r.AddressToHost(QStringLiteral("127.0.0.252")),
              QStringLiteral("desde-hosts.mapeo.test"));
    CaresResolver patient(CaresResolver::Limits{5000, 3, 1000});
    EXPECT_EQ(patient.AddressToHost(QStringLiteral("127.0.0.251")), QString());
    EXPECT_EQ(patient.LastOutcome(), Outcome::Deadline) << "long tries are cut at the deadline";
    RealTester t;
    EXPECT_EQ(t.Scan(QStringLiteral("127.0.0.254")),
              QStringList({"127.0.0.254 <-> ", "127.0.0.255 <-> "}));
}

}  // namespace
