#include "fakes/desktop.h"

#include <QStringList>

namespace fakes {
namespace {

platform::DWORD Next(std::deque<platform::DWORD>& results) {
    if (results.empty())
        return platform::NO_ERROR;
    const platform::DWORD r = results.front();
    results.pop_front();
    return r;
}

}  // namespace

int FakeWindowServices::MsgBox(const QString& prompt, int style, const QString& title) {
    messages.push_back({prompt, style, title});
    if (log_)
        log_->Add("msg:" + prompt.toStdString());
    if (onMsgBox)
        onMsgBox(messages.back());
    return 1;
}

QStringList FakeWindowServices::Texts() const {
    QStringList t;
    for (const Message& m : messages)
        t << m.text;
    return t;
}

void FakeWindowServices::DoEvents() {
    ++yields;
    if (onDoEvents)
        onDoEvents();
}

QColor FakeWindowServices::GetSysColor(int index) {
    return index == platform::COLOR_WINDOW ? QColor(Qt::white) : QColor(0, 120, 215);
}

platform::DWORD FakeNetConnections::WNetAddConnection2A(const platform::NETRESOURCEA* res,
                                                        platform::LPCSTR pw, platform::LPCSTR user,
                                                        platform::DWORD flags) {
    AddCall c{*res, res->lpLocalName ? res->lpLocalName : "",
              res->lpRemoteName ? res->lpRemoteName : "", !pw && !user, flags};
    c.record.lpLocalName = c.record.lpRemoteName = nullptr;
    adds.push_back(c);
    if (log_)
        log_->Add("add:" + c.local + "|" + c.remote);
    return Next(addResults);
}

platform::DWORD FakeNetConnections::WNetCancelConnection2A(platform::LPCSTR name,
                                                           platform::DWORD flags,
                                                           platform::BOOL force) {
    cancels.push_back({name ? name : "", flags, force});
    if (log_)
        log_->Add("cancel:" + cancels.back().name);
    return Next(cancelResults);
}

}  // namespace fakes
