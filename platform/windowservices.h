// What the windows ask of the desktop: modal messages, one pass of the event loop, the
// screen and its colours.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>

namespace platform {

// Message box looks.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbExclamation = 48;

// System colour numbers.
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_HIGHLIGHT = 13;

class WindowServices {
public:
    virtual ~WindowServices() = default;

    // Modal box with an OK button; an empty title shows the application's title.
    virtual int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = {}) = 0;
    // Lets the event loop handle what is waiting, once.
    virtual void DoEvents() = 0;
    virtual QSize ScreenSize() = 0;
    virtual QColor GetSysColor(int index) = 0;
};

WindowServices& SystemWindowServices();

// The title of every message box that has none of its own.
inline QString ApplicationTitle() {
    return QStringLiteral("Mapeo");
}

}  // namespace platform
