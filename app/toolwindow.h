// One window per tool: made and loaded on the first request, brought forward while it is
// open, and made and loaded afresh once the user has closed it. A closed window deletes
// itself; one that cannot go at once (a tester closed during a scan) stays hidden until it
// can, and is never shown again.
#pragma once

#include <QPointer>
#include <functional>
#include <utility>

namespace app {

template <class Window>
class ToolWindow {
public:
    explicit ToolWindow(std::function<Window*()> make) : make_(std::move(make)) {}

    Window* Show() {
        if (!window_ || !window_->isVisible()) {
            window_ = make_();
            window_->setAttribute(Qt::WA_DeleteOnClose);
            window_->Form_Load();
        }
        window_->show();
        window_->raise();
        window_->activateWindow();
        return window_;
    }

private:
    std::function<Window*()> make_;
    QPointer<Window> window_;
};

}  // namespace app
