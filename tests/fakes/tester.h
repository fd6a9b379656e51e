// Stand-ins for the tester's services, recording what the logic asks in one event list.
#pragma once

#include <QMap>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/echo.h"
#include "platform/hostinfo.h"
#include "platform/resolver.h"
#include "platform/security.h"
#include "platform/sockets.h"

namespace fakes {

using namespace platform;

inline QString Dotted(IPAddr a) {
    unsigned char b[4];
    std::memcpy(b, &a, sizeof b);
    return QStringLiteral("%1.%2.%3.%4")
        .arg(QString::number(b[0]), QString::number(b[1]), QString::number(b[2]),
             QString::number(b[3]));
}

template <class T>
void Put(void* buffer, std::size_t offset, T v) {
    std::memcpy(static_cast<char*>(buffer) + offset, &v, sizeof v);
}

// What a probe of `to` leaves in the reply buffer: hosts in `answering` echo the request, the
// others get `statusFor` or stay silent (11010). Only the fields a real service writes are
// written. Returns the number of replies.
inline DWORD FakeOutcome(const QStringList& answering, const QMap<QString, int>& statusFor,
                         IPAddr to, const void* data, WORD size, void* reply) {
    const bool answers = answering.contains(Dotted(to));
    const int status = answers ? 0 : statusFor.value(Dotted(to), 11010);
    Put(reply, 0, to);
    Put(reply, 4, std::int32_t(status));
    Put(reply, 8, std::int32_t(answers));
    Put(reply, 12, std::int16_t(answers ? size : 0));
    if (answers) {
        Put(reply, 16, std::uint32_t(28));
        std::memcpy(static_cast<char*>(reply) + 28, data, size);
    }
    return answers;
}

struct FakeEcho;

// Probes sent ahead on a clock that moves only while the engine waits: a reply comes back 1 ms
// after its send, a silent probe ends `silenceMs` after it.
struct FakeAhead : IcmpEchoAhead {
    explicit FakeAhead(FakeEcho& e) : echo(e) {}
    DWORD IcmpSendEchoAhead(HANDLE, IPAddr to, LPVOID, WORD, IP_OPTION_INFORMATION*,
                            DWORD) override;
    DWORD IcmpCollectEcho(HANDLE, DWORD ticket, LPVOID reply, DWORD, DWORD waitMs) override;
    DWORD IcmpEchoStatus(HANDLE, DWORD ticket) override {
        const Probe& p = out.at(ticket);
        return p.ends > now ? IP_PENDING : p.answers ? IP_SUCCESS : IP_REQ_TIMED_OUT;
    }
    void IcmpForgetEcho(HANDLE, DWORD ticket) override { out.erase(ticket); }
    std::uint64_t GetTickCount64() override { return now; }

    struct Probe {
        IPAddr to;
        std::uint64_t ends;
        bool answers;
    };
    FakeEcho& echo;
    std::uint64_t now = 1000;
    std::uint64_t silenceMs = 200;
    std::map<DWORD, Probe> out;
    DWORD next = 1;
    std::size_t mostOut = 0;
    std::map<std::uint64_t, int> sendsAt;  // sends per tick
};

struct FakeEcho : IcmpEcho {
    explicit FakeEcho(QStringList& e) : events(e) {}
    static HANDLE Handle() { return reinterpret_cast<HANDLE>(std::intptr_t(0x5150)); }
    HANDLE IcmpCreateFile() override {
        events << QStringLiteral("open");
        return Handle();
    }
    DWORD IcmpSendEcho(HANDLE, IPAddr to, LPVOID data, WORD size, IP_OPTION_INFORMATION* o,
                       LPVOID reply, DWORD replySize, DWORD ms) override {
        events << QStringLiteral("send:") + Dotted(to);
        request = std::string(static_cast<char*>(data), size);
        options = o;
        bufferSize = replySize;
        timeout = ms;
        return FakeOutcome(answering, statusFor, to, data, size, reply);
    }
    BOOL IcmpCloseHandle(HANDLE h) override {
        events << QStringLiteral("close");
        return h == Handle();
    }
    IcmpEchoAhead* LookAhead() override { return ahead; }
    DWORD GetLastError() const override { return lastError; }
    std::string LastErrorText() const override { return "sin permiso para ICMP"; }

    QStringList& events;
    IcmpEchoAhead* ahead = nullptr;
    DWORD lastError = ERROR_ACCESS_DENIED;
    QStringList answering;
    QMap<QString, int> statusFor;
    std::string request;
    IP_OPTION_INFORMATION* options = nullptr;
    DWORD bufferSize = 0, timeout = 0;
};

inline DWORD FakeAhead::IcmpSendEchoAhead(HANDLE, IPAddr to, LPVOID, WORD, IP_OPTION_INFORMATION*,
                                          DWORD) {
    echo.events << QStringLiteral("ahead:") + Dotted(to);
    const bool answers = echo.answering.contains(Dotted(to));
    out[next] = {to, now + (answers ? 1 : silenceMs), answers};
    mostOut = std::max(mostOut, out.size());
    ++sendsAt[now];
    return next++;
}

inline DWORD FakeAhead::IcmpCollectEcho(HANDLE, DWORD ticket, LPVOID reply, DWORD, DWORD waitMs) {
    const Probe p = out.at(ticket);
    if (p.ends > now + waitMs) {
        now += waitMs;
        echo.lastError = IP_PENDING;
        return 0;
    }
    now = std::max(now, p.ends);
    out.erase(ticket);
    char request[] = "Enviando sondeo";
    echo.lastError = 0;
    return FakeOutcome(echo.answering, echo.statusFor, p.to, request, 15, reply);
}

struct FakeWinSock : WinSock {
    explicit FakeWinSock(QStringList& e) : events(e) {}
    int WSAStartup(std::uint16_t wanted, WSADATA* data) override {
        events << QStringLiteral("startup:%1").arg(wanted, 4, 16, QLatin1Char('0'));
        data->wVersion = version;
        data->iMaxSockets = maxSockets;
        return startupResult;
    }
    int WSACleanup() override {
        events << QStringLiteral("cleanup");
        return 0;
    }
    QStringList& events;
    int startupResult = 0;
    std::uint16_t version = 0x0101, maxSockets = 32767;
};

// GetUserNameA with the Windows buffer rules.
struct FakeSecurity : Security {
    BOOL GetUserNameA(LPSTR buffer, LPDWORD size) override {
        const bool fits = *size >= 6;
        if (fits)
            std::memcpy(buffer, "maria", 6);
        *size = 6;
        return fits;
    }
    DWORD GetLastError() const override { return ERROR_INSUFFICIENT_BUFFER; }
};

struct FakeResolver : NameResolver {
    QString HostToAddress(const QString& host) override {
        return Ask(QStringLiteral("dns:") + host);
    }
    QString AddressToHost(const QString& a) override { return Ask(QStringLiteral("ip:") + a); }
    void AddressToHostAhead(const QString& a) override {
        if (lookAhead)
            asked << QStringLiteral("ahead:") + a;
    }
    QString Ask(const QString& key) {
        asked << key;
        return answers.value(key);
    }
    QMap<QString, QString> answers;  // "ip:10.0.0.7" → name, "dns:nombre" → address
    QStringList asked;
    bool lookAhead = false;
};

struct FakeControl : WinsockControl {
    QString LocalHostName() override { return QStringLiteral("puesto-7"); }
    QString LocalIP() override { return QStringLiteral("192.168.0.7"); }
    std::int32_t LocalPort() override { return 0; }
    int State() override { return sckClosed; }
    QString Name() override { return QStringLiteral("Winsock"); }
};

}  // namespace fakes
