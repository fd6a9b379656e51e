// A loaded tester window on fakes and the real file system. As the program opens it, it
// deletes itself when closed; the rig deletes it otherwise.
#pragma once

#include <QPointer>

#include "fakes/desktop.h"
#include "fakes/tester.h"
#include "platform/filesystem.h"
#include "platform/paths.h"
#include "support/support.h"
#include "tcpip/frmtcpip.h"

struct TesterRig {
    QStringList events;
    fakes::FakeWindowServices ui;
    fakes::FakeEcho echo{events};
    fakes::FakeWinSock sockets{events};
    fakes::FakeSecurity security;
    fakes::FakeResolver resolver;
    fakes::FakeControl control;
    QPointer<tcpip::FRMTCPIP> window;

    TesterRig() {
        window =
            new tcpip::FRMTCPIP({echo, sockets, security, resolver, control,
                                 platform::SystemFileSystem(), ui, platform::ScanExportPath()});
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->Form_Load();
    }
    ~TesterRig() { delete window.data(); }
    tcpip::FRMTCPIP& w() { return *window; }
    void Boxes(const QString& dotted) {
        const QStringList parts = dotted.split(u'.');
        for (int i = 0; i < 4; ++i)
            window->Text1[i]->setText(parts[i]);
    }
    static QStringList Lines(tcpip::LogModel& m) {
        QStringList out;
        for (int i = 0; i < m.Count(); ++i)
            out << m.Line(i);
        return out;
    }
    QStringList Log() { return Lines(window->List1Lines()); }
    QStringList Found() { return Lines(window->List2Lines()); }
    QStringList Probed() const {
        QStringList out;
        for (const QString& e : events)
            if (e.startsWith(QStringLiteral("send:")))
                out << e.mid(5);
        return out;
    }
    // Runs `action` in the n-th yield, counting from 1.
    void AtYield(int n, std::function<void()> action) {
        ui.onDoEvents = [this, n, action] {
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
