#include "support/fakes.h"

namespace testing_support {

int FakeWindowServices::MsgBox(const QString& prompt, int style, const QString& title) {
    messages.push_back({prompt, style, title});
    if (log_)
        log_->Add("msg:" + prompt.toStdString());
    if (onMsgBox)
        onMsgBox(messages.back());
    return 1;
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
    AddCall c{*res,
              res->lpLocalName ? res->lpLocalName : "",
              res->lpRemoteName ? res->lpRemoteName : "",
              pw == nullptr,
              user == nullptr,
              flags};
    c.record.lpLocalName = c.record.lpRemoteName = nullptr;
    adds.push_back(c);
    if (log_)
        log_->Add("add:" + c.local + "|" + c.remote);
    if (addResults.empty())
        return addDefault;
    const platform::DWORD r = addResults.front();
    addResults.pop_front();
    return r;
}

platform::DWORD FakeNetConnections::WNetCancelConnection2A(platform::LPCSTR name,
                                                           platform::DWORD flags,
                                                           platform::BOOL force) {
    cancels.push_back({name ? name : "", flags, force});
    if (log_)
        log_->Add("cancel:" + cancels.back().name);
    if (cancelResults.empty())
        return cancelDefault;
    const platform::DWORD r = cancelResults.front();
    cancelResults.pop_front();
    return r;
}

platform::HINSTANCE FakeShell::ShellExecuteA(platform::HWND, platform::LPCSTR op,
                                             platform::LPCSTR file, platform::LPCSTR params,
                                             platform::LPCSTR dir, int show) {
    calls.push_back({op ? op : "", file ? file : "", params == nullptr, dir == nullptr, show});
    return 42;
}

}  // namespace testing_support
