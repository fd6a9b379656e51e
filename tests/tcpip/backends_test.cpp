// The Linux back ends without a network: how the echo socket's packets are read, what the echo
// helper refuses, and the Windows rules of the user name and bad handles. (Sockets start-up
// shows no message in network_test's window on the system's services.)
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/echo.h"
#include "platform/linux/icmp_helper.h"
#include "platform/linux/icmp_packets.h"
#include "platform/security.h"

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

// Every packet a socket may read while the probe is out: its own reply (after IP options too)
// and errors that quote it count; anything else is read past. (The status each kind of error
// gets, network_test checks on real routes.)
TEST(EchoSocket, OnlyThisProbesReplyAndErrorsQuotingItCount) {
    const IPAddr host = Raw.destination, router = Ip("10.0.0.1");
    Bytes options = Ip4(Echo(0, Raw), host, Ip("10.0.0.9"));
    options[0] = 0x46;  // a 24-byte header: one word of options before the ICMP message
    options.insert(options.begin() + 20, {1, 1, 1, 0});
    Bytes cut = Echo(0, Datagram);
    cut.resize(7);
    const struct {
        const char* what;
        const icmp::Probe& probe;
        Bytes packet;
        IPAddr from;
        Verdict verdict;
    } cases[] = {
        {"its reply", Datagram, Echo(0, Datagram), host, Verdict::Reply},
        {"its reply after IP options", Raw, options, host, Verdict::Reply},
        {"an earlier probe's reply", Datagram, Echo(0, Datagram, 6), host, Verdict::Ignore},
        {"another program's reply", Raw, Ip4(Echo(0, Raw, 7, 99), host, 0), host, Verdict::Ignore},
        {"another host's reply", Datagram, Echo(0, Datagram), Ip("10.0.0.6"), Verdict::Ignore},
        {"a request", Raw, Ip4(Echo(8, Raw), 0, host), host, Verdict::Ignore},
        {"a cut-off reply", Datagram, cut, host, Verdict::Ignore},
        {"an error quoting it", Raw, Error(3, 1, Echo(8, Raw), host), router, Verdict::Error},
        {"an error quoting a later probe", Raw, Error(3, 1, Echo(8, Raw, 8), host), 0,
         Verdict::Ignore},
        {"an error quoting another host", Raw, Error(3, 1, Echo(8, Raw), Ip("10.0.0.77")), 0,
         Verdict::Ignore},
        {"a redirect", Raw, Error(5, 1, Echo(8, Raw), host), 0, Verdict::Ignore},
    };
    for (const auto& c : cases) {
        const auto o = icmp::ReadPacket(c.probe, c.packet.data(), c.packet.size(), c.from);
        EXPECT_EQ(o.verdict, c.verdict) << c.what;
        if (c.verdict == Verdict::Reply) {
            ASSERT_EQ(o.size, 15u) << c.what;
            EXPECT_EQ(std::memcmp(o.data, "Enviando sondeo", 15), 0) << c.what;
            EXPECT_EQ(o.ttl, c.probe.raw ? 61 : -1) << c.what;
        }
        if (c.verdict == Verdict::Error) {
            EXPECT_EQ(std::tuple(o.status, o.from), std::tuple(IP_DEST_HOST_UNREACHABLE, router));
        }
    }
    std::uint16_t id = 0, sequence = 0;
    ASSERT_TRUE(icmp::EchoKey(true, options.data(), options.size(), id, sequence));
    EXPECT_EQ(sequence, Raw.sequence);
    // The error queue quotes the request from its ICMP header or from its IP header.
    const Bytes request = Echo(8, Datagram), withIp = Ip4(request, 0, Datagram.destination);
    for (const Bytes* quoted : {&request, &withIp}) {
        const icmp::QueuedError q{
            2, 11, 0, 0, router, Datagram.destination, quoted->data(), quoted->size()};
        EXPECT_EQ(icmp::ReadQueuedError(Datagram, q).status, IP_TTL_EXPIRED_TRANSIT);
    }
    const Bytes old = Echo(8, Datagram, 6);
    const icmp::QueuedError stale{2, 3, 1, 0, 0, Datagram.destination, old.data(), old.size()};
    EXPECT_EQ(icmp::ReadQueuedError(Datagram, stale).verdict, Verdict::Ignore);
    EXPECT_EQ(icmp::InternetChecksum(request.data(), request.size()), 0) << "odd length included";
}

TEST(EchoSocket, AReplyTooLargeForTheBufferIsWrittenAsBufTooSmallAndOnlyItsHeader) {
    std::uint8_t buffer[278];
    for (const std::size_t size : {250, 251}) {
        const Bytes data(size, 'a');
        std::memset(buffer, 0x5A, sizeof buffer);
        const DWORD status = icmp::FillReplyBuffer(buffer, sizeof buffer, IP_SUCCESS,
                                                   Raw.destination, 3, data.data(), data.size());
        EXPECT_EQ(status, size == 250 ? IP_SUCCESS : IP_BUF_TOO_SMALL);
        EXPECT_EQ(buffer[size == 250 ? 277 : 28], size == 250 ? 'a' : 0x5A);
    }
    ICMP_ECHO_REPLY32 header;
    std::memcpy(&header, buffer, sizeof header);
    EXPECT_EQ(std::tuple(header.Status, header.DataSize), std::tuple(11001, 0));
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
    for (const Bytes& garbage : {Bytes{}, Bytes{0xDE, 0xAD, 0xBE}, Bytes(15, 1)})
        EXPECT_EQ(check(garbage), IP_BAD_REQ) << garbage.size();
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

TEST(SystemServices, KeepTheWindowsRulesForBuffersAndHandles) {
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
    const auto send = [&](HANDLE h, DWORD size) {
        return [&, h, size] {
            return SystemIcmpEcho().IcmpSendEcho(h, Ip("127.0.0.1"), request, 15, nullptr, reply,
                                                 size, 200);
        };
    };
    const HANDLE bogus = reinterpret_cast<HANDLE>(std::intptr_t(0x77));
    for (const HANDLE h : {bogus, InvalidHandleValue()}) {
        EXPECT_EQ(after(send(h, 278)), 11050);
        EXPECT_EQ(after([&] {
                      return SystemIcmpEcho().LookAhead()->IcmpCollectEcho(h, 1, reply, 278, 0);
                  }),
                  11050);
    }
    EXPECT_FALSE(SystemIcmpEcho().IcmpCloseHandle(bogus));
    EXPECT_EQ(after(send(bogus, 40)), 11001) << "a reply buffer too small";
}

}  // namespace
