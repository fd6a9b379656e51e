// The echo engine: one ICMP echo per probe, with the sockets library started and stopped
// around it, and the texts the probe log shows for its outcome.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

#include "platform/echo.h"
#include "platform/messages.h"
#include "platform/sockets.h"

namespace tcpip {

inline constexpr int EchoDataSize = 250;
inline constexpr platform::DWORD EchoTimeoutMs = 200;

// The reply record: the 32-bit echo-reply header and the data area, packed, 278 bytes. It
// lives in the caller's memory between probes; what a probe does not write stays.
#pragma pack(push, 1)
struct ECHO_REPLY {
    platform::IPAddr Address = 0;  // first octet in the lowest-addressed byte
    std::int32_t Status = 0;
    std::int32_t RoundTripTime = 0;
    std::int16_t DataSize = 0;
    std::int16_t Reserved = 0;
    std::int32_t DataPointer = 0;
    platform::IP_OPTION_INFORMATION32 Options;
    char Data[EchoDataSize] = {};
};
#pragma pack(pop)
static_assert(sizeof(ECHO_REPLY) == 278);
static_assert(offsetof(ECHO_REPLY, DataSize) == 12 && offsetof(ECHO_REPLY, DataPointer) == 16 &&
              offsetof(ECHO_REPLY, Data) == sizeof(platform::ICMP_ECHO_REPLY32));

// The replier's address as the log shows it: the four bytes read as a signed 32-bit number,
// lowest-addressed byte lowest.
std::int32_t Address_Value(const ECHO_REPLY& reply);

class TCPICP {
public:
    TCPICP(platform::IcmpEcho& echo, platform::WinSock& sockets, platform::Messages& ui)
        : echo_(echo), sockets_(sockets), ui_(ui) {}

    // "code [ text ]", as the probe log shows a status.
    static QString Echo_Status_Text(std::int32_t code);
    // Dotted text to the address whose bytes are the four parts; 0 unless there are exactly
    // four parts, each a whole number (reduced to its low eight bits).
    static std::int32_t Address_To_Long(QString text);

    // One probe of `host`; its outcome is left in `reply`.
    void Send_Echo(const QString& host, ECHO_REPLY& reply);
    void Sockets_Initialize();
    void Sockets_Cleanup();

private:
    platform::IcmpEcho& echo_;
    platform::WinSock& sockets_;
    platform::Messages& ui_;
    bool toldNoEcho_ = false;  // the user hears once that no echo can be sent
};

}  // namespace tcpip
