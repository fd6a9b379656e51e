// Start-up to the painted main window, offscreen: with no mapping file, and with a full one
// whose rows are all marked 0 (so the load reads and cancels twelve devices).
// Each start is a fresh process; the parent times it from spawn to "painted".
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "drives/frmmain.h"
#include "platform/filesystem.h"
#include "platform/networking.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/windowservices.h"

namespace {

int Child(int argc, char** argv) {
    QElapsedTimer t;
    t.start();
    QApplication app(argc, argv);
    const qint64 appReady = t.nsecsElapsed();
    drives::MainServices services{
        platform::SystemProfileFile(),    platform::SystemFileSystem(),
        platform::SystemNetConnections(), platform::SystemShell(),
        platform::SystemWindowServices(), drives::System_Mapping_Location()};
    drives::frmMain window(services);
    const qint64 built = t.nsecsElapsed();
    window.Form_Load();  // shows, paints once, then loads the file
    window.grab();       // and one full paint of the loaded table
    const qint64 loaded = t.nsecsElapsed();
    std::printf("painted %lld %lld %lld\n", appReady / 1000, (built - appReady) / 1000,
                (loaded - built) / 1000);
    std::fflush(stdout);
    return 0;
}

struct Figures {
    std::vector<double> total, app, build, load;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

Figures Run(const char* self, const QString& home, int runs) {
    Figures f;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.remove("XDG_CONFIG_HOME");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("CUPS_SERVER", home + "/no-scheduler.sock");  // never a real scheduler
        env.insert("MAPEO_STARTUP_CHILD", "1");
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(QString::fromLocal8Bit(self), {});
        p.waitForReadyRead(30000);
        const double total = t.nsecsElapsed() / 1e6;
        const QList<QByteArray> parts = p.readAll().trimmed().split(' ');
        p.waitForFinished(30000);
        if (parts.size() != 4 || parts[0] != "painted")
            continue;
        f.total.push_back(total);
        f.app.push_back(parts[1].toDouble() / 1000);
        f.build.push_back(parts[2].toDouble() / 1000);
        f.load.push_back(parts[3].toDouble() / 1000);
    }
    return f;
}

void Print(const char* label, const Figures& f) {
    std::printf(
        "%-34s runs %2zu  median %7.1f ms  (QApplication %5.1f, window %5.1f, "
        "load+paint %5.1f)\n",
        label, f.total.size(), Median(f.total), Median(f.app), Median(f.build), Median(f.load));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("MAPEO_STARTUP_CHILD"))
        return Child(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    QTemporaryDir empty, full;
    QDir(full.path()).mkpath(".config/mapeo");
    QFile ini(full.path() + "/.config/mapeo/MAPEO.INI");
    ini.open(QIODevice::WriteOnly);
    ini.write("[UNIDADES]\r\n");
    for (int n = 1; n <= 12; ++n) {
        const QByteArray k = QByteArray::number(n);
        ini.write("UNIDAD" + k + "=\\\\oficina\\recurso" + k + "\r\n");
        ini.write("LETRA" + k + "=" +
                  (n <= 9 ? QByteArray(1, char('I' + n)) + ":"
                          : "LPT" + QByteArray::number(n - 9) + ":") +
                  "\r\n");
        ini.write("MAPEAR" + k + "=0\r\n");
    }
    ini.close();
    std::printf("Start-up to the painted main window (offscreen, %d fresh processes each)\n", runs);
    Print("no mapping file", Run(argv[0], empty.path(), runs));
    Print("full mapping file, marks 0", Run(argv[0], full.path(), runs));
    return 0;
}
