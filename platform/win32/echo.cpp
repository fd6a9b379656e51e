// ICMP echo through the system's own service: IcmpSendEcho for a probe waited for, and
// IcmpSendEcho2 with one event per probe for the probes a scan sends ahead. A 64-bit process
// gets the native reply record, with 8-byte pointers; the tester reads the 32-bit layout, so
// the reply is copied across field by field, the data right after the 28-byte header.
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/win32/winapi.h"

#include <iphlpapi.h>

#include <icmpapi.h>  // needs the types of iphlpapi.h

namespace platform {
namespace {

constexpr std::size_t HeaderSize = sizeof(platform::ICMP_ECHO_REPLY32);
// Beyond one reply and its data: an ICMP error's extra bytes and the status block an
// asynchronous request keeps in the buffer.
constexpr std::size_t NativeSpare = 8 + 64;

thread_local DWORD lastError = 0;

template <class T>
void Put(std::uint8_t* buffer, std::size_t offset, T value) {
    std::memcpy(buffer + offset, &value, sizeof value);
}

// IP status codes come back as the last error of a call that got no reply.
bool Is_Ip_Status(DWORD code) {
    return code >= IP_STATUS_BASE && code <= IP_STATUS_BASE + 999;
}

// Writes what the system left in `native` into the caller's 32-bit record, as IcmpSendEcho
// does: on a reply every field and the data, without one only the fields that say so. Returns
// the number of replies and leaves the reason of a failure in lastError.
DWORD Write_Outcome(const std::vector<std::uint8_t>& native, DWORD replies, DWORD error,
                    IPAddr destination, std::uint8_t* buffer, DWORD replySize) {
    ::ICMP_ECHO_REPLY reply;
    std::memcpy(&reply, native.data(), sizeof reply);
    if (!replies) {
        const DWORD status = Is_Ip_Status(error)          ? error
                             : reply.Status != IP_SUCCESS ? reply.Status
                                                          : IP_GENERAL_FAILURE;
        Put(buffer, offsetof(platform::ICMP_ECHO_REPLY32, Address),
            reply.Address ? reply.Address : destination);
        Put(buffer, offsetof(platform::ICMP_ECHO_REPLY32, Status), std::int32_t(status));
        Put(buffer, offsetof(platform::ICMP_ECHO_REPLY32, RoundTripTime),
            std::int32_t(reply.RoundTripTime));
        Put(buffer, offsetof(platform::ICMP_ECHO_REPLY32, DataSize), std::int16_t(0));
        lastError = error ? error : status;
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
    lastError = 0;
    return replies;
}

::IP_OPTION_INFORMATION Native_Options(const platform::IP_OPTION_INFORMATION& o) {
    ::IP_OPTION_INFORMATION n{};
    n.Ttl = o.Ttl;
    n.Tos = o.Tos;
    n.Flags = o.Flags;
    n.OptionsSize = o.OptionsSize;
    n.OptionsData = o.OptionsData;
    return n;
}

// One probe sent ahead: the system writes its reply into `native` and then signals `event`,
// so both live until then, even once nobody wants the answer.
struct Probe {
    ::HANDLE icmp = nullptr;
    ::HANDLE event = nullptr;
    IPAddr destination = 0;
    std::vector<std::uint8_t> native;
    bool ended = false;
    DWORD replies = 0;
    DWORD error = 0;
    DWORD status = IP_PENDING;

    ~Probe() {
        if (event)
            ::CloseHandle(event);
    }
    // True once the system is done with the buffer; notes the outcome then.
    bool End(DWORD waitMs) {
        if (ended)
            return true;
        if (::WaitForSingleObject(event, waitMs) != WAIT_OBJECT_0)
            return false;
        ended = true;
        replies = ::IcmpParseReplies(native.data(), DWORD(native.size()));
        error = replies ? 0 : ::GetLastError();
        ::ICMP_ECHO_REPLY reply;
        std::memcpy(&reply, native.data(), sizeof reply);
        status = replies ? reply.Status : Is_Ip_Status(error) ? error : IP_GENERAL_FAILURE;
        return true;
    }
};

class WindowsIcmpEcho final : public IcmpEcho, public IcmpEchoAhead {
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
        ::IP_OPTION_INFORMATION nativeOptions =
            options ? Native_Options(*options) : ::IP_OPTION_INFORMATION{};
        // The same room for data as the caller's buffer has after its header.
        std::vector<std::uint8_t> native(sizeof(::ICMP_ECHO_REPLY) + (replySize - HeaderSize));
        const DWORD replies = ::IcmpSendEcho(handle, destination, requestData, requestSize,
                                             options ? &nativeOptions : nullptr, native.data(),
                                             DWORD(native.size()), timeout);
        return Write_Outcome(native, replies, replies ? 0 : ::GetLastError(), destination, buffer,
                             replySize);
    }

    BOOL IcmpCloseHandle(HANDLE handle) override {
        {
            // The system may still write into the buffers of probes out on this handle.
            std::lock_guard lock(mutex_);
            Reap();
            for (auto it = probes_.begin(); it != probes_.end();) {
                if (it->second->icmp != handle) {
                    ++it;
                    continue;
                }
                it->second->End(INFINITE);
                it = probes_.erase(it);
            }
            for (auto& p : forgotten_)
                if (p->icmp == handle)
                    p->End(INFINITE);
            Reap();
        }
        const BOOL ok = ::IcmpCloseHandle(handle);
        lastError = ok ? 0 : ::GetLastError();
        return ok;
    }

    IcmpEchoAhead* LookAhead() override { return this; }

    DWORD IcmpSendEchoAhead(HANDLE handle, IPAddr destination, LPVOID requestData, WORD requestSize,
                            platform::IP_OPTION_INFORMATION* options, DWORD timeout) override {
        auto probe = std::make_unique<Probe>();
        probe->icmp = handle;
        probe->destination = destination;
        probe->event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!probe->event) {
            lastError = ::GetLastError();
            return 0;
        }
        probe->native.assign(sizeof(::ICMP_ECHO_REPLY) + requestSize + NativeSpare, 0);
        ::IP_OPTION_INFORMATION nativeOptions =
            options ? Native_Options(*options) : ::IP_OPTION_INFORMATION{};
        const DWORD sent =
            ::IcmpSendEcho2(handle, probe->event, nullptr, nullptr, destination, requestData,
                            requestSize, options ? &nativeOptions : nullptr, probe->native.data(),
                            DWORD(probe->native.size()), timeout);
        // Out and pending, or already answered; anything else sent nothing.
        if (!sent && ::GetLastError() != ERROR_IO_PENDING) {
            lastError = ::GetLastError();
            return 0;
        }
        if (sent) {
            ::ICMP_ECHO_REPLY reply;
            std::memcpy(&reply, probe->native.data(), sizeof reply);
            probe->ended = true;
            probe->replies = sent;
            probe->status = reply.Status;
        }
        std::lock_guard lock(mutex_);
        Reap();
        if (++nextTicket_ == 0)
            ++nextTicket_;
        const DWORD ticket = nextTicket_;
        probes_[ticket] = std::move(probe);
        lastError = 0;
        return ticket;
    }

