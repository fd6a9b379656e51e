// The Linux back ends without a network: how the echo socket's packets are read, which status
// an error gets, what the echo helper refuses, and the Windows rules of the user name, sockets
// start-up and bad handles. (That a stream of other traffic ends no read late, network_test
// checks under a real flood.)
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/echo.h"
#include "platform/linux/icmp_helper.h"
#include "platform/linux/icmp_packets.h"
#include "platform/security.h"
#include "platform/sockets.h"

namespace {

using namespace platform;
using icmp::Verdict;
namespace helper = icmp::helper;
using Bytes = std::vector<std::uint8_t>;

IPAddr Ip(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

const icmp::Probe Datagram{Ip("10.0.0.5"), htons(0x1234), htons(7), false};
const icmp::Probe Raw{Ip("10.0.0.5"), htons(0x1234), htons(7), true};

Bytes Echo(std::uint8_t type, icmp::Probe p, std::uint16_t sequence = 7,
           std::uint16_t id = 0x1234) {
    p.sequence = htons(sequence);
    p.id = htons(id);
    Bytes v(8 + 15);
    icmp::BuildEchoRequest(p, "Enviando sondeo", 15, v.data(), v.size());
    v[0] = type;
    return v;
}

Bytes Ip4(const Bytes& payload, IPAddr from, IPAddr to) {
    Bytes v(20, 0);
    v[0] = 0x45;
    v[8] = 61;
    v[9] = 1;
    std::memcpy(&v[12], &from, 4);
    std::memcpy(&v[16], &to, 4);
    v.insert(v.end(), payload.begin(), payload.end());
    return v;
}

// A router's error: its header, then the IP header and first 8 bytes of the failed request.
Bytes Error(std::uint8_t type, std::uint8_t code, const Bytes& request, IPAddr to) {
    Bytes v = {type, code, 0, 0, 0, 0, 0, 0};
    const Bytes quoted = Ip4(request, Ip("10.0.0.1"), to);
    v.insert(v.end(), quoted.begin(), quoted.begin() + 28);
    return Ip4(v, Ip("10.0.0.1"), Ip("10.0.0.9"));
}

Verdict Read(const icmp::Probe& p, const Bytes& b, IPAddr from) {
    return icmp::ReadPacket(p, b.data(), b.size(), from).verdict;
}

TEST(EchoSocket, OnlyTheReplyToThisProbeFromItsHostCounts) {
    const auto reply =
        icmp::ReadPacket(Datagram, Echo(0, Datagram).data(), 23, Datagram.destination);
    EXPECT_EQ(reply.verdict, Verdict::Reply);
    EXPECT_EQ(reply.size, 15u);
    const Bytes raw = Ip4(Echo(0, Raw), Raw.destination, Ip("10.0.0.9"));
    EXPECT_EQ(icmp::ReadPacket(Raw, raw.data(), raw.size(), Raw.destination).ttl, 61);
    // Strays: an earlier probe, another program, another host, a request, a cut-off packet.
    EXPECT_EQ(Read(Datagram, Echo(0, Datagram, 6), Datagram.destination), Verdict::Ignore);
    EXPECT_EQ(Read(Raw, Ip4(Echo(0, Raw, 7, 99), Raw.destination, 0), Raw.destination),
              Verdict::Ignore);
    EXPECT_EQ(Read(Datagram, Echo(0, Datagram), Ip("10.0.0.6")), Verdict::Ignore);
    EXPECT_EQ(Read(Raw, Ip4(Echo(8, Raw), 0, Raw.destination), Raw.destination), Verdict::Ignore);
    EXPECT_EQ(icmp::ReadPacket(Datagram, Echo(0, Datagram).data(), 7, Datagram.destination).verdict,
              Verdict::Ignore);
}

TEST(EchoSocket, ErrorsCountOnlyWhenTheyQuoteThisProbe) {
    const auto e = icmp::ReadPacket(Raw, Error(3, 1, Echo(8, Raw), Raw.destination).data(), 56,
                                    Ip("10.0.0.1"));
    EXPECT_EQ(e.verdict, Verdict::Error);
    EXPECT_EQ(e.status, IP_DEST_HOST_UNREACHABLE);
    EXPECT_EQ(e.from, Ip("10.0.0.1"));
    EXPECT_EQ(Read(Raw, Error(3, 1, Echo(8, Raw, 8), Raw.destination), 0), Verdict::Ignore);
    EXPECT_EQ(Read(Raw, Error(3, 1, Echo(8, Raw), Ip("10.0.0.77")), 0), Verdict::Ignore);
    EXPECT_EQ(Read(Raw, Error(5, 1, Echo(8, Raw), Raw.destination), 0), Verdict::Ignore)
        << "a redirect";
    // The error queue quotes the request from its ICMP header or from its IP header.
    const Bytes request = Echo(8, Datagram), withIp = Ip4(request, 0, Datagram.destination);
    for (const Bytes* quoted : {&request, &withIp}) {
        const icmp::QueuedError q{
            2, 11, 0, 0, Ip("10.0.0.1"), Datagram.destination, quoted->data(), quoted->size()};
        EXPECT_EQ(icmp::ReadQueuedError(Datagram, q).status, IP_TTL_EXPIRED_TRANSIT);
    }
    const Bytes old = Echo(8, Datagram, 6);
    const icmp::QueuedError stale{2, 3, 1, 0, 0, Datagram.destination, old.data(), old.size()};
    EXPECT_EQ(icmp::ReadQueuedError(Datagram, stale).verdict, Verdict::Ignore);
}

TEST(EchoSocket, ErrorsGetTheStatusOfTheirKind) {
    EXPECT_EQ(icmp::StatusForIcmpError(3, 0), IP_DEST_NET_UNREACHABLE);
    EXPECT_EQ(icmp::StatusForIcmpError(3, 13), IP_DEST_HOST_UNREACHABLE);
    EXPECT_EQ(icmp::StatusForIcmpError(11, 1), IP_TTL_EXPIRED_REASSEM);
    EXPECT_EQ(icmp::StatusForIcmpError(9, 0), IP_GENERAL_FAILURE);
    EXPECT_EQ(icmp::StatusForLocalError(ENETUNREACH), IP_DEST_NET_UNREACHABLE);
    EXPECT_EQ(icmp::StatusForLocalError(ENOBUFS), IP_GENERAL_FAILURE);
    const Bytes request = Echo(8, Raw);
    EXPECT_EQ(icmp::InternetChecksum(request.data(), request.size()), 0) << "odd length included";
}

TEST(EchoSocket, RepliesWithIpOptionsAndRepliesTooLargeForTheBuffer) {
    Bytes withOptions = Ip4(Echo(0, Raw), Raw.destination, Ip("10.0.0.9"));
    withOptions[0] = 0x46;  // a 24-byte header: one word of options before the ICMP message
    withOptions.insert(withOptions.begin() + 20, {1, 1, 1, 0});
    std::uint16_t id = 0, sequence = 0;
    ASSERT_TRUE(icmp::EchoKey(true, withOptions.data(), withOptions.size(), id, sequence));
    EXPECT_EQ(sequence, Raw.sequence);
    const auto o = icmp::ReadPacket(Raw, withOptions.data(), withOptions.size(), Raw.destination);
    ASSERT_EQ(o.verdict, Verdict::Reply);
    ASSERT_EQ(o.size, 15u);
    EXPECT_EQ(std::memcmp(o.data, "Enviando sondeo", 15), 0);

    std::uint8_t buffer[278];
    const Bytes fits(250, 'a'), large(251, 'b');
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(icmp::FillReplyBuffer(buffer, sizeof buffer, IP_SUCCESS, Raw.destination, 3,
                                    fits.data(), fits.size()),
              IP_SUCCESS);
    EXPECT_EQ(buffer[277], 'a');
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(icmp::FillReplyBuffer(buffer, sizeof buffer, IP_SUCCESS, Raw.destination, 3,
                                    large.data(), large.size()),
              IP_BUF_TOO_SMALL);
    ICMP_ECHO_REPLY32 header;
    std::memcpy(&header, buffer, sizeof header);
    EXPECT_EQ(header.Status, 11001);
    EXPECT_EQ(header.DataSize, 0);
    EXPECT_EQ(buffer[28], 0x5A) << "nothing of the reply is written past its header";
}

TEST(EchoHelper, RefusesEveryMalformedRequestWithItsStatus) {
    const auto request = [](std::uint32_t tag, const char* to, std::uint32_t timeoutMs,
                            std::size_t payload, std::size_t declared) {
        helper::Request r;
        r.tag = tag;
        r.destination = Ip(to);
        r.timeoutMs = timeoutMs;
        r.payloadSize = std::uint16_t(declared);
        Bytes m(sizeof r + payload, 'x');
        std::memcpy(m.data(), &r, sizeof r);
        return m;
    };
    const auto check = [](const Bytes& m, bool truncated = false) {
        return helper::CheckRequest(m.data(), m.size(), truncated).status;
    };
    EXPECT_EQ(check(request(1, "10.0.0.5", 200, 15, 15)), IP_SUCCESS);
    EXPECT_EQ(check({}), IP_BAD_REQ);
    EXPECT_EQ(check({0xDE, 0xAD, 0xBE}), IP_BAD_REQ) << "garbage";
    EXPECT_EQ(check(Bytes(15, 1)), IP_BAD_REQ) << "shorter than a request";
    EXPECT_EQ(check(request(1, "10.0.0.5", 200, 3, 15)), IP_BAD_REQ) << "less than declared";
    EXPECT_EQ(check(request(1, "10.0.0.5", 200, 15, 3)), IP_BAD_REQ) << "more than declared";
    EXPECT_EQ(check(request(1, "10.0.0.5", 200, 1025, 1025)), IP_BAD_REQ) << "oversize";
    EXPECT_EQ(check(request(1, "10.0.0.5", 200, 1024, 1024), true), IP_BAD_REQ) << "cut short";
    EXPECT_EQ(check(request(0, "10.0.0.5", 200, 15, 15)), IP_BAD_REQ) << "no tag";
    EXPECT_EQ(check(request(1, "10.0.0.5", 0, 15, 15)), IP_BAD_REQ) << "no time";
    EXPECT_EQ(check(request(1, "10.0.0.5", 10001, 15, 15)), IP_BAD_REQ) << "an absurd deadline";
    for (const char* to :
         {"0.0.0.0", "255.255.255.255", "224.0.0.1", "239.1.2.3", "240.0.0.1", "127.255.255.255"})
        EXPECT_EQ(check(request(1, to, 200, 15, 15)), IP_BAD_DESTINATION) << to;
    const Bytes tagged = request(77, "10.0.0.5", 0, 15, 15);
    EXPECT_EQ(helper::CheckRequest(tagged.data(), tagged.size(), false).request.tag, 77u)
        << "the refusal names the request";
}

TEST(SystemServices, KeepTheWindowsRulesForBuffersCountsAndHandles) {
    char name[256];
    DWORD size = sizeof name;
    ASSERT_TRUE(SystemSecurity().GetUserNameA(name, &size));
    const DWORD needed = size;
    std::memset(name, '#', sizeof name);
    size = needed - 1;
    EXPECT_FALSE(SystemSecurity().GetUserNameA(name, &size));
    EXPECT_EQ(SystemSecurity().GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, needed);
    EXPECT_EQ(name[0], '#') << "a failed call writes nothing";

    WSADATA data;
    ASSERT_EQ(SystemWinSock().WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_GE(std::int16_t(data.iMaxSockets), 1);
    EXPECT_EQ(SystemWinSock().WSACleanup(), 0);
    EXPECT_EQ(SystemWinSock().WSACleanup(), SOCKET_ERROR) << "a clean-up without start-up";

    // The tester keeps its record between probes: a failed call must never leave the earlier
    // reply's success there for the window to show.
    std::uint8_t reply[278];
    ICMP_ECHO_REPLY32 header;
    const auto after = [&](auto call) {
        std::memset(reply, 0x5A, sizeof reply);
        header = {};
        header.DataSize = 15;
        std::memcpy(reply, &header, sizeof header);
        EXPECT_EQ(call(), 0u);
        std::memcpy(&header, reply, sizeof header);
        EXPECT_EQ(header.DataSize, 0);
        EXPECT_EQ(reply[28], 0x5A);
        return header.Status;
    };
    char request[] = "Enviando sondeo";
    const HANDLE bogus = reinterpret_cast<HANDLE>(std::intptr_t(0x77));
    for (const HANDLE h : {bogus, InvalidHandleValue()}) {
        EXPECT_EQ(after([&] {
                      return SystemIcmpEcho().IcmpSendEcho(h, Ip("127.0.0.1"), request, 15, nullptr,
                                                           reply, 278, 200);
                  }),
                  11050);
        EXPECT_EQ(after([&] {
                      return SystemIcmpEcho().LookAhead()->IcmpCollectEcho(h, 1, reply, 278, 0);
                  }),
                  11050);
    }
    EXPECT_FALSE(SystemIcmpEcho().IcmpCloseHandle(bogus));
    EXPECT_EQ(after([&] {
                  return SystemIcmpEcho().IcmpSendEcho(bogus, Ip("127.0.0.1"), request, 15, nullptr,
                                                       reply, 40, 200);
              }),
              11001)
        << "a reply buffer too small";
}

}  // namespace
