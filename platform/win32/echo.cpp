// ICMP echo through the system's own service (IcmpSendEcho). A 64-bit process gets the
// native reply record, with 8-byte pointers; the tester reads the 32-bit layout, so the reply
// is copied across field by field, the data right after the 28-byte header.

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/win32/winapi.h"

#include <iphlpapi.h>

#include <icmpapi.h>  // needs the types of iphlpapi.h

namespace platform {
namespace {

constexpr std::size_t HeaderSize = sizeof(platform::ICMP_ECHO_REPLY32);

thread_local DWORD lastError = 0;

template <class T>
void Put(std::uint8_t* buffer, std::size_t offset, T value) {
    std::memcpy(buffer + offset, &value, sizeof value);
}

// A probe without reply: only the fields that say so are written.
void Write_Failure(std::uint8_t* buffer, IPAddr from, DWORD status, std::int32_t rtt) {
    Put(buffer, offsetof(platform::ICMP_ECHO_REPLY32, Address), from);
    Put(buffer, offsetof(platform::ICMP_ECHO_REPLY32, Status), std::int32_t(status));
    Put(buffer, offsetof(platform::ICMP_ECHO_REPLY32, RoundTripTime), rtt);
    Put(buffer, offsetof(platform::ICMP_ECHO_REPLY32, DataSize), std::int16_t(0));
}

// IP status codes come back as the last error of a call that got no reply.
bool Is_Ip_Status(DWORD code) {
    return code >= IP_STATUS_BASE && code <= IP_STATUS_BASE + 999;
}

class WindowsIcmpEcho final : public IcmpEcho {
public:
    HANDLE IcmpCreateFile() override {
        const ::HANDLE h = ::IcmpCreateFile();
        lastError = h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        return h;
    }

    DWORD IcmpSendEcho(HANDLE handle, IPAddr destination, LPVOID requestData, WORD requestSize,
                       platform::IP_OPTION_INFORMATION* options, LPVOID replyBuffer,
                       DWORD replySize, DWORD timeout) override {
        auto* buffer = static_cast<std::uint8_t*>(replyBuffer);
        if (!buffer || replySize < HeaderSize) {
            lastError = IP_BUF_TOO_SMALL;
            return 0;
        }
        ::IP_OPTION_INFORMATION nativeOptions{};
        if (options) {
            nativeOptions.Ttl = options->Ttl;
            nativeOptions.Tos = options->Tos;
            nativeOptions.Flags = options->Flags;
            nativeOptions.OptionsSize = options->OptionsSize;
            nativeOptions.OptionsData = options->OptionsData;
        }
        // The same room for data as the caller's buffer has after its header.
        std::vector<std::uint8_t> native(sizeof(::ICMP_ECHO_REPLY) + (replySize - HeaderSize));
        const DWORD replies = ::IcmpSendEcho(handle, destination, requestData, requestSize,
                                             options ? &nativeOptions : nullptr, native.data(),
                                             DWORD(native.size()), timeout);
        lastError = replies ? 0 : ::GetLastError();
        ::ICMP_ECHO_REPLY reply;
        std::memcpy(&reply, native.data(), sizeof reply);
        if (!replies) {
            const DWORD status = Is_Ip_Status(lastError)      ? lastError
                                 : reply.Status != IP_SUCCESS ? reply.Status
                                                              : IP_GENERAL_FAILURE;
            Write_Failure(buffer, reply.Address ? reply.Address : destination, status,
                          std::int32_t(reply.RoundTripTime));
            if (!lastError)
                lastError = status;
            return 0;
        }
        platform::ICMP_ECHO_REPLY32 out;
        std::memcpy(&out, buffer, HeaderSize);
        out.Address = reply.Address;
        out.Status = std::int32_t(reply.Status);
        out.RoundTripTime = std::int32_t(reply.RoundTripTime);
        out.Reserved = reply.Reserved;
        out.Options.Ttl = reply.Options.Ttl;
        out.Options.Tos = reply.Options.Tos;
        out.Options.Flags = reply.Options.Flags;
        out.Options.OptionsSize = reply.Options.OptionsSize;
        out.Options.OptionsData = 0;  // a pointer into this process's buffer, never followed
        // The echoed data as the system placed it, cut to the caller's room.
        const auto* data = static_cast<const std::uint8_t*>(reply.Data);
        std::size_t size = reply.DataSize;
        if (!data || data < native.data() || data + size > native.data() + native.size())
            size = 0;
        size = std::min(size, std::size_t(replySize - HeaderSize));
        out.DataSize = std::int16_t(size);
        out.Data = std::uint32_t(HeaderSize);
        std::memcpy(buffer, &out, HeaderSize);
        if (size)
            std::memcpy(buffer + HeaderSize, data, size);
        return replies;
    }

    BOOL IcmpCloseHandle(HANDLE handle) override {
        const BOOL ok = ::IcmpCloseHandle(handle);
        lastError = ok ? 0 : ::GetLastError();
        return ok;
    }

    DWORD GetLastError() const override { return lastError; }
    std::string LastErrorText() const override {
        if (Is_Ip_Status(lastError)) {
            wchar_t text[256] = {};
            ::DWORD size = 256;
            if (::GetIpErrorString(lastError, text, &size) == NO_ERROR && text[0])
                return win32::Utf8(text);
        }
        return ErrorText(int(lastError));
    }
};

}  // namespace

IcmpEcho& SystemIcmpEcho() {
    static WindowsIcmpEcho echo;
    return echo;
}

}  // namespace platform