    DWORD IcmpCollectEcho(HANDLE, DWORD ticket, LPVOID replyBuffer, DWORD replySize,
                          DWORD waitMs) override {
        std::unique_ptr<Probe> probe;
        {
            std::lock_guard lock(mutex_);
            const auto it = probes_.find(ticket);
            if (it == probes_.end()) {
                lastError = ERROR_INVALID_PARAMETER;
                return 0;
            }
            probe = std::move(it->second);
            probes_.erase(it);
        }
        if (!probe->End(waitMs)) {
            std::lock_guard lock(mutex_);
            probes_[ticket] = std::move(probe);
            lastError = IP_PENDING;
            return 0;
        }
        auto* buffer = static_cast<std::uint8_t*>(replyBuffer);
        if (!buffer || replySize < HeaderSize) {
            lastError = IP_BUF_TOO_SMALL;
            return 0;
        }
        return Write_Outcome(probe->native, probe->replies, probe->error, probe->destination,
                             buffer, replySize);
    }

    DWORD IcmpEchoStatus(HANDLE, DWORD ticket) override {
        std::lock_guard lock(mutex_);
        const auto it = probes_.find(ticket);
        if (it == probes_.end())
            return IP_GENERAL_FAILURE;
        return it->second->End(0) ? it->second->status : IP_PENDING;
    }

    void IcmpForgetEcho(HANDLE, DWORD ticket) override {
        std::lock_guard lock(mutex_);
        const auto it = probes_.find(ticket);
        if (it == probes_.end())
            return;
        if (!it->second->End(0))
            forgotten_.push_back(std::move(it->second));
        probes_.erase(it);
        Reap();
    }

    std::uint64_t GetTickCount64() override { return ::GetTickCount64(); }

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

private:
    // Lets go of the forgotten probes the system is done with.
    void Reap() {
        std::erase_if(forgotten_, [](const std::unique_ptr<Probe>& p) { return p->End(0); });
    }

    std::mutex mutex_;
    std::map<DWORD, std::unique_ptr<Probe>> probes_;
    std::vector<std::unique_ptr<Probe>> forgotten_;
    DWORD nextTicket_ = 0;
};

}  // namespace

IcmpEcho& SystemIcmpEcho() {
    static WindowsIcmpEcho echo;
    return echo;
}

}  // namespace platform
