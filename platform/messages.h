// Modal messages: the one thing the widget-free logic asks of the desktop.
#pragma once

#include <QString>

namespace platform {

// Message box looks.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbExclamation = 48;

class Messages {
public:
    virtual ~Messages() = default;

    // Modal box with an OK button; an empty title shows the application's title.
    virtual int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = {}) = 0;
};

// The title of every message box that has none of its own.
inline QString ApplicationTitle() {
    return QStringLiteral("Mapeo");
}

}  // namespace platform
