// Connect + disconnect of a drive to a share that needs the user's identity, from a keyring
// entry and from a Kerberos ticket, beside `gio mount` / `gio mount -u` of the same share with
// the same credentials, in the same run. Runs inside identity_fixture.sh.
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/credentials.h"
#include "platform/networking.h"

namespace {

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Run(const QString& program, const QStringList& args, const std::string& input = {}) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(program, args);
    p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return t.nsecsElapsed() / 1e6;
}

void Compare(const char* label, const std::string& unc, const QString& uri, int rounds,
             int pauseMs) {
    platform::NetConnections& net = platform::SystemNetConnections();
    std::string local = "J:", remote = unc;
    platform::NETRESOURCEA r;
    r.dwType = platform::RESOURCETYPE_DISK;
    r.lpLocalName = local.data();
    r.lpRemoteName = remote.data();
    std::vector<double> mapeo, mapeoOff, gio, gioOff;
    // Alternating rounds: a busy moment of the machine weighs on both alike.
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        const platform::DWORD c = net.WNetAddConnection2A(&r, nullptr, nullptr, 1);
        mapeo.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        net.WNetCancelConnection2A("J:", 1, 0);
        mapeoOff.push_back(t.nsecsElapsed() / 1e6);
        if (c != 0)
            std::printf("%s round %d: connect %u\n", label, i, c);
        QThread::msleep(pauseMs);
        gio.push_back(Run("gio", {"mount", uri}));
        gioOff.push_back(Run("gio", {"mount", "-u", uri}));
        QThread::msleep(pauseMs);
    }
    std::printf(
        "%-22s Mapeo connect %6.1f ms / disconnect %5.1f ms | gio mount %6.1f ms / -u %5.1f "
        "ms | ratio %.2f\n",
        label, Median(mapeo), Median(mapeoOff), Median(gio), Median(gioOff),
        Median(mapeo) / std::max(0.001, Median(gio)));
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int pauseMs = argc > 2 ? std::atoi(argv[2]) : 2500;
    const std::string server = qEnvironmentVariable("MAPEO_ID_SERVER").toStdString();
    const std::string dc = qEnvironmentVariable("MAPEO_ID_DC").toStdString();
    if (server.empty() || dc.empty()) {
        std::printf("run inside tests/drives/identity_fixture.sh\n");
        return 1;
    }
    // The entry the file manager would have saved; the fixture holds ana's ticket already.
    Run("secret-tool",
        {"store", "--label=bench", "xdg:schema", "org.gnome.keyring.NetworkPassword", "user", "ana",
         "domain", "MAPEOID", "server", QString::fromStdString(server), "protocol", "smb"},
        "Cl4ve-de-Ana!");
    std::printf("Drive connect + disconnect as the user, %d rounds each, %d ms apart (medians)\n",
                rounds, pauseMs);
    Compare("keyring entry", "\\\\" + server + "\\privado",
            QString::fromStdString("smb://" + server + "/privado"), rounds, pauseMs);
    Compare("Kerberos ticket", "\\\\" + dc + "\\dominio",
            QString::fromStdString("smb://" + dc + "/dominio"), rounds, pauseMs);
    Run("secret-tool", {"clear", "server", QString::fromStdString(server), "protocol", "smb"});
    return 0;
}
