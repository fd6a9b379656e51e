#include "tcpip/tcpicp.h"

#include <QStringList>
#include <cstring>

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

void TCPICP::Send_Echo(const QString& host, ECHO_REPLY& reply) {
    const std::int32_t address = Address_To_Long(host);
    Sockets_Initialize();
    const platform::HANDLE handle = echo_.IcmpCreateFile();
    const bool noEcho = handle == platform::InvalidHandleValue();
    const QString why = noEcho ? QString::fromStdString(echo_.LastErrorText()) : QString();

    ECHO_REPLY buffer;
    std::memcpy(&buffer, &reply, sizeof buffer);
    char request[sizeof texts::EchoPayload];
    std::memcpy(request, texts::EchoPayload, sizeof request);
    const platform::DWORD replies =
        echo_.IcmpSendEcho(handle, To_IPAddr(address), request, sizeof request - 1, nullptr,
                           &buffer, sizeof buffer, EchoTimeoutMs);
    // A call that failed without saying so must not read as a reply left over from before.
    if (replies == 0 && buffer.Status == std::int32_t(platform::IP_SUCCESS)) {
        buffer.Status = std::int32_t(platform::IP_GENERAL_FAILURE);
        buffer.DataSize = 0;
    }
    std::memcpy(&reply, &buffer, sizeof buffer);
    echo_.IcmpCloseHandle(handle);
    Sockets_Cleanup();

    if (noEcho && !toldNoEcho_) {
        toldNoEcho_ = true;
        ui_.MsgBox(texts::NoEcho.arg(why), platform::vbExclamation);
    }
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
