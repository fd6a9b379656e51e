// The user's identity for libsmbclient: a context asks for credentials through a callback
// whenever it opens a connection, and a call that the server refuses is tried again with the
// next identity (see identity.h). libsmbclient keeps process-wide state without locks here
// (its log level and callback among them): every call runs on the window's thread.
#pragma once

#include <libsmbclient.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/linux/identity.h"

namespace platform::smbauth {

struct Result {
    int error = 0;          // 0, or the errno of the last attempt
    DWORD code = NO_ERROR;  // when no identity was taken: why (1326, 1223, a locked account...)
    identity::Source source = identity::Source::None;  // the identity the server took
};

// One opening of a share: 0 or the errno libsmbclient gives, and the server's reason when it
// refuses a password (see WhyRefused).
struct Probe {
    int error = 0;
    DWORD reason = NO_ERROR;
};

// What one or more contexts answer when they ask for credentials: per server, the identity
// the server took, kept while their connections may need it again; and the shares whose
// dialog the user cancelled, which are not asked about again.
class Book {
public:
    Book() = default;
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;

    void Clear();
    // What the context's credential callback hands libsmbclient for `server`; false when
    // the book has nothing to say about it.
    bool Fill(const char* server, char* workgroup, int workgroupLen, char* user, int userLen,
              char* password, int passwordLen) const;

private:
    struct Answer {
        identity::Source source = identity::Source::None;
        NetCredential cred;
    };
    const Answer* For(const char* server) const;

    std::map<std::string, Answer> accepted_;
    std::set<std::string> cancelled_;
    std::optional<std::pair<std::string, Answer>> trying_;

    friend Result Run(SMBCCTX*, Book&, Credentials&, const std::string&, const std::string&,
                      const std::function<int()>&);
    friend Probe ProbeShare(const std::string&, const std::string&, identity::Source,
                            const NetCredential&, int);
};

// Makes `ctx` answer its questions from `book`; call before smbc_init_context.
void Attach(SMBCCTX* ctx, Book* book);

// Runs `op` (0 or an errno) against `server` and `share` ("" for the server's own list of
// shares), offering one identity after another until the server takes one. The dialog, when
// one is registered, runs on this thread between two attempts, outside their time bounds.
Result Run(SMBCCTX* ctx, Book& book, Credentials& credentials, const std::string& server,
           const std::string& share, const std::function<int()>& op);

// What the server answers, within `timeoutMs`, when `share` is opened once as `source`
// (with `cred` for a password): Probe's errno and reason.
Probe ProbeShare(const std::string& server, const std::string& share, identity::Source source,
                 const NetCredential& cred, int timeoutMs);

// Why the server refuses `cred` for `share` when it says so within `timeoutMs`:
// ERROR_ACCOUNT_LOCKED_OUT, ERROR_ACCOUNT_DISABLED, ERROR_ACCOUNT_EXPIRED,
// ERROR_PASSWORD_EXPIRED or ERROR_PASSWORD_MUST_CHANGE; NO_ERROR when it gives no such reason.
DWORD WhyRefused(const std::string& server, const std::string& share, const NetCredential& cred,
                 int timeoutMs);

}  // namespace platform::smbauth
