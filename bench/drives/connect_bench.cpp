// Connect + cancel of a drive on the loopback Samba server, beside `gio mount` /
// `gio mount -u` of the same share, and the open-file search of a disconnect beside
// `fuser -m`, in the same run. Runs inside connections_fixture.sh.
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/linux/open_files.h"
#include "platform/networking.h"

namespace {

struct Stats {
    std::vector<double> connect, cancel;
};

double Pct(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

void Print(const char* label, const Stats& s) {
    std::printf("%-26s connect median %7.1f ms p90 %7.1f | disconnect median %6.1f ms p90 %6.1f\n",
                label, Pct(s.connect, 0.5), Pct(s.connect, 0.9), Pct(s.cancel, 0.5),
                Pct(s.cancel, 0.9));
}

double Gio(const QStringList& args) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start("gio", args);
    p.waitForFinished(30000);
    return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int pauseMs = argc > 2 ? std::atoi(argv[2]) : 0;
    platform::NetConnections& net = platform::SystemNetConnections();
    std::string local = "J:", remote = "\\\\127.0.0.1\\publico";
    platform::NETRESOURCEA r;
    r.dwType = platform::RESOURCETYPE_DISK;
    r.lpLocalName = local.data();
    r.lpRemoteName = remote.data();

    Stats mapeo, gio;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        const platform::DWORD c = net.WNetAddConnection2A(&r, nullptr, nullptr, 1);
        mapeo.connect.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        const platform::DWORD d = net.WNetCancelConnection2A("J:", 1, 0);
        mapeo.cancel.push_back(t.nsecsElapsed() / 1e6);
        if (c != 0 || d != 0)
            std::printf("round %d: connect %u, cancel %u\n", i, c, d);
        if (pauseMs)
            QThread::msleep(pauseMs);
    }
    for (int i = 0; i < rounds; ++i) {
        gio.connect.push_back(Gio({"mount", "-a", "smb://127.0.0.1/publico"}));
        gio.cancel.push_back(Gio({"mount", "-u", "smb://127.0.0.1/publico"}));
        if (pauseMs)
            QThread::msleep(pauseMs);
    }
    std::printf("Drive connect + disconnect, loopback Samba, %d rounds, %d ms between rounds\n",
                rounds, pauseMs);
    Print("Mapeo (mount + link)", mapeo);
    Print("gio mount / gio mount -u", gio);

    // The search for open files a disconnect makes, beside fuser -m on the same mount.
    net.WNetAddConnection2A(&r, nullptr, nullptr, 1);
    const std::string root = std::string(std::getenv("XDG_RUNTIME_DIR")) +
                             "/gvfs/smb-share:server=127.0.0.1,share=publico";
    std::vector<double> scan, fuser;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        platform::openfiles::InUse(platform::openfiles::KernelPath(root));
        scan.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        QProcess p;
        p.start("fuser", {"-m", QString::fromStdString(root)});
        p.waitForFinished(30000);
        fuser.push_back(t.nsecsElapsed() / 1e6);
    }
    net.WNetCancelConnection2A("J:", 1, 1);
    int processes = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc"))
        processes += std::isdigit(static_cast<unsigned char>(e.path().filename().c_str()[0]));
    std::printf(
        "Open-file search over %d processes: Mapeo median %.2f ms p90 %.2f | "
        "fuser -m median %.2f ms p90 %.2f\n",
        processes, Pct(scan, 0.5), Pct(scan, 0.9), Pct(fuser, 0.5), Pct(fuser, 0.9));
    return 0;
}
