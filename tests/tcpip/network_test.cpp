// The tester's services against real packets and a real name server, inside the network
// namespaces that network_fixture.sh builds; every address used here lives there. The script
// runs this binary once per set-up and names it in MAPEO_TC_MODE.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <poll.h>
#include <sys/socket.h>

#include <QFile>
#include <QRegularExpression>
#include <atomic>
#include <climits>
#include <thread>

#include "platform/linux/icmp_helper.h"
#include "platform/linux/resolver_cares.h"
#include "platform/paths.h"
#include "tcpip/tester_rig.h"

namespace {

using namespace platform;
using Outcome = CaresResolver::Outcome;
namespace helper = icmp::helper;

// The fixture names the helper of this build; the program finds its own beside itself.
const bool helperNamed = [] {
    helper::SetHelperPath(qgetenv("MAPEO_TC_HELPER").toStdString());
    return true;
}();

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

// The system's echo service without its look-ahead: each probe is sent when it is needed.
struct OneAtATime final : IcmpEcho {
    HANDLE IcmpCreateFile() override { return SystemIcmpEcho().IcmpCreateFile(); }
    DWORD IcmpSendEcho(HANDLE h, IPAddr to, LPVOID data, WORD size, IP_OPTION_INFORMATION* o,
                       LPVOID reply, DWORD replySize, DWORD ms) override {
        return SystemIcmpEcho().IcmpSendEcho(h, to, data, size, o, reply, replySize, ms);
    }
    BOOL IcmpCloseHandle(HANDLE h) override { return SystemIcmpEcho().IcmpCloseHandle(h); }
    DWORD GetLastError() const override { return SystemIcmpEcho().GetLastError(); }
    std::string LastErrorText() const override { return SystemIcmpEcho().LastErrorText(); }
};

// A tester window on the system's services, with messages recorded instead of shown.
struct RealTester {
    fakes::FakeWindowServices ui;
    tcpip::FRMTCPIP* w;
    explicit RealTester(IcmpEcho& echo = SystemIcmpEcho())
        : w(new tcpip::FRMTCPIP({echo, SystemWinSock(), SystemSecurity(), SystemNameResolver(),
                                 SystemWinsockControl(), SystemFileSystem(), ui,
                                 platform::ScanExportPath()})) {
        w->Form_Load();
    }
    ~RealTester() { delete w; }
    QStringList Scan(const QString& dotted) {
        for (int i = 0; i < 4; ++i)
            w->Text1[i]->setText(dotted.section(u'.', i, i));
        w->Command2_Click();
        return TesterRig::Lines(w->List2_Lines());
    }
};

TEST(SocketKind, IsTheOneThisRunIsAbout) {
    const QByteArray mode = qgetenv("MAPEO_TC_MODE");
    ASSERT_TRUE(mode == "datagram" || mode == "raw" || mode == "none" || mode == "helper")
        << "run network_fixture.sh";
    EXPECT_EQ(CanOpen(SOCK_DGRAM), mode == "datagram");
    EXPECT_EQ(CanOpen(SOCK_RAW), mode == "raw");
}

// Answering hosts echo the payload and nothing more; each failure has its status and writes no
// data.
TEST(Echo, EachOutcomeHasItsStatusAndOnlyARepliesDataIsWritten) {
    const std::pair<const char*, DWORD> cases[] = {
        {"10.231.0.2", IP_SUCCESS},
        {"127.0.0.1", IP_SUCCESS},
        {"127.1.2.3", IP_SUCCESS},
        {"10.231.0.77", IP_REQ_TIMED_OUT},         // on the link, nobody owns it
        {"10.232.0.5", IP_DEST_HOST_UNREACHABLE},  // the router's "unreachable" route
        {"10.233.0.5", IP_DEST_NET_UNREACHABLE},   // no route at the router
        {"10.234.0.5", IP_DEST_HOST_UNREACHABLE},  // local "unreachable" route
        {"10.235.0.5", IP_DEST_HOST_UNREACHABLE},  // local "prohibit" route
        {"10.236.0.5", IP_DEST_NET_UNREACHABLE},   // local "throw" route
        {"0.0.0.0", IP_BAD_DESTINATION},
        {"255.255.255.255", IP_BAD_DESTINATION},
        {"10.231.0.255", IP_BAD_DESTINATION},
        {"127.255.255.255", IP_BAD_DESTINATION}};
    for (const auto& [to, status] : cases) {
        const Result r = Echo(to);
        const bool reply = status == IP_SUCCESS;
        EXPECT_EQ(std::tuple(r.replies, r.header.Status, r.header.DataSize),
                  std::tuple(DWORD(reply), std::int32_t(status), std::int16_t(reply ? 15 : 0)))
            << to;
        EXPECT_EQ(r.buffer[28 + (reply ? 15 : 0)], 0x5A) << to << ": a byte past the data";
        if (reply) {
            EXPECT_EQ(std::memcmp(r.buffer + 28, "Enviando sondeo", 15), 0) << to;
            EXPECT_EQ(r.header.Address, Ip(to)) << to;
        }
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
    const QStringList log = TesterRig::Lines(t.w->List1_Lines());
    EXPECT_EQ(log.filter(QStringLiteral("11050 [ ip FALLO GENERAL ]")).size(), 2);
    EXPECT_TRUE(TesterRig::Lines(t.w->List2_Lines()).isEmpty());
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_TRUE(t.ui.messages[0].text.contains(QStringLiteral("net.ipv4.ping_group_range")));
    EXPECT_TRUE(t.ui.messages[0].text.contains(QStringLiteral("cap_net_raw")));
    EXPECT_TRUE(t.ui.messages[0].text.contains(QString::fromStdString(helper::HelperPath())))
        << "the capability goes on the helper, never on Mapeo";
}

TEST(LookAhead, AScanGivesTheSameLinesAsProbingOneAtATime) {
    OneAtATime sequential;
    RealTester ahead, plain(sequential);
    const QStringList found = ahead.Scan(QStringLiteral("10.237.0.224"));
    EXPECT_EQ(found, QStringList({"10.237.0.225 <-> impresora.mapeo.test", "10.237.0.230 <-> ",
                                  "10.237.0.241 <-> servidor.mapeo.test", "10.237.0.250 <-> ",
                                  "10.237.0.255 <-> "}));
    EXPECT_EQ(plain.Scan(QStringLiteral("10.237.0.224")), found);
    // Round trips vary from run to run; every other line is the same.
    const auto steady = [](QStringList log) {
        return log.replaceInStrings(QRegularExpression(QStringLiteral("^\\d+ ms$")),
                                    QStringLiteral("? ms"));
    };
    const QStringList log = TesterRig::Lines(ahead.w->List1_Lines());
    EXPECT_EQ(log.size(), 6 + 26 * 7 + 5 * 7) << "silent after an answer: its data stays";
    EXPECT_EQ(steady(log), steady(TesterRig::Lines(plain.w->List1_Lines())));
}

// Runs while the fixture floods this namespace with echo replies that answer nobody.
TEST(Flood, OtherHostsIcmpHoldsNoProbePastItsDeadline) {
    int ended = 0;
    for (int i = 0; i < 5; ++i)
        ended += Echo("10.237.0.7").header.Status == std::int32_t(IP_REQ_TIMED_OUT);
    EXPECT_EQ(ended, 5);
    RealTester t;
    t.Scan(QStringLiteral("10.237.0.200"));
    EXPECT_EQ(TesterRig::Lines(t.w->List1_Lines()).filter(QStringLiteral("=Prueba número")).size(),
              56);
}

// Mapeo's end of a helper started by hand.
struct HelperChannel {
    helper::Process p;
    int error = 0;
    const bool started = helper::Start(helper::HelperPath(), p, error);
    ~HelperChannel() { helper::Stop(p); }

    void Send(const std::vector<std::uint8_t>& m) {
        pollfd out{p.fd, POLLOUT, 0};
        while (::send(p.fd, m.data(), m.size(), MSG_NOSIGNAL) < 0 && errno == EAGAIN)
            ::poll(&out, 1, 1000);
    }
    void Send(std::uint32_t tag, const char* to, std::uint32_t timeoutMs = 10000,
              std::size_t payload = 15, std::size_t declared = 15) {
        helper::Request r;
        r.tag = tag;
        r.destination = Ip(to);
        r.timeoutMs = timeoutMs;
        r.payloadSize = std::uint16_t(declared);
        std::vector<std::uint8_t> m(sizeof r + payload, 'x');
        std::memcpy(m.data(), &r, sizeof r);
        Send(m);
    }
    helper::Answer Next() {
        helper::Answer a;
        a.status = 0xFFFFFFFF;
        pollfd in{p.fd, POLLIN, 0};
        std::uint8_t m[sizeof a + helper::MaxAnswerData];
        if (::poll(&in, 1, 20000) == 1 && ::recv(p.fd, m, sizeof m, 0) >= ssize_t(sizeof a))
            std::memcpy(&a, m, sizeof a);
        return a;
    }
};

TEST(Helper, HoldsNoCapabilityAndAnswersEveryHostileRequestWithAnErrorAndGoesOnServing) {
    HelperChannel h;
    ASSERT_TRUE(h.started) << strerror(h.error);
    QFile proc(QStringLiteral("/proc/%1/status").arg(h.p.pid));
    ASSERT_TRUE(proc.open(QIODevice::ReadOnly));
    const QString held = QString::fromLatin1(proc.readAll());
    const auto has = [&](const char* pattern) {
        return held.contains(
            QRegularExpression(QString::fromLatin1(pattern), QRegularExpression::MultilineOption));
    };
    EXPECT_FALSE(has("^Cap(Inh|Prm|Eff|Amb):\\s*0*[1-9a-f]")) << held.toStdString();
    EXPECT_TRUE(has("^NoNewPrivs:\\s*1$")) << held.toStdString();
    const auto expect = [&](std::uint32_t tag, DWORD status, const char* what) {
        const helper::Answer a = h.Next();
        EXPECT_EQ(a.tag, tag) << what;
        EXPECT_EQ(a.status, status) << what;
    };
    h.Send({0xDE, 0xAD, 0xBE});
    expect(0, IP_BAD_REQ, "garbage");
    h.Send(std::vector<std::uint8_t>(10, 7));
    expect(0x07070707, IP_BAD_REQ, "a short request");
    h.Send(9, "10.231.0.2", 200, 5000, 5000);
    expect(9, IP_BAD_REQ, "an oversize payload");
    // What the helper alone can know: this network's broadcast, and what is in flight.
    h.Send(13, "10.231.0.255");
    expect(13, IP_BAD_DESTINATION, "this network's broadcast");
    h.Send(17, "10.237.0.7");
    h.Send(17, "10.237.0.8");
    expect(17, IP_BAD_REQ, "a tag already in flight");
    h.Send(20, "10.231.0.2", 200);
    expect(20, IP_SUCCESS, "a good request after all that");
    // Sent slower than the helper's pace, so that only the count in flight can refuse.
    for (std::uint32_t t = 100; t < 100 + helper::MaxInFlight - 1; ++t) {
        h.Send(t, "10.237.0.9");
        std::this_thread::sleep_for(std::chrono::microseconds(1100));
    }
    h.Send(5000, "10.237.0.9");
    expect(5000, IP_NO_RESOURCES, "one more than may be in flight");
}

TEST(Helper, SendsNoFasterThanMapeoPacesItsScans) {
    HelperChannel h;
    ASSERT_TRUE(h.started) << strerror(h.error);
    for (std::uint32_t t = 1; t <= 2 * helper::RateBurst; ++t)
        h.Send(t, "10.237.0.9");
    EXPECT_EQ(h.Next().status, IP_NO_RESOURCES) << "a burst beyond the first ones is refused";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    h.Send(1000, "10.231.0.2", 200);
    helper::Answer a;
    do
        a = h.Next();
    while (a.tag != 1000 && a.status == IP_NO_RESOURCES);
    EXPECT_EQ(a.tag, 1000u);
    EXPECT_EQ(a.status, IP_SUCCESS) << "and then it serves again";
}

TEST(Names, HostsFileFirstThenTheServerAndEmptyTextForUnknownOrInvalid) {
    CaresResolver r;
    const std::tuple<bool, QString, const char*, Outcome> cases[] = {
        {false, "10.231.0.2", "router.mapeo.test", Outcome::Found},
        {false, " 10.231.0.2 ", "router.mapeo.test", Outcome::Found},
        {true, "  router.mapeo.test ", "10.231.0.2", Outcome::Found},
        {false, "127.0.0.252", "desde-hosts.mapeo.test", Outcome::Found},
        {true, "solo-en-hosts.mapeo.test", "10.231.0.9", Outcome::Found},
        {false, "127.0.0.200", "", Outcome::NotFound},
        {true, "nadie.mapeo.test", "", Outcome::NotFound},
        {false, "10.0.0.-5", "", Outcome::Invalid},
        {false, QString(4000, u'9'), "", Outcome::Invalid},
        {true, "dos palabras", "", Outcome::Invalid},
        {true, QString(300, u'a'), "", Outcome::Invalid}};
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
