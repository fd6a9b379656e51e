// Times the browser against the server that run.sh starts: the first level of the tree, a
// server's shares, and the expansion of a folder of many files (listing and tree nodes).
// Prints figures; asserts nothing.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "browser/frmnwcheck.h"
#include "browser/netresource.h"
#include "platform/folders.h"
#include "platform/netenum.h"

namespace {

using namespace platform;

// The rows the browser writes to; the benchmark never looks at them.
class NoRows : public browser::TargetRows {
public:
    void Set_Path_Text(int, const QString&) override {}
    void Set_Back_Color(int, const QColor&) override {}
};
class QuietWindows : public WindowServices {
public:
    int MsgBox(const QString& text, int, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return 1;
    }
    void DoEvents() override {}
    QSize ScreenSize() override { return {1280, 1024}; }
    QColor GetSysColor(int) override { return Qt::white; }
};

double Ms(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void Report(const char* what, double first, const std::vector<double>& rest) {
    std::printf("%-52s first %8.2f ms   then median %8.2f ms (n=%zu)\n", what, first, Median(rest),
                rest.size());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString server = qEnvironmentVariable("MAPEO_BR_SERVER");
    const QString workgroup = qEnvironmentVariable("MAPEO_BR_WORKGROUP");
    const QString folder = qEnvironmentVariable("MAPEO_BR_BIG_FOLDER");  // inside "publico"
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (server.isEmpty() || workgroup.isEmpty() || folder.isEmpty()) {
        std::fprintf(stderr, "run through bench/browser/run.sh\n");
        return 2;
    }
    const QString serverKey = QStringLiteral("\\\\") + server;
    const QString share = serverKey + QStringLiteral("\\publico");
    const QString big = share + QStringLiteral("\\") + folder;

    // Root, provider and the workgroups below it, with fresh objects every time.
    std::vector<double> times;
    int workgroups = 0;
    for (int i = 0; i <= reps; ++i) {
        browser::NETRESOURCE root(SystemNetEnumeration());
        times.push_back(Ms([&] {
            for (browser::NETRESOURCE& provider : root.Children())
                workgroups = provider.Children().Count();
        }));
    }
    Report("first level (root, provider, workgroups)", times.front(),
           std::vector<double>(times.begin() + 1, times.end()));
    std::printf("    workgroups found: %d\n", workgroups);

    times.clear();
    int shares = 0;
    for (int i = 0; i <= reps; ++i) {
        browser::NETRESOURCE srv(SystemNetEnumeration());
        browser::NetRecord r;
        r.dwDisplayType = RESOURCEDISPLAYTYPE_SERVER;
        r.dwUsage = RESOURCEUSAGE_CONTAINER;
        r.RemoteName = serverKey;
        srv.InitFromRecord(r);
        times.push_back(Ms([&] { shares = srv.Children().Count(); }));
    }
    Report("a server's shares and printers", times.front(),
           std::vector<double>(times.begin() + 1, times.end()));
    std::printf("    shares and printers found: %d\n", shares);

    // The folder alone: GetFolder, then its files and subfolders.
    times.clear();
    std::size_t files = 0;
    for (int i = 0; i <= reps; ++i) {
        times.push_back(Ms([&] {
            auto f = SystemFileSystemObject().GetFolder(big.toStdString());
            files = f ? f->Files().value_or(std::vector<std::string>{}).size() : 0;
            if (f)
                f->SubFolders();
        }));
    }
    Report("folder listing only (GetFolder, Files, SubFolders)", times.front(),
           std::vector<double>(times.begin() + 1, times.end()));
    std::printf("    files listed: %zu\n", files);

    // The expansion in the window: listing plus one tree node per file.
    NoRows rows;
    QuietWindows ui;
    times.clear();
    int nodes = 0;
    for (int i = 0; i <= reps; ++i) {
        browser::frmNWCheck window(rows, {SystemNetEnumeration(), SystemFileSystemObject(), ui});
        window.Form_Load();
        window.show();
        browser::Node* root = window.tvwNetwork->Find(QStringLiteral("_ROOT"));
        root->child(0)->setExpanded(true);
        for (const QString& key : {workgroup, serverKey, share})
            if (browser::Node* n = window.tvwNetwork->Find(key))
                n->setExpanded(true);
        browser::Node* target = window.tvwNetwork->Find(big);
        if (!target) {
            std::fprintf(stderr, "folder %s not in the tree\n", qPrintable(big));
            return 1;
        }
        times.push_back(Ms([&] {
            target->setExpanded(true);
            QApplication::processEvents();  // the view lays the new rows out and paints
        }));
        nodes = target->childCount();
    }
    Report("expanding the folder in the window (list + nodes)", times.front(),
           std::vector<double>(times.begin() + 1, times.end()));
    std::printf("    tree nodes added: %d\n", nodes);
    // For run.sh, which sets it beside smbclient's figure.
    std::printf("RESULT expand_first_ms=%.2f expand_median_ms=%.2f\n", times.front(),
                Median(std::vector<double>(times.begin() + 1, times.end())));
    return 0;
}
