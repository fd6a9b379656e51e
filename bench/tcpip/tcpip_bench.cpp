// Figures of the TCP/IP tester, with the standard tools' figures measured in the same run.
// Runs inside the network namespace that run.sh builds; "names" needs its dnsmasq,
// "silentdns" its resolv.conf pointing at a server that never answers.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/echo.h"
#include "platform/filesystem.h"
#include "platform/hostinfo.h"
#include "platform/linux/icmp_helper.h"
#include "platform/linux/resolver_cares.h"
#include "platform/paths.h"
#include "platform/resolver.h"
#include "platform/security.h"
#include "platform/sockets.h"
#include "platform/windowservices.h"
#include "tcpip/frmtcpip.h"
#include "tcpip/tcpicp.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Stats {
    double median = 0, p99 = 0, max = 0;
};

Stats Summary(std::vector<double> v) {
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) {
        return v[std::min(v.size() - 1, std::size_t(q * double(v.size())))];
    };
    return {at(0.5), at(0.99), v.back()};
}

// The real event loop, but messages go to the terminal instead of a modal box; every yield is
// timed (a scan step yields twice).
class BenchWindowServices final : public platform::WindowServices {
public:
    int MsgBox(const QString& prompt, int, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
        return 1;
    }
    void DoEvents() override {
        yields.push_back(Clock::now());
        platform::SystemWindowServices().DoEvents();
    }
    std::vector<Clock::time_point> yields;
    QSize ScreenSize() override { return platform::SystemWindowServices().ScreenSize(); }
    QColor GetSysColor(int i) override { return platform::SystemWindowServices().GetSysColor(i); }
};

// The system's echo service without its look-ahead: each probe is sent when it is needed.
class OneAtATime final : public platform::IcmpEcho {
public:
    platform::HANDLE IcmpCreateFile() override { return real.IcmpCreateFile(); }
    platform::DWORD IcmpSendEcho(platform::HANDLE h, platform::IPAddr to, platform::LPVOID data,
                                 platform::WORD size, platform::IP_OPTION_INFORMATION* o,
                                 platform::LPVOID reply, platform::DWORD replySize,
                                 platform::DWORD timeout) override {
        return real.IcmpSendEcho(h, to, data, size, o, reply, replySize, timeout);
    }
    platform::BOOL IcmpCloseHandle(platform::HANDLE h) override { return real.IcmpCloseHandle(h); }
    platform::DWORD GetLastError() const override { return real.GetLastError(); }
    std::string LastErrorText() const override { return real.LastErrorText(); }

    platform::IcmpEcho& real = platform::SystemIcmpEcho();
};

double ResidentMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

// Wall time of the standard ping for one echo, and the round trip it reports itself.
void PingTool(const QString& to, int runs, const QStringList& extra) {
    std::vector<double> wall, rtt;
    int answered = 0;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        const auto t0 = Clock::now();
        p.start(QStringLiteral("ping"),
                QStringList{QStringLiteral("-c1"), QStringLiteral("-n")} + extra + QStringList{to});
        p.waitForFinished(10000);
        wall.push_back(Ms(Clock::now() - t0));
        const QByteArray out = p.readAllStandardOutput();
        const int at = out.indexOf("time=");
        if (at >= 0) {
            rtt.push_back(out.mid(at + 5).split(' ').value(0).toDouble());
            ++answered;
        }
    }
    const Stats w = Summary(wall), r = Summary(rtt);
    std::printf("  ping -c1 %s %s: %d runs, whole program median %.2f ms p99 %.2f ms",
                qPrintable(extra.join(u' ')), qPrintable(to), runs, w.median, w.p99);
    if (answered)
        std::printf("; its own round trip median %.3f ms", r.median);
    std::printf("\n");
}

tcpip::TesterServices Services(platform::IcmpEcho& echo, platform::WindowServices& ui) {
    return {echo,
            platform::SystemWinSock(),
            platform::SystemSecurity(),
            platform::SystemNameResolver(),
            platform::SystemWinsockControl(),
            platform::SystemFileSystem(),
            ui,
            platform::ScanExportPath()};
}

// A loaded tester window on the screen, as a user's; the caller deletes it. The size matters
// only for the figures taken with the log in view.
tcpip::FRMTCPIP* ShownTester(platform::IcmpEcho& echo, platform::WindowServices& ui,
                             bool sized = true) {
    auto* w = new tcpip::FRMTCPIP(Services(echo, ui));
    w->Form_Load();
    if (sized)
        w->resize(900, 600);
    w->show();
    QCoreApplication::processEvents();
    return w;
}

