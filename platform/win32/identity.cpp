// Who the user is on a Windows network is the system's own business: a connection made with no
// user name and no password goes out as the signed-in user, with the tickets of a domain
// sign-in and the passwords Windows keeps (Credential Manager), and Windows asks by itself when
// it must. Mapeo never shows a dialog of its own here.
#include "platform/credentials.h"
#include "platform/win32/winapi.h"

#include <ntsecapi.h>
#include <wincred.h>

#include <vector>

namespace platform {
namespace {

// Saved network passwords, as Windows keeps them for each server: the entries Explorer and
// "net use /savecred" write, which the system uses for a connection without credentials.
class WindowsCredentialStore final : public CredentialStore {
public:
    DWORD CredReadA(const std::string& server, NetCredential& cred) override {
        ::PCREDENTIALA found = nullptr;
        if (!::CredReadA(server.c_str(), CRED_TYPE_DOMAIN_PASSWORD, 0, &found))
            return ::GetLastError();
        const std::string name = found->UserName ? found->UserName : "";
        std::string user, domain;
        CredUIParseUserNameA(name, user, domain);
        cred.user = user;
        cred.domain = domain;
        // The system keeps a domain password to itself: only its owner reads it back.
        cred.password.Clear();
        ::CredFree(found);
        return NO_ERROR;
    }

    DWORD CredWriteA(const std::string& server, const NetCredential& cred) override {
        std::string name = cred.domain.empty() ? cred.user : cred.domain + '\\' + cred.user;
        const std::string_view password = cred.password.view();
        // The password goes in as UTF-16, as the system stores domain passwords.
        const int length =
            ::MultiByteToWideChar(CP_ACP, 0, password.data(), int(password.size()), nullptr, 0);
        std::vector<wchar_t> wide(std::size_t(length > 0 ? length : 0));
        if (length > 0)
            ::MultiByteToWideChar(CP_ACP, 0, password.data(), int(password.size()), wide.data(),
                                  length);
        ::CREDENTIALA c{};
        c.Type = CRED_TYPE_DOMAIN_PASSWORD;
        c.TargetName = const_cast<char*>(server.c_str());
        c.UserName = name.data();
        c.CredentialBlob = reinterpret_cast<::LPBYTE>(wide.data());
        c.CredentialBlobSize = ::DWORD(wide.size() * sizeof(wchar_t));
        c.Persist = CRED_PERSIST_ENTERPRISE;
        const BOOL ok = ::CredWriteA(&c, 0);
        const DWORD result = ok ? NO_ERROR : ::GetLastError();
        WipeMemory(wide.data(), wide.size() * sizeof(wchar_t));
        return result;
    }
};

// A ticket-granting ticket in the logon session's Kerberos cache that has not expired.
bool Has_Ticket_Granting_Ticket() {
    ::HANDLE lsa = nullptr;
    if (::LsaConnectUntrusted(&lsa) != 0)
        return false;
    bool found = false;
    char name[] = MICROSOFT_KERBEROS_NAME_A;
    ::LSA_STRING package{USHORT(sizeof name - 1), USHORT(sizeof name), name};
    ::ULONG id = 0;
    if (::LsaLookupAuthenticationPackage(lsa, &package, &id) == 0) {
        ::KERB_QUERY_TKT_CACHE_REQUEST request{};
        request.MessageType = KerbQueryTicketCacheMessage;
        void* reply = nullptr;
        ::ULONG size = 0;
        ::NTSTATUS status = 0;
        if (::LsaCallAuthenticationPackage(lsa, id, &request, sizeof request, &reply, &size,
                                           &status) == 0 &&
            status == 0 && reply) {
            const auto* cache = static_cast<const ::KERB_QUERY_TKT_CACHE_RESPONSE*>(reply);
            ::FILETIME now{};
            ::GetSystemTimeAsFileTime(&now);
            const LONGLONG current = LONGLONG(now.dwHighDateTime) << 32 | now.dwLowDateTime;
            for (::ULONG i = 0; i < cache->CountOfTickets && !found; ++i) {
                const ::KERB_TICKET_CACHE_INFO& t = cache->Tickets[i];
                const std::wstring server(t.ServerName.Buffer,
                                          t.ServerName.Length / sizeof(wchar_t));
                found = server.rfind(L"krbtgt/", 0) == 0 && t.EndTime.QuadPart > current;
            }
            ::LsaFreeReturnBuffer(reply);
        }
    }
    ::LsaDeregisterLogonProcess(lsa);
    return found;
}

class WindowsCredentials final : public Credentials {
public:
    CredentialStore& Store() override { return store_; }
    bool HasTicket() override { return Has_Ticket_Granting_Ticket(); }
    // The system asks for what it needs itself; no dialog of the program's is ever shown.
    void RegisterPrompt(CredentialPrompt*) override {}
    CredentialPrompt* Prompt() override { return nullptr; }
    void BeginRestore() override {}
    void EndRestore() override {}

private:
    WindowsCredentialStore store_;
};

}  // namespace

Credentials& SystemCredentials() {
    static WindowsCredentials credentials;
    return credentials;
}

}  // namespace platform
