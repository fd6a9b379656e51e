// How the Linux echo back end and the echo helper read what their ICMP sockets hand back. The
// rules (which packet belongs to the probe, which status an error gets) take bytes, so they
// can be checked with hand-made packets; the socket calls both make are at the end.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>

#include "platform/echo.h"

namespace platform::icmp {

inline constexpr std::size_t EchoHeaderSize = 8;

// The probe in flight. Addresses are in network byte order, as IPAddr.
struct Probe {
    IPAddr destination = 0;
    std::uint16_t id = 0;        // network order as on the wire
    std::uint16_t sequence = 0;  // network order as on the wire
    bool raw = false;            // raw sockets see IP headers and every ICMP packet of the host
};

enum class Verdict { Ignore, Reply, Error };

struct Outcome {
    Verdict verdict = Verdict::Ignore;
    DWORD status = IP_SUCCESS;
    IPAddr from = 0;                     // the replier, or the host that reported the error
    const std::uint8_t* data = nullptr;  // echoed payload of a reply
    std::size_t size = 0;
    int ttl = -1;  // of the reply, when known
    int tos = -1;
};

// A datagram read from the socket; `source` is the address it came from.
Outcome ReadPacket(const Probe& probe, const std::uint8_t* packet, std::size_t length,
                   IPAddr source);

// An entry of the socket's error queue (IP_RECVERR). `originalDestination` is where the packet
// that failed was going; `payload` is that packet as the queue returns it.
struct QueuedError {
    std::uint8_t origin = 0;  // SO_EE_ORIGIN_*
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint32_t errnum = 0;
    IPAddr offender = 0;
    IPAddr originalDestination = 0;
    const std::uint8_t* payload = nullptr;
    std::size_t length = 0;
};
Outcome ReadQueuedError(const Probe& probe, const QueuedError& e);

// The echo id and sequence a packet from the socket refers to: a reply's own, or those of the
// request that an error quotes. False when it concerns no echo request. Several probes share
// one socket, so this picks the probe before ReadPacket judges the packet against it.
bool EchoKey(bool raw, const std::uint8_t* packet, std::size_t length, std::uint16_t& id,
             std::uint16_t& sequence);
// The same for an entry of the error queue; false when it quotes too little to tell.
bool QueuedEchoKey(const QueuedError& e, std::uint16_t& id, std::uint16_t& sequence);

// Writes the outcome of a probe into an IcmpSendEcho reply buffer: the reply header, and for a
// reply its data right after it. Nothing else of the buffer is touched. A reply whose data does
// not fit is written as IP_BUF_TOO_SMALL. Returns the status written.
DWORD FillReplyBuffer(std::uint8_t* buffer, std::size_t bufferSize, DWORD status, IPAddr from,
                      std::int32_t roundTripMs, const std::uint8_t* data, std::size_t size,
                      int ttl = -1, int tos = -1);

// Destinations no probe is sent to: 0.0.0.0, broadcasts (limited, or of an interface of this
// host) and multicast or reserved addresses, which many hosts or none would answer.
bool IsBadDestination(IPAddr a);

// Status of an ICMP error message, by type and code.
DWORD StatusForIcmpError(std::uint8_t type, std::uint8_t code);
// Status of a send that the local system refused, or of a local error on the queue.
DWORD StatusForLocalError(int errnum);

// Reads what waits on a socket, one packet per call of `readOne` (false: nothing more waits),
// until `done()`: at most `batch` packets, and none after `until` but the first, so that a
// stream of other hosts' ICMP cannot hold a probe past its deadline. Returns the count read.
template <class ReadOne, class Done>
int ReadBounded(std::chrono::steady_clock::time_point until, int batch, ReadOne readOne,
                Done done) {
    int n = 0;
    while (n < batch && !done()) {
        if (n > 0 && std::chrono::steady_clock::now() >= until)
            break;
        if (!readOne())
            break;
        ++n;
    }
    return n;
}

// An echo request with the given payload, checksum filled in.
std::size_t BuildEchoRequest(const Probe& probe, const void* payload, std::size_t size,
                             std::uint8_t* out, std::size_t capacity);
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length);

// Lets only echo replies and the errors a probe can meet into a raw ICMP socket: the rest of
// the host's ICMP traffic stays out of it.
void SetIcmpFilter(int fd);

// One read from an ICMP socket, or from its error queue (IP_RECVERR).
struct Received {
    std::size_t length = 0;  // bytes put in the caller's buffer
    bool truncated = false;  // the packet was longer than the buffer
    IPAddr from = 0;         // the sender; for the error queue, where the failed packet went
    int ttl = -1;            // with IP_RECVTTL
    bool stamped = false;    // with SO_TIMESTAMPNS: when the kernel took the packet in
    timespec stamp{};
    bool queued = false;  // an error-queue entry: `error` has it, its payload in the buffer
    QueuedError error;
};
// Reads one packet, or one entry of the error queue, without waiting. 1: read; 0: interrupted
// (read again); -1: nothing waits, or the socket failed (errno says which).
int Receive(int fd, bool errorQueue, std::uint8_t* buffer, std::size_t size, Received& out);

}  // namespace platform::icmp