void EchoFigures() {
    BenchWindowServices ui;
    tcpip::TCPICP module(platform::SystemIcmpEcho(), platform::SystemWinSock(), ui);
    const QString loopback = QStringLiteral("127.0.0.1");
    std::vector<double> per;
    tcpip::ECHO_REPLY r{};
    int replies = 0;
    for (int i = 0; i < 2000; ++i) {
        const auto t0 = Clock::now();
        module.Send_Echo(loopback, r);
        per.push_back(Ms(Clock::now() - t0) * 1000);
        replies += r.Status == 0;
    }
    Stats s = Summary(per);
    std::printf(
        "Send_Echo to 127.0.0.1 (sockets start-up, handle, echo, clean-up): %zu probes, %d "
        "replies, "
        "median %.1f us, p99 %.1f us\n",
        per.size(), replies, s.median, s.p99);
    PingTool(loopback, 100, {});

    const QString silent = QStringLiteral("10.241.0.77");
    std::vector<double> waits;
    for (int i = 0; i < 40; ++i) {
        const auto t0 = Clock::now();
        module.Send_Echo(silent, r);
        waits.push_back(Ms(Clock::now() - t0));
    }
    s = Summary(waits);
    std::printf(
        "Silent probe (10.241.0.77, on-link, nobody owns it): %zu probes, status %d, median %.2f "
        "ms, "
        "p99 %.2f ms, max %.2f ms (time-out 200 ms)\n",
        waits.size(), int(r.Status), s.median, s.p99, s.max);
    PingTool(silent, 10, {QStringLiteral("-W0.2")});
}

void LoopbackScan() {
    BenchWindowServices ui;
    auto* w = ShownTester(platform::SystemIcmpEcho(), ui);
    const QString boxes[4] = {QStringLiteral("127"), QStringLiteral("0"), QStringLiteral("0"),
                              QStringLiteral("0")};
    for (int i = 0; i < 4; ++i)
        w->Text1[i]->setText(boxes[i]);
    ui.yields.clear();
    const auto t0 = Clock::now();
    w->Command2_Click();
    const double total = Ms(Clock::now() - t0);
    int named = 0;
    for (int i = 0; i < w->List2_Lines().Count(); ++i)
        named += !w->List2_Lines().Line(i).endsWith(QStringLiteral(" <-> "));
    std::printf(
        "Fourth-octet scan 127.0.0.0-255, names from the namespace's DNS, offscreen window: %.3f s "
        "for %zu probes, %d found, %d with names (goal <= 1 s)\n",
        total / 1000, ui.yields.size() / 2, w->List2_Lines().Count(), named);
    w->grab().save(QStringLiteral("tcpip-scan.png"));
    delete w;
}

// Per step of a two-octet scan of 127.0.240.0-127.0.255.255 (4096 steps).
double ShortTwoOctet(platform::IcmpEcho& echo) {
    BenchWindowServices ui;
    auto* w = ShownTester(echo, ui);
    const QString boxes[4] = {QStringLiteral("127"), QStringLiteral("0"), QStringLiteral("240"),
                              QStringLiteral("0")};
    for (int i = 0; i < 4; ++i)
        w->Text1[i]->setText(boxes[i]);
    const auto t0 = Clock::now();
    w->Command4_Click();
    const double per = Ms(Clock::now() - t0) / 4096;
    delete w;
    return per;
}

