// Stand-ins for the desktop and network-connection services, recording what the logic asks.
#pragma once

#include <QColor>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/networking.h"
#include "platform/shell.h"
#include "platform/windowservices.h"

namespace fakes {

// One ordered record of every message and platform call, across fakes.
struct EventLog {
    std::vector<std::string> events;
    void Add(std::string e) { events.push_back(std::move(e)); }
};

struct Message {
    QString text;
    int style = 0;
    QString title;
};

class FakeWindowServices : public platform::WindowServices {
public:
    explicit FakeWindowServices(EventLog* log = nullptr) : log_(log) {}

    int MsgBox(const QString& prompt, int style, const QString& title) override;
    void DoEvents() override;
    QSize ScreenSize() override { return {1280, 1024}; }
    QColor GetSysColor(int index) override;

    std::vector<Message> messages;
    QStringList Texts() const;
    int yields = 0;
    // Runs while a box is "open" or the event loop is given its turn: the test acts there.
    std::function<void(const Message&)> onMsgBox;
    std::function<void()> onDoEvents;

private:
    EventLog* log_;
};

struct AddCall {
    platform::NETRESOURCEA record;  // its strings are copied below, its pointers cleared
    std::string local, remote;
    bool credentialsNull = false;
    platform::DWORD flags = 0;
};

struct CancelCall {
    std::string name;
    platform::DWORD flags = 0;
    platform::BOOL force = 0;
};

class FakeNetConnections : public platform::NetConnections {
public:
    explicit FakeNetConnections(EventLog* log = nullptr) : log_(log) {}

    platform::DWORD WNetAddConnection2A(const platform::NETRESOURCEA* res, platform::LPCSTR pw,
                                        platform::LPCSTR user, platform::DWORD flags) override;
    platform::DWORD WNetCancelConnection2A(platform::LPCSTR name, platform::DWORD flags,
                                           platform::BOOL force) override;

    std::vector<AddCall> adds;
    std::vector<CancelCall> cancels;
    // Results handed out in order; NO_ERROR once they run out.
    std::deque<platform::DWORD> addResults, cancelResults;

private:
    EventLog* log_;
};

class FakeShell : public platform::Shell {
public:
    platform::HINSTANCE ShellExecuteA(platform::HWND, platform::LPCSTR op, platform::LPCSTR file,
                                      platform::LPCSTR params, platform::LPCSTR dir,
                                      int show) override {
        calls.push_back(std::string(op) + ' ' + file + (params || dir ? " +" : "") + ' ' +
                        std::to_string(show));
        return 42;
    }
    std::vector<std::string> calls;  // "open mailto:... 5"
};

}  // namespace fakes
