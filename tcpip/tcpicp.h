// The echo engine: one ICMP echo per probe, with the sockets library started and stopped
// around it, and the texts the probe log shows for its outcome.
#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/echo.h"
#include "platform/messages.h"
#include "platform/sockets.h"

namespace tcpip {

inline constexpr int EchoDataSize = 250;
inline constexpr platform::DWORD EchoTimeoutMs = 200;
// Addresses a scan may have out at once, the one it waits for included.
inline constexpr int LookAheadWindow = 256;

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
    ~TCPICP();
    TCPICP(const TCPICP&) = delete;
    TCPICP& operator=(const TCPICP&) = delete;

    // "code [ text ]", as the probe log shows a status.
    static QString Echo_Status_Text(std::int32_t code);
    // Dotted text to the address whose bytes are the four parts; 0 unless there are exactly
    // four parts, each a whole number (reduced to its low eight bits).
    static std::int32_t Address_To_Long(QString text);

    // One probe of `host`; its outcome is left in `reply`. Right after Look_Ahead, the probe
    // may already be out: the call then waits only for the rest of its own time-out, and
    // meanwhile sends the guessed probes ahead, paced.
    void Send_Echo(const QString& host, ECHO_REPLY& reply);
    void Sockets_Initialize();
    void Sockets_Cleanup();

    // A scan's guess of the hosts it will probe after the one it is about to send, nearest
    // first. It holds for the next Send_Echo only, so a PING in between is sent as ever; a
    // wrong guess costs nothing but the probes already out for it, which are dropped.
    void Look_Ahead(const QStringList& next);
    // No scan runs any more: what is still out is dropped.
    void End_Look_Ahead();
    // Told, during Send_Echo, of each host sent ahead as soon as it has answered.
    std::function<void(const QString& host)> Answered;

private:
    struct Ahead {
        QString host;
        platform::IPAddr address = 0;
        platform::DWORD ticket = 0;  // 0 while only guessed
        bool told = false;
    };
    void Send_Now(platform::IPAddr address, ECHO_REPLY& buffer, QString& why);
    bool Send_Ahead(platform::IcmpEchoAhead& ahead, platform::IPAddr address, const QString& host,
                    const QStringList& guess, ECHO_REPLY& buffer);
    void Plan(const QString& host, platform::IPAddr address, const QStringList& guess);
    void Send_Paced(platform::IcmpEchoAhead& ahead);
    void Tell_Answered(platform::IcmpEchoAhead& ahead);
    void Drop(platform::IcmpEchoAhead* ahead, const Ahead& a);
    int Probes_Out() const;

    platform::IcmpEcho& echo_;
    platform::WinSock& sockets_;
    platform::Messages& ui_;
    bool toldNoEcho_ = false;  // the user hears once that no echo can be sent

    bool armed_ = false;
    QStringList guess_;
    platform::HANDLE aheadHandle_ = platform::InvalidHandleValue();
    std::vector<Ahead> plan_;  // the probe waited for, then the guess; ticket set once sent
    std::optional<std::uint64_t> lastAheadTick_;  // of the last probe sent ahead
};

}  // namespace tcpip
