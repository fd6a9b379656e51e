// The socket component (MSWinsockLib.Winsock) as far as the tester reads it: who and where this
// machine is, and the state of a control that is never bound or opened.
#pragma once

#include <QString>
#include <cstdint>

namespace platform {

inline constexpr int sckClosed = 0;

class WinsockControl {
public:
    virtual ~WinsockControl() = default;

    virtual QString LocalHostName() = 0;
    // Dotted IPv4 address of this machine on its network; "127.0.0.1" when it has none.
    virtual QString LocalIP() = 0;
    virtual std::int32_t LocalPort() = 0;
    virtual int State() = 0;
    // The control's own name on the window.
    virtual QString Name() = 0;
};

WinsockControl& SystemWinsockControl();

}  // namespace platform
