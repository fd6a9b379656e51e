// A loaded tester window on fakes, exporting into a folder of its own. As the program opens
// it, it deletes itself when closed; the rig deletes it otherwise.
#pragma once

#include <QPointer>

#include "fakes/desktop.h"
#include "fakes/tester.h"
#include "platform/filesystem.h"
#include "support/support.h"
#include "tcpip/frmtcpip.h"

struct TesterRig {
    // How the scans send their probes: each when it is needed, or ahead through FakeAhead.
    enum class Probes { OneByOne, Ahead };

    support::TempDir dir;
    QStringList events;
    fakes::FakeWindowServices ui;
    fakes::FakeEcho echo{events};
    fakes::FakeWinSock sockets{events};
    fakes::FakeSecurity security;
    fakes::FakeResolver resolver;
    fakes::FakeControl control;
    fakes::FakeAhead ahead{echo};
    QPointer<tcpip::FRMTCPIP> window;

    explicit TesterRig(const char* exportFile = "escaner.txt", Probes probes = Probes::OneByOne) {
        if (probes == Probes::Ahead)
            echo.ahead = &ahead;
        resolver.lookAhead = probes == Probes::Ahead;
        window = new tcpip::FRMTCPIP({echo, sockets, security, resolver, control,
                                      platform::SystemFileSystem(), ui, dir.Path(exportFile)});
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->Form_Load();
    }
    explicit TesterRig(Probes probes) : TesterRig("escaner.txt", probes) {}
    ~TesterRig() { delete window.data(); }
    tcpip::FRMTCPIP& w() { return *window; }
    void Boxes(const QString& dotted) {
        for (int i = 0; i < 4; ++i)
            window->Text1[i]->setText(dotted.section(u'.', i, i));
    }
    static QStringList Lines(tcpip::LogModel& m) {
        QStringList out;
        for (int i = 0; i < m.Count(); ++i)
            out << m.Line(i);
        return out;
    }
    QStringList Log() { return Lines(window->List1_Lines()); }
    QStringList Found() { return Lines(window->List2_Lines()); }
    QStringList Probed() const {
        return QStringList(events).filter(QStringLiteral("send:")).replaceInStrings("send:", "");
    }
    // Runs `action` in the n-th yield, counting from 1, after what was set to run before.
    void At(int n, std::function<void()> action) {
        ui.onDoEvents = [this, n, action, before = ui.onDoEvents] {
            if (before)
                before();
            if (ui.yields == n)
                action();
        };
    }
};

inline QStringList Range(const QString& prefix, int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << prefix + QString::number(i);
    return out;
}
