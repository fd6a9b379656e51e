// Who the user is on the network: a Kerberos ticket, passwords saved in the user's keyring,
// and, in an interactive session, a dialog that asks. The network back ends reach all three
// through one service so that the program can give them its dialog and tests their stand-ins.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "platform/win32types.h"

namespace platform {

inline constexpr DWORD ERROR_NOT_FOUND = 1168;
inline constexpr DWORD ERROR_CANCELLED = 1223;
inline constexpr DWORD ERROR_NO_SUCH_LOGON_SESSION = 1312;
inline constexpr DWORD ERROR_PASSWORD_EXPIRED = 1330;
inline constexpr DWORD ERROR_ACCOUNT_DISABLED = 1331;
inline constexpr DWORD ERROR_ACCOUNT_EXPIRED = 1793;
inline constexpr DWORD ERROR_PASSWORD_MUST_CHANGE = 1907;
inline constexpr DWORD ERROR_ACCOUNT_LOCKED_OUT = 1909;

// Overwrites memory in a way the compiler may not leave out.
inline void WipeMemory(void* p, std::size_t n) {
    volatile unsigned char* v = static_cast<volatile unsigned char*>(p);
    while (n--)
        *v++ = 0;
}

// A password in memory: wiped when cleared, replaced or destroyed, and never copied behind
// the program's back.
class SecureString {
public:
    SecureString() = default;
    explicit SecureString(std::string_view text) { Assign(text); }
    SecureString(SecureString&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    SecureString& operator=(SecureString&& other) noexcept {
        if (this != &other) {
            Clear();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    SecureString(const SecureString&) = delete;
    SecureString& operator=(const SecureString&) = delete;
    ~SecureString() { Clear(); }

    SecureString Copy() const { return SecureString(view()); }
    void Assign(std::string_view text) {
        Clear();
        data_ = new char[text.size() + 1];
        std::memcpy(data_, text.data(), text.size());
        data_[text.size()] = '\0';
        size_ = text.size();
    }
    void Clear() {
        if (data_) {
            WipeMemory(data_, size_ + 1);
            delete[] data_;
        }
        data_ = nullptr;
        size_ = 0;
    }

    const char* c_str() const { return data_ ? data_ : ""; }
    std::string_view view() const { return {c_str(), size_}; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

// What identifies the user to one server. `user` may come as "DOMINIO\usuario" from a dialog;
// CredUIParseUserNameA splits it.
struct NetCredential {
    std::string user;
    std::string domain;
    SecureString password;

    NetCredential Copy() const { return {user, domain, password.Copy()}; }
};

// "DOMINIO\usuario" gives usuario and DOMINIO; a name without a backslash (also
// "usuario@reino") is the user alone and leaves `domain` as it was.
inline DWORD CredUIParseUserNameA(std::string_view name, std::string& user, std::string& domain) {
    const std::size_t cut = name.find('\\');
    if (cut == std::string_view::npos) {
        user.assign(name);
        return name.empty() ? ERROR_INVALID_PARAMETER : NO_ERROR;
    }
    if (cut == 0 || cut + 1 == name.size() || name.find('\\', cut + 1) != std::string_view::npos)
        return ERROR_INVALID_PARAMETER;
    domain.assign(name.substr(0, cut));
    user.assign(name.substr(cut + 1));
    return NO_ERROR;
}

// CredUIPromptForCredentials for a network resource: the dialog of an interactive session.
// Always called on the user-interface thread.
class CredentialPrompt {
public:
    virtual ~CredentialPrompt() = default;

    // Asks for the credentials to reach `targetName` ("\\server\share"). dwAuthError is
    // NO_ERROR on a first question and ERROR_LOGON_FAILURE after the server refused the last
    // answer. `cred` comes with the user and domain to show and leaves with the answer;
    // *pfSave tells whether the user asked to keep it. NO_ERROR, ERROR_CANCELLED, or
    // ERROR_NO_SUCH_LOGON_SESSION when this prompt will not ask (the caller then reports a
    // refusal).
    virtual DWORD CredUIPromptForCredentialsA(const std::string& targetName, DWORD dwAuthError,
                                              NetCredential& cred, BOOL* pfSave) = 0;
    // CredUIConfirmCredentials: whether the server took the last answer for `targetName`.
    virtual DWORD CredUIConfirmCredentialsA(const std::string& targetName, BOOL bConfirm) = 0;
};

// The user's saved network passwords, one per server: the credential store on Windows, the
// Secret Service keyring on Linux, in the entries the desktop's file manager reads and writes.
class CredentialStore {
public:
    virtual ~CredentialStore() = default;

    // NO_ERROR and the saved credential for `server`, or ERROR_NOT_FOUND.
    virtual DWORD CredReadA(const std::string& server, NetCredential& cred) = 0;
    virtual DWORD CredWriteA(const std::string& server, const NetCredential& cred) = 0;
};

// The identity services the network back ends share.
class Credentials {
public:
    virtual ~Credentials() = default;

    virtual CredentialStore& Store() = 0;
    // Whether the user holds a Kerberos ticket-granting ticket that has not expired (a domain
    // sign-in or kinit gives one).
    virtual bool HasTicket() = 0;

    // An interactive session registers its dialog here; null, the default, means nobody is
    // ever asked and a server that wants a password refuses the connection (1326).
    virtual void RegisterPrompt(CredentialPrompt* prompt) = 0;
    // What the back ends ask through, or null when nobody may be asked.
    virtual CredentialPrompt* Prompt() = 0;

    // Between these the dialog appears at most once per server: what the user typed there is
    // kept in memory and answered again for the server's other shares, and a cancel stands
    // for all of them.
    virtual void BeginRestore() = 0;
    virtual void EndRestore() = 0;
};

Credentials& SystemCredentials();

// One start-up restore of the connections.
class RestoreScope {
public:
    explicit RestoreScope(Credentials& c) : c_(c) { c_.BeginRestore(); }
    ~RestoreScope() { c_.EndRestore(); }
    RestoreScope(const RestoreScope&) = delete;
    RestoreScope& operator=(const RestoreScope&) = delete;

private:
    Credentials& c_;
};

}  // namespace platform
