// The ICMP echo service (icmp.dll): one echo request, one reply record.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32types.h"

namespace platform {

using IPAddr = std::uint32_t;  // IPv4 address, first octet in the lowest-addressed byte
using WORD = std::uint16_t;
using UCHAR = std::uint8_t;
using LPVOID = void*;

inline HANDLE InvalidHandleValue() {
    return reinterpret_cast<HANDLE>(std::intptr_t(-1));
}

// IP status codes, as IcmpSendEcho reports them.
inline constexpr DWORD IP_SUCCESS = 0;
inline constexpr DWORD IP_BUF_TOO_SMALL = 11001;
inline constexpr DWORD IP_DEST_NET_UNREACHABLE = 11002;
inline constexpr DWORD IP_DEST_HOST_UNREACHABLE = 11003;
inline constexpr DWORD IP_DEST_PROT_UNREACHABLE = 11004;
inline constexpr DWORD IP_DEST_PORT_UNREACHABLE = 11005;
inline constexpr DWORD IP_NO_RESOURCES = 11006;
inline constexpr DWORD IP_BAD_OPTION = 11007;
inline constexpr DWORD IP_HW_ERROR = 11008;
inline constexpr DWORD IP_PACKET_TOO_BIG = 11009;
inline constexpr DWORD IP_REQ_TIMED_OUT = 11010;
inline constexpr DWORD IP_BAD_REQ = 11011;
inline constexpr DWORD IP_BAD_ROUTE = 11012;
inline constexpr DWORD IP_TTL_EXPIRED_TRANSIT = 11013;
inline constexpr DWORD IP_TTL_EXPIRED_REASSEM = 11014;
inline constexpr DWORD IP_PARAM_PROBLEM = 11015;
inline constexpr DWORD IP_SOURCE_QUENCH = 11016;
inline constexpr DWORD IP_OPTION_TOO_BIG = 11017;
inline constexpr DWORD IP_BAD_DESTINATION = 11018;
inline constexpr DWORD IP_GENERAL_FAILURE = 11050;
inline constexpr DWORD IP_PENDING = 11255;

inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;

// The 32-bit forms of the reply records: the layout the tester's reply buffer is read with,
// whatever the width of pointers in this process.
#pragma pack(push, 1)
struct IP_OPTION_INFORMATION32 {
    UCHAR Ttl = 0;
    UCHAR Tos = 0;
    UCHAR Flags = 0;
    UCHAR OptionsSize = 0;
    std::uint32_t OptionsData = 0;  // a 32-bit pointer, never followed
};

struct ICMP_ECHO_REPLY32 {
    IPAddr Address = 0;
    std::int32_t Status = 0;
    std::int32_t RoundTripTime = 0;
    std::int16_t DataSize = 0;
    std::uint16_t Reserved = 0;
    std::uint32_t Data = 0;  // where the echoed data was placed in the reply buffer
    IP_OPTION_INFORMATION32 Options;
};
#pragma pack(pop)
static_assert(sizeof(ICMP_ECHO_REPLY32) == 28);

// Request options; the tester sends none.
struct IP_OPTION_INFORMATION {
    UCHAR Ttl = 0;
    UCHAR Tos = 0;
    UCHAR Flags = 0;
    UCHAR OptionsSize = 0;
    UCHAR* OptionsData = nullptr;
};

// Probes sent ahead of need, so that a scan does not wait for each silent address in turn. A
// Windows service builds it on IcmpSendEcho2 with an event per probe; a service without it
// answers nullptr from IcmpEcho::LookAhead() and every probe is sent when it is needed.
class IcmpEchoAhead {
public:
    virtual ~IcmpEchoAhead() = default;

    // Sends one echo request now and returns at once; its Timeout runs from this send. The
    // result is a ticket for the calls below, or 0 when nothing could be sent (GetLastError()).
    virtual DWORD IcmpSendEchoAhead(HANDLE IcmpHandle, IPAddr DestinationAddress,
                                    LPVOID RequestData, WORD RequestSize,
                                    IP_OPTION_INFORMATION* RequestOptions, DWORD Timeout) = 0;
    // Waits at most WaitMs for the probe to end. Once it has, writes its outcome into the reply
    // buffer as IcmpSendEcho would, forgets the ticket and returns the number of replies. While
    // it is still out, writes nothing, returns 0 and GetLastError() is IP_PENDING. Any other
    // result of 0 leaves a failure's Status in a buffer that holds a header, as IcmpSendEcho.
    virtual DWORD IcmpCollectEcho(HANDLE IcmpHandle, DWORD Ticket, LPVOID ReplyBuffer,
                                  DWORD ReplySize, DWORD WaitMs) = 0;
    // IP_PENDING while the probe is out (as far as the last collect on the handle heard),
    // otherwise its status; the ticket stays until collected or forgotten.
    virtual DWORD IcmpEchoStatus(HANDLE IcmpHandle, DWORD Ticket) = 0;
    // Drops a probe nobody needs any more; an answer that still comes is ignored.
    virtual void IcmpForgetEcho(HANDLE IcmpHandle, DWORD Ticket) = 0;
    // Milliseconds on a clock that never goes back: probes ahead are paced on it.
    virtual std::uint64_t GetTickCount64() = 0;
};

class IcmpEcho {
public:
    virtual ~IcmpEcho() = default;

    // InvalidHandleValue() when no echo can be sent at all; GetLastError() tells why.
    virtual HANDLE IcmpCreateFile() = 0;
    // Sends one echo request and waits at most Timeout milliseconds. The reply buffer gets an
    // ICMP_ECHO_REPLY32 followed by the echoed data; its Status says what happened even when
    // the result, the number of replies, is 0, so that a result of 0 never leaves IP_SUCCESS
    // from an earlier call there (only a buffer too small for a header is left alone). Bytes
    // the call does not write keep their value.
    virtual DWORD IcmpSendEcho(HANDLE IcmpHandle, IPAddr DestinationAddress, LPVOID RequestData,
                               WORD RequestSize, IP_OPTION_INFORMATION* RequestOptions,
                               LPVOID ReplyBuffer, DWORD ReplySize, DWORD Timeout) = 0;
    virtual BOOL IcmpCloseHandle(HANDLE IcmpHandle) = 0;

    // The look-ahead of this service on the same handles, or nullptr when it has none.
    virtual IcmpEchoAhead* LookAhead() { return nullptr; }

    virtual DWORD GetLastError() const = 0;
    // Reason of the last failure in the user's language, with how to put it right when the
    // system can say.
    virtual std::string LastErrorText() const = 0;
};

IcmpEcho& SystemIcmpEcho();

}  // namespace platform
