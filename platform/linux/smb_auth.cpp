#include "platform/linux/smb_auth.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/linux/discovery_hosts.h"
#include "platform/linux/smb_uri.h"

namespace platform::smbauth {
namespace {

using identity::Lower;
using identity::Source;

void Copy(char* out, int size, const std::string& text) {
    if (size <= 0)
        return;
    const std::size_t n = std::min<std::size_t>(text.size(), std::size_t(size) - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// Connection options read when a connection opens: a ticket alone, a password alone, or
// guest. Between calls the context uses a ticket when there is one and guest otherwise.
void Configure(SMBCCTX* ctx, Source source, bool ticket) {
    switch (source) {
        case Source::Ticket:
            smbc_setOptionUseKerberos(ctx, 1);
            smbc_setOptionFallbackAfterKerberos(ctx, 0);
            smbc_setOptionNoAutoAnonymousLogin(ctx, 1);
            break;
        case Source::Saved:
        case Source::Typed:
            smbc_setOptionUseKerberos(ctx, 0);
            smbc_setOptionFallbackAfterKerberos(ctx, 1);
            smbc_setOptionNoAutoAnonymousLogin(ctx, 1);
            break;
        case Source::Guest:
            smbc_setOptionUseKerberos(ctx, 0);
            smbc_setOptionFallbackAfterKerberos(ctx, 1);
            smbc_setOptionNoAutoAnonymousLogin(ctx, 0);
            break;
        case Source::None:
            smbc_setOptionUseKerberos(ctx, ticket ? 1 : 0);
            smbc_setOptionFallbackAfterKerberos(ctx, 1);
            smbc_setOptionNoAutoAnonymousLogin(ctx, 0);
            break;
    }
    smbc_setOptionUseCCache(ctx, 1);
}

// Kerberos names servers by host name; an address has no ticket to offer.
bool IsAddress(const std::string& server) {
    unsigned char buf[16];
    return inet_pton(AF_INET, server.c_str(), buf) == 1 ||
           inet_pton(AF_INET6, server.c_str(), buf) == 1;
}

// Failures that no other identity would mend.
bool Final(int e) {
    return e == 0 || e == ENOENT || e == ENOTDIR || e == ETIMEDOUT || e == ECONNREFUSED ||
           e == EHOSTUNREACH || e == ENETUNREACH || e == ENOMEM;
}

// libsmbclient tells a refused logon only as an errno (a disabled account and a wrong
// password are both EACCES, a locked one EINVAL); the server's reason shows only in its log
// line "... login failed: <reason>", the status's name over SMB1 and its standard
// description over SPNEGO. While a password is offered those lines are read, and only these.
struct Reason {
    DWORD code = NO_ERROR;

    static void Log(void* self, int, const char* line) {
        static const struct {
            const char* name;
            const char* description;
            DWORD code;
        } known[] = {
            {"NT_STATUS_ACCOUNT_LOCKED_OUT", "account has been automatically locked",
             ERROR_ACCOUNT_LOCKED_OUT},
            {"NT_STATUS_ACCOUNT_DISABLED", "account is currently disabled", ERROR_ACCOUNT_DISABLED},
            {"NT_STATUS_ACCOUNT_EXPIRED", "account has expired", ERROR_ACCOUNT_EXPIRED},
            {"NT_STATUS_PASSWORD_EXPIRED", "password has expired", ERROR_PASSWORD_EXPIRED},
            {"NT_STATUS_PASSWORD_MUST_CHANGE", "password must be changed",
             ERROR_PASSWORD_MUST_CHANGE},
        };
        if (!line || !std::strstr(line, "login failed"))
            return;
        for (const auto& k : known)
            if (std::strstr(line, k.name) || std::strstr(line, k.description))
                static_cast<Reason*>(self)->code = k.code;
    }
};

class ReasonWatch {
public:
    ReasonWatch(SMBCCTX* ctx, bool on) : ctx_(on ? ctx : nullptr) {
        if (ctx_) {
            smbc_setLogCallback(ctx_, &reason, Reason::Log);
            smbc_setDebug(ctx_, 3);
        }
    }
    ~ReasonWatch() {
        if (ctx_) {
            smbc_setDebug(ctx_, 0);
            smbc_setLogCallback(ctx_, nullptr, nullptr);
        }
    }
    ReasonWatch(const ReasonWatch&) = delete;
    ReasonWatch& operator=(const ReasonWatch&) = delete;

    Reason reason;

private:
    SMBCCTX* ctx_;
};

void Answer(SMBCCTX* ctx, const char* server, const char*, char* workgroup, int workgroupLen,
            char* user, int userLen, char* password, int passwordLen) {
    Copy(password, passwordLen, "");
    const auto* book = static_cast<const Book*>(smbc_getOptionUserData(ctx));
    // With no user name libsmbclient logs on anonymously; the ticket needs the default one
    // it offers (the ticket's own principal is what the server sees).
    if (!book ||
        !book->Fill(server, workgroup, workgroupLen, user, userLen, password, passwordLen)) {
        if (!smbc_getOptionUseKerberos(ctx))
            Copy(user, userLen, "");
    }
}

}  // namespace

void Book::Clear() {
    accepted_.clear();
    cancelled_.clear();
    trying_.reset();
}

const Book::Answer* Book::For(const char* server) const {
    const std::string key = Lower(server ? server : "");
    if (trying_ && trying_->first == key)
        return &trying_->second;
    const auto it = accepted_.find(key);
    return it == accepted_.end() ? nullptr : &it->second;
}

bool Book::Fill(const char* server, char* workgroup, int workgroupLen, char* user, int userLen,
                char* password, int passwordLen) const {
    const Answer* a = For(server);
    if (!a || a->source == Source::None)
        return false;
    if (a->source == Source::Guest)
        Copy(user, userLen, "");
    if (a->source == Source::Saved || a->source == Source::Typed) {
        Copy(user, userLen, a->cred.user);
        if (!a->cred.domain.empty())
            Copy(workgroup, workgroupLen, a->cred.domain);
        const std::string_view pw = a->cred.password.view();
        if (passwordLen > 0) {
            const std::size_t n = std::min<std::size_t>(pw.size(), std::size_t(passwordLen) - 1);
            std::memcpy(password, pw.data(), n);
            password[n] = '\0';
        }
    }
    return true;
}

void Attach(SMBCCTX* ctx, Book* book) {
    smbc_setOptionUserData(ctx, book);
    smbc_setFunctionAuthDataWithContext(ctx, Answer);
}

Result Run(SMBCCTX* ctx, Book& book, Credentials& credentials, const std::string& server,
           const std::string& share, const std::function<int()>& op) {
    const bool ticket = credentials.HasTicket();
    // libsmbclient asks for the host in the address, which may be the one the server announced.
    const std::string host = discovery::SmbHostFor(server);
    const std::string key = Lower(host);
    const std::string target = Lower(identity::TargetName(server, share));
    auto purge = [ctx] { smbc_getFunctionPurgeCachedServers(ctx)(ctx); };
    Result result;

    // What the server took before answers first, from the connections kept open.
    if (const auto it = book.accepted_.find(key); it != book.accepted_.end()) {
        Configure(ctx, it->second.source, ticket);
        result.error = op();
        if (result.error == 0 || Final(result.error)) {
            result.source = it->second.source;
            Configure(ctx, Source::None, ticket);
            return result;
        }
        book.accepted_.erase(it);
        purge();
    }
    if (book.cancelled_.count(target)) {
        Configure(ctx, Source::None, ticket);
        return {EACCES, ERROR_CANCELLED, Source::None};
    }

    identity::Sequence sequence(credentials, server, share, !IsAddress(host), true,
                                discovery::Redirected(server, host) ? host : std::string());
    identity::Offer offer;
    const char* workgroup = smbc_getWorkgroup(ctx);
    bool tried = false;
    while (sequence.Next(true, workgroup ? workgroup : "", identity::RunHere, &offer)) {
        tried = true;
        const bool password = offer.source == Source::Saved || offer.source == Source::Typed;
        book.trying_.emplace(key, Book::Answer{offer.source, std::move(offer.cred)});
        Configure(ctx, offer.source, ticket);
        {
            ReasonWatch watch(ctx, password);
            result.error = op();
            if (result.error != 0 && watch.reason.code != NO_ERROR)
                sequence.Stop(watch.reason.code);
        }
        if (result.error == 0) {
            sequence.Accepted(true, identity::RunHere);
            result.source = offer.source;
            book.accepted_[key] = std::move(book.trying_->second);
            break;
        }
        purge();
        if (Final(result.error))
            break;
    }
    book.trying_.reset();
    if (tried && result.error != 0 && !Final(result.error)) {
        result.code = sequence.Code();
        if (result.code == ERROR_CANCELLED)
            book.cancelled_.insert(target);
    } else if (!tried) {
        result = {EACCES, sequence.Code(), Source::None};
    }
    Configure(ctx, Source::None, ticket);
    return result;
}

Probe ProbeShare(const std::string& server, const std::string& share, Source source,
                 const NetCredential& cred, int timeoutMs) {
    const bool password = source == Source::Saved || source == Source::Typed;
    if (password && cred.user.empty())
        return {EACCES, NO_ERROR};
    const auto uri = smburi::ShareUri(server, share);
    if (!uri)
        return {EINVAL, NO_ERROR};
    Book book;
    book.trying_.emplace(Lower(discovery::SmbHostFor(server)), Book::Answer{source, cred.Copy()});
    SMBCCTX* ctx = smbc_new_context();
    if (!ctx)
        return {ENOMEM, NO_ERROR};
    smbc_setDebug(ctx, 0);
    smbc_setTimeout(ctx, timeoutMs);
    Attach(ctx, &book);
    Probe probe{ENOMEM, NO_ERROR};
    if (smbc_init_context(ctx)) {
        Configure(ctx, source, source == Source::Ticket);
        ReasonWatch watch(ctx, password);
        errno = 0;
        SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, uri->c_str());
        probe.error = dir ? 0 : errno ? errno : EIO;
        if (dir)
            smbc_getFunctionClosedir(ctx)(ctx, dir);
        probe.reason = watch.reason.code;
    }
    smbc_free_context(ctx, 1);
    return probe;
}

DWORD WhyRefused(const std::string& server, const std::string& share, const NetCredential& cred,
                 int timeoutMs) {
    return ProbeShare(server, share, Source::Typed, cred, timeoutMs).reason;
}

}  // namespace platform::smbauth
