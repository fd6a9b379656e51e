// What the windows ask of the desktop beyond messages: one pass of the event loop, the
// screen and its colours.
#pragma once

#include <QColor>
#include <QSize>

#include "platform/messages.h"

namespace platform {

// System colour numbers.
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_HIGHLIGHT = 13;

class WindowServices : public Messages {
public:
    // Lets the event loop handle what is waiting, once.
    virtual void DoEvents() = 0;
    virtual QSize ScreenSize() = 0;
    virtual QColor GetSysColor(int index) = 0;
};

WindowServices& SystemWindowServices();

}  // namespace platform
