// Stand-ins for the system's services, recording what the logic asks of them.
#pragma once

#include <QColor>
#include <QString>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/networking.h"
#include "platform/shell.h"
#include "platform/windowservices.h"

namespace testing_support {

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
    int yields = 0;
    // Runs while a box is "open" or the event loop is given its turn: the test acts there.
    std::function<void(const Message&)> onMsgBox;
    std::function<void()> onDoEvents;

private:
    EventLog* log_;
};

struct AddCall {
    platform::NETRESOURCEA record;  // strings copied below; the pointers are not kept
    std::string local;
    std::string remote;
    bool passwordNull = false;
    bool userNull = false;
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
    // Results handed out in order; when empty, the default applies.
    std::deque<platform::DWORD> addResults;
    std::deque<platform::DWORD> cancelResults;
    platform::DWORD addDefault = 0;
    platform::DWORD cancelDefault = 0;

private:
    EventLog* log_;
};

class FakeShell : public platform::Shell {
public:
    platform::HINSTANCE ShellExecuteA(platform::HWND, platform::LPCSTR op, platform::LPCSTR file,
                                      platform::LPCSTR params, platform::LPCSTR dir,
                                      int show) override;
    struct Call {
        std::string operation, file;
        bool paramsNull, dirNull;
        int show;
    };
    std::vector<Call> calls;
};

}  // namespace testing_support
