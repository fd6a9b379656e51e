// The echo helper, mapeo-echo: the one small program that holds cap_net_raw, so that Mapeo
// itself never does. Mapeo starts it with one end of a SOCK_SEQPACKET socket pair on fd 3, an
// empty environment and no arguments. It opens its raw ICMP socket, drops every capability,
// says Hello, then serves Requests and sends one Answer per request as each completes, and
// ends when Mapeo closes the pair. Both ends run on the same host: fields are in host order,
// addresses as IPAddr (network order).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/echo.h"

namespace platform::icmp::helper {

inline constexpr int ChannelFd = 3;
inline constexpr std::uint32_t Version = 1;
inline constexpr std::size_t MaxPayload = 1024;  // request data
// Echoed data passed back; a longer reply is cut, and Answer::dataSize still tells its size.
inline constexpr std::size_t MaxAnswerData = 2048;
inline constexpr std::uint32_t MaxTimeoutMs = 10000;
inline constexpr std::size_t MaxInFlight = 1024;
// Probes sent: a burst, then one per millisecond, as Mapeo's scans pace them; the helper is
// no faster a flood tool for a local user than Mapeo is.
inline constexpr int RateBurst = 64;

#pragma pack(push, 1)
// The helper's first message: the errno of opening its raw socket, 0 when it is ready.
struct Hello {
    std::uint32_t version = Version;
    std::int32_t error = 0;
};

struct Request {
    std::uint32_t tag = 0;  // chosen by Mapeo, never 0, unique among its requests in flight
    IPAddr destination = 0;
    std::uint32_t timeoutMs = 0;
    std::uint16_t payloadSize = 0;  // bytes that follow the request
    std::uint8_t ttl = 0;           // 0: the system's default
    std::uint8_t tos = 0;
};

struct Answer {
    std::uint32_t tag = 0;  // 0 when the request was too short to carry one
    std::uint32_t status = IP_SUCCESS;
    IPAddr from = 0;
    std::uint32_t rttMicros = 0;  // from the send to the answer's arrival
    std::uint32_t dataSize = 0;   // of the echoed data; at most MaxAnswerData bytes follow
    std::uint8_t ttl = 0;
    std::uint8_t tos = 0;
    std::uint16_t reserved = 0;
};
#pragma pack(pop)

inline constexpr std::size_t LargestRequest = sizeof(Request) + MaxPayload;

struct Checked {
    DWORD status = IP_BAD_REQ;  // IP_SUCCESS when the request may be sent
    Request request;
    const std::uint8_t* payload = nullptr;
};
// Judges one request message as received; `truncated` when it was longer than LargestRequest.
Checked CheckRequest(const std::uint8_t* message, std::size_t length, bool truncated);

// Mapeo's side. Where the helper is looked for: beside the running program, then in
// ../libexec/mapeo/ from its folder. Never from the environment; tests name their own file.
void SetHelperPath(std::string path);
std::string HelperPath();

struct Process {
    pid_t pid = -1;
    int fd = -1;  // Mapeo's end of the pair
};
// Starts the helper and waits for its Hello. False with an errno when it cannot run or cannot
// open its socket; nothing is left running then.
bool Start(const std::string& path, Process& out, int& error);
// Closes the pair, which ends the helper, and reaps it.
void Stop(Process& p);

}  // namespace platform::icmp::helper