void TwoOctetScan() {
    BenchWindowServices ui;
    ui.yields.reserve(140000);
    auto* w = ShownTester(platform::SystemIcmpEcho(), ui);
    const QString boxes[4] = {QStringLiteral("127"), QStringLiteral("0"), QStringLiteral("0"),
                              QStringLiteral("0")};
    for (int i = 0; i < 4; ++i)
        w->Text1[i]->setText(boxes[i]);
    const double before = ResidentMb();
    ui.yields.clear();
    const auto t0 = Clock::now();
    w->Command4_Click();
    const double total = Ms(Clock::now() - t0);
    const double after = ResidentMb();
    // Two yields per step (and one per third-octet value, a rounding error here).
    const auto& s = ui.yields;
    const std::size_t window = 2000;
    double head = 0, tail = 0;
    if (s.size() > 4 * window + 1) {
        head = Ms(s[2 * window] - s[0]) / double(window);
        tail = Ms(s.back() - s[s.size() - 1 - 2 * window]) / double(window);
    }
    std::printf(
        "Two-octet scan 127.0.0.0/16, offscreen window: %zu probes in %.1f s; per step %.3f ms "
        "over the "
        "first %zu steps, %.3f ms over the last %zu (goal: flat); %d log lines, %d found; resident "
        "memory "
        "%.0f MB -> %.0f MB, growth %.0f MB (goal <= 200 MB)\n",
        (s.size() - 256) / 2, total / 1000, head, window, tail, window, w->List1_Lines().Count(),
        w->List2_Lines().Count(), before, after, after - before);
    delete w;
    OneAtATime sequential;
    const double ahead = ShortTwoOctet(platform::SystemIcmpEcho());
    const double plain = ShortTwoOctet(sequential);
    std::printf(
        "  127.0.240.0-127.0.255.255 (4096 steps): %.3f ms per step with the look-ahead, %.3f ms "
        "each probe sent when needed\n",
        ahead, plain);
}

struct ScanFigures {
    double seconds = 0;
    int probes = 0, found = 0, named = 0;
};

// One fourth-octet scan from `first` (dotted) in an offscreen window.
ScanFigures FourthOctetScan(platform::IcmpEcho& echo, const QString& first) {
    BenchWindowServices ui;
    auto* w = ShownTester(echo, ui);
    for (int i = 0; i < 4; ++i)
        w->Text1[i]->setText(first.section(u'.', i, i));
    ScanFigures f;
    const auto t0 = Clock::now();
    w->Command2_Click();
    f.seconds = Ms(Clock::now() - t0) / 1000;
    f.probes = w->ProbeCounter;
    f.found = w->List2_Lines().Count();
    for (int i = 0; i < f.found; ++i)
        f.named += !w->List2_Lines().Line(i).endsWith(QStringLiteral(" <-> "));
    delete w;
    return f;
}

void PrintScan(const char* what, const ScanFigures& f) {
    std::printf("%s: %.3f s for %d probes, %d found, %d with names\n", what, f.seconds, f.probes,
                f.found, f.named);
}

// fping over the same addresses, with the same time-out and one probe per millisecond.
void Fping(const QString& first, const QString& last) {
    QProcess p;
    const QStringList args = {QStringLiteral("-g"),
                              first,
                              last,
                              QStringLiteral("-t"),
                              QStringLiteral("200"),
                              QStringLiteral("-i"),
                              QStringLiteral("1"),
                              QStringLiteral("-r"),
                              QStringLiteral("0"),
                              QStringLiteral("-a")};
    const auto t0 = Clock::now();
    p.start(QStringLiteral("fping"), args);
    if (!p.waitForFinished(60000)) {
        std::printf("  fping: could not run (%s)\n", qPrintable(p.errorString()));
        return;
    }
    const double took = Ms(Clock::now() - t0) / 1000;
    const int alive = int(p.readAllStandardOutput().count('\n'));
    std::printf("  fping %s: %.3f s, %d alive\n", qPrintable(args.join(u' ')), took, alive);
}

void Scans() {
    platform::IcmpEcho& ahead = platform::SystemIcmpEcho();
    PrintScan("Fourth-octet scan 10.242.0.0-255, 16 answering and 240 silent, names from DNS",
              FourthOctetScan(ahead, QStringLiteral("10.242.0.0")));
    Fping(QStringLiteral("10.242.0.0"), QStringLiteral("10.242.0.255"));
    PrintScan("Fourth-octet scan 10.243.0.0-255, all silent",
              FourthOctetScan(ahead, QStringLiteral("10.243.0.0")));
    Fping(QStringLiteral("10.243.0.0"), QStringLiteral("10.243.0.255"));
    OneAtATime sequential;
    PrintScan("  the first scan again, each probe sent when needed (no look-ahead)",
              FourthOctetScan(sequential, QStringLiteral("10.242.0.0")));
}

