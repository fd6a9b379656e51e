#include "tcpip/tcpicp.h"

#include <QStringList>
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "tcpip/texts.h"

namespace tcpip {
namespace {

QString Status_Text(std::int32_t code) {
    for (const texts::StatusRow& row : texts::StatusTable)
        if (row.code == code)
            return QString::fromUtf16(row.text);
    return texts::StatusUnknown;
}

// The low eight bits of a whole number written in decimal, however long: only the remainder
// by 256 matters, so no text can overflow.
bool Low_Byte(const QString& part, std::uint8_t& byte) {
    qsizetype i = 0, end = part.size();
    while (i < end && part[i] == u' ')
        ++i;
    while (end > i && part[end - 1] == u' ')
        --end;
    bool negative = false;
    if (i < end && (part[i] == u'-' || part[i] == u'+'))
        negative = part[i++] == u'-';
    if (i == end)
        return false;
    unsigned rest = 0;
    for (; i < end; ++i) {
        const char16_t c = part[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        rest = (rest * 10 + unsigned(c - u'0')) % 256;
    }
    byte = std::uint8_t(negative ? (256 - rest) % 256 : rest);
    return true;
}

platform::IPAddr To_IPAddr(std::int32_t address) {
    const auto v = std::uint32_t(address);
    const std::uint8_t bytes[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                                   std::uint8_t(v >> 24)};
    platform::IPAddr a;
    std::memcpy(&a, bytes, 4);
    return a;
}

}  // namespace

std::int32_t Address_Value(const ECHO_REPLY& reply) {
    std::uint8_t b[4];
    std::memcpy(b, &reply.Address, 4);
    return std::int32_t(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
                        std::uint32_t(b[3]) << 24);
}

QString TCPICP::Echo_Status_Text(std::int32_t code) {
    return texts::StatusLine.arg(QString::number(code), Status_Text(code));
}

std::int32_t TCPICP::Address_To_Long(QString text) {
    QStringList parts;
    qsizetype dot;
    while ((dot = text.indexOf(u'.')) >= 0 && parts.size() < 4) {
        parts.append(text.left(dot));
        text = text.mid(dot + 1);
    }
    parts.append(text);
    if (parts.size() != 4)
        return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t byte;
        if (!Low_Byte(parts[i], byte))
            return 0;
        value |= std::uint32_t(byte) << (8 * i);
    }
    return std::int32_t(value);
}

TCPICP::~TCPICP() {
    End_Look_Ahead();
}

void TCPICP::Send_Echo(const QString& host, ECHO_REPLY& reply) {
    const std::int32_t address = Address_To_Long(host);
    // Taken before anything that may show a box: a PING from that box is sent on its own.
    platform::IcmpEchoAhead* ahead = armed_ ? echo_.LookAhead() : nullptr;
    const QStringList guess = armed_ ? guess_ : QStringList();
    armed_ = false;
    guess_.clear();
    Sockets_Initialize();
    if (ahead && aheadHandle_ == platform::InvalidHandleValue())
        aheadHandle_ = echo_.IcmpCreateFile();

    ECHO_REPLY buffer;
    std::memcpy(&buffer, &reply, sizeof buffer);
    QString why;
    if (!ahead || aheadHandle_ == platform::InvalidHandleValue() ||
        !Send_Ahead(*ahead, To_IPAddr(address), host, guess, buffer))
        Send_Now(To_IPAddr(address), buffer, why);
    std::memcpy(&reply, &buffer, sizeof buffer);
    Sockets_Cleanup();

    if (!why.isNull() && !toldNoEcho_) {
        toldNoEcho_ = true;
        ui_.MsgBox(texts::NoEcho.arg(why), platform::vbExclamation);
    }
}

// One probe on a handle of its own, sent at once.
void TCPICP::Send_Now(platform::IPAddr address, ECHO_REPLY& buffer, QString& why) {
    const platform::HANDLE handle = echo_.IcmpCreateFile();
    if (handle == platform::InvalidHandleValue())
        why = QString::fromStdString(echo_.LastErrorText());
    char request[sizeof texts::EchoPayload];
    std::memcpy(request, texts::EchoPayload, sizeof request);
    echo_.IcmpSendEcho(handle, address, request, sizeof request - 1, nullptr, &buffer,
                       sizeof buffer, EchoTimeoutMs);
    echo_.IcmpCloseHandle(handle);
}

// The probe of `address` through the look-ahead: already out, or sent now; while it is
// waited for, the guess goes out paced. False when the service could not take it.
bool TCPICP::Send_Ahead(platform::IcmpEchoAhead& ahead, platform::IPAddr address,
                        const QString& host, const QStringList& guess, ECHO_REPLY& buffer) {
    Plan(host, address, guess);
    char request[sizeof texts::EchoPayload];
    std::memcpy(request, texts::EchoPayload, sizeof request);
    if (!plan_.front().ticket) {
        // Not guessed: sent at once, and the next probe ahead waits for the next millisecond.
        lastAheadTick_ = ahead.GetTickCount64();
        plan_.front().ticket = ahead.IcmpSendEchoAhead(aheadHandle_, address, request,
                                                       sizeof request - 1, nullptr, EchoTimeoutMs);
        if (!plan_.front().ticket) {
            plan_.erase(plan_.begin());
            return false;
        }
    }
    platform::DWORD replies;
    for (;;) {
        Send_Paced(ahead);
        Tell_Answered(ahead);
        bool more = false;
        for (std::size_t i = 1; i < plan_.size() && !more; ++i)
            more = !plan_[i].ticket;
        const platform::DWORD wait = more && Probes_Out() < LookAheadWindow ? 1 : EchoTimeoutMs;
        replies =
            ahead.IcmpCollectEcho(aheadHandle_, plan_.front().ticket, &buffer, sizeof buffer, wait);
        if (replies != 0 || echo_.GetLastError() != platform::IP_PENDING)
            break;
    }
    plan_.erase(plan_.begin());
    return true;
}

// The probe waited for, then the guess: what is out for neither is dropped.
void TCPICP::Plan(const QString& host, platform::IPAddr address, const QStringList& guess) {
    const std::size_t wanted = std::min<std::size_t>(guess.size() + 1, LookAheadWindow);
    const auto hostAt = [&](std::size_t i) -> const QString& {
        return i == 0 ? host : guess[qsizetype(i - 1)];
    };
    // Mostly the guess is the last one moved on by a step, and every entry keeps its place.
    std::size_t same = 0;
    while (same < plan_.size() && same < wanted && plan_[same].host == hostAt(same))
        ++same;
    std::vector<Ahead> moved(plan_.begin() + std::ptrdiff_t(same), plan_.end());
    plan_.resize(same);
    std::unordered_multimap<platform::IPAddr, std::size_t> out;
    for (std::size_t i = 0; i < moved.size(); ++i)
        if (moved[i].ticket)
            out.emplace(moved[i].address, i);
    for (std::size_t i = same; i < wanted; ++i) {
        const platform::IPAddr to = i == 0 ? address : To_IPAddr(Address_To_Long(hostAt(i)));
        Ahead a{hostAt(i), to, 0, false};
        const auto found = out.find(to);
        if (found != out.end()) {
            a.ticket = moved[found->second].ticket;
            a.told = moved[found->second].told;
            moved[found->second].ticket = 0;
            out.erase(found);
        }
        plan_.push_back(a);
    }
    platform::IcmpEchoAhead* ahead = echo_.LookAhead();
    for (const Ahead& a : moved)
        Drop(ahead, a);
}

// At most one probe ahead per millisecond, and never more out than the window.
void TCPICP::Send_Paced(platform::IcmpEchoAhead& ahead) {
    if (Probes_Out() >= LookAheadWindow)
        return;
    const std::uint64_t tick = ahead.GetTickCount64();
    if (lastAheadTick_ && tick <= *lastAheadTick_)
        return;
    for (std::size_t i = 1; i < plan_.size(); ++i) {
        if (plan_[i].ticket)
            continue;
        char request[sizeof texts::EchoPayload];
        std::memcpy(request, texts::EchoPayload, sizeof request);
        plan_[i].ticket = ahead.IcmpSendEchoAhead(aheadHandle_, plan_[i].address, request,
                                                  sizeof request - 1, nullptr, EchoTimeoutMs);
        if (!plan_[i].ticket)
            plan_.erase(plan_.begin() + std::ptrdiff_t(i));  // probed when its step comes
        lastAheadTick_ = tick;
        return;
    }
}

void TCPICP::Tell_Answered(platform::IcmpEchoAhead& ahead) {
    for (std::size_t i = 1; i < plan_.size(); ++i) {
        Ahead& a = plan_[i];
        if (!a.ticket || a.told ||
            ahead.IcmpEchoStatus(aheadHandle_, a.ticket) != platform::IP_SUCCESS)
            continue;
        a.told = true;
        if (Answered)
            Answered(a.host);
    }
}

void TCPICP::Drop(platform::IcmpEchoAhead* ahead, const Ahead& a) {
    if (ahead && a.ticket)
        ahead->IcmpForgetEcho(aheadHandle_, a.ticket);
}

// Probes sent and not yet collected or dropped: those of the plan with a ticket.
int TCPICP::Probes_Out() const {
    return int(std::count_if(plan_.begin(), plan_.end(), [](const Ahead& a) { return a.ticket; }));
}

void TCPICP::Look_Ahead(const QStringList& next) {
    guess_ = next;
    armed_ = true;
}

void TCPICP::End_Look_Ahead() {
    platform::IcmpEchoAhead* ahead = echo_.LookAhead();
    for (const Ahead& a : plan_)
        Drop(ahead, a);
    plan_.clear();
    guess_.clear();
    armed_ = false;
    if (aheadHandle_ != platform::InvalidHandleValue())
        echo_.IcmpCloseHandle(aheadHandle_);
    aheadHandle_ = platform::InvalidHandleValue();
}

void TCPICP::Sockets_Initialize() {
    platform::WSADATA data{};
    const auto result = std::int16_t(sockets_.WSAStartup(0x0101, &data));
    if (result != 0) {
        ui_.MsgBox(texts::SocketsNotResponding);
        return;
    }
    const int major = data.wVersion & 0xFF;
    const int minor = data.wVersion >> 8;
    if (major < 1 || (major == 1 && minor < 1)) {
        ui_.MsgBox(texts::VersionNotSupported.arg(QString::number(major), QString::number(minor)),
                   platform::vbExclamation);
    } else if (std::int16_t(data.iMaxSockets) < 1) {
        ui_.MsgBox(texts::MinimumSockets.arg(QString::number(1)), platform::vbExclamation);
    }
}

void TCPICP::Sockets_Cleanup() {
    const int result = sockets_.WSACleanup();
    if (result != 0)
        ui_.MsgBox(texts::CleanupFailed.arg(QString::number(result)), platform::vbExclamation);
}

}  // namespace tcpip