// Through the echo helper, for a user who may open no ICMP socket.
void Helper() {
    BenchWindowServices ui;
    tcpip::TCPICP module(platform::SystemIcmpEcho(), platform::SystemWinSock(), ui);
    std::vector<double> per;
    tcpip::ECHO_REPLY r{};
    int replies = 0;
    for (int i = 0; i < 200; ++i) {
        const auto t0 = Clock::now();
        module.Send_Echo(QStringLiteral("127.0.0.1"), r);
        per.push_back(Ms(Clock::now() - t0));
        replies += r.Status == 0;
    }
    const Stats s = Summary(per);
    std::printf(
        "Through mapeo-echo: Send_Echo to 127.0.0.1 (helper started and ended each time): %zu "
        "probes, %d replies, median %.2f ms, p99 %.2f ms\n",
        per.size(), replies, s.median, s.p99);
    PrintScan("Through mapeo-echo: fourth-octet scan 10.242.0.0-255, 16 answering, names",
              FourthOctetScan(platform::SystemIcmpEcho(), QStringLiteral("10.242.0.0")));
}

// The window after a short scan, for a look: a grab of the window and, on an X server such as
// Xvfb, the whole screen as `import` sees it.
void Screenshot() {
    BenchWindowServices ui;
    auto* w = ShownTester(platform::SystemIcmpEcho(), ui, false);
    const QString boxes[4] = {QStringLiteral("127"), QStringLiteral("0"), QStringLiteral("0"),
                              QStringLiteral("247")};
    for (int i = 0; i < 4; ++i)
        w->Text1[i]->setText(boxes[i]);
    w->Command2_Click();
    w->txtip->setText(QStringLiteral("127.0.0.250"));
    w->Command7_Click();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        ::usleep(20000);
    }
    w->grab().save(QStringLiteral("tcpip-window.png"));
    if (QGuiApplication::platformName() == QStringLiteral("xcb"))
        QProcess::execute(
            QStringLiteral("import"),
            {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("tcpip-xvfb.png")});
    std::printf("Screenshot after a scan of 127.0.0.247-255: tcpip-window.png%s\n",
                QGuiApplication::platformName() == QStringLiteral("xcb") ? ", tcpip-xvfb.png" : "");
    delete w;
}

void SilentDns() {
    platform::CaresResolver resolver;
    std::vector<double> took;
    int empty = 0;
    for (int i = 0; i < 10; ++i) {
        const auto t0 = Clock::now();
        empty += resolver.AddressToHost(QStringLiteral("127.0.0.%1").arg(10 + i)).isEmpty();
        took.push_back(Ms(Clock::now() - t0));
    }
    Stats st = Summary(took);
    std::printf(
        "AddressToHost against a silent DNS server: %zu lookups, %d empty, median %.0f ms, max "
        "%.0f ms "
        "(goal <= 1000 ms each)\n",
        took.size(), empty, st.median, st.max);
    took.clear();
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        resolver.HostToAddress(QStringLiteral("nadie%1.mapeo.test").arg(i));
        took.push_back(Ms(Clock::now() - t0));
    }
    st = Summary(took);
    std::printf("HostToAddress against the same server: %zu lookups, median %.0f ms, max %.0f ms\n",
                took.size(), st.median, st.max);

    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.20", &a.sin_addr);
    char host[NI_MAXHOST];
    const auto t0 = Clock::now();
    const int rc = ::getnameinfo(reinterpret_cast<sockaddr*>(&a), sizeof a, host, sizeof host,
                                 nullptr, 0, NI_NAMEREQD);
    std::printf("  glibc getnameinfo against the same server: 1 lookup, %.0f ms (%s)\n",
                Ms(Clock::now() - t0), rc == 0 ? "found" : gai_strerror(rc));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray part = argc > 1 ? QByteArray(argv[1]) : QByteArray("names");
    if (part == "names") {
        EchoFigures();
        LoopbackScan();
        TwoOctetScan();
    } else if (part == "scans") {
        Scans();
    } else if (part == "helper" && argc > 2) {
        platform::icmp::helper::SetHelperPath(argv[2]);
        Helper();
    } else if (part == "shot") {
        Screenshot();
    } else if (part == "silentdns") {
        // Holds the server's port so that queries are swallowed rather than refused.
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(53);
        inet_pton(AF_INET, "127.0.0.2", &a.sin_addr);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            std::perror("silent server");
            return 1;
        }
        SilentDns();
        ::close(fd);
    } else {
        std::fprintf(stderr, "usage: %s names|scans|helper HELPER|shot|silentdns\n", argv[0]);
        return 2;
    }
    return 0;
}
