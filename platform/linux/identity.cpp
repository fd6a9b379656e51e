#include "platform/linux/identity.h"

#include <krb5.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <ctime>
#include <map>
#include <optional>

#include "platform/linux/keyring.h"

namespace platform::identity {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

namespace {

// The server of "\\server\share", with the host it is reached at when an announcement led
// there ("\\server\share (host)"): an answer typed for the one is never given to the other.
std::string ServerOf(const std::string& target) {
    const std::size_t start = target.find_first_not_of('\\');
    if (start == std::string::npos)
        return {};
    const std::size_t at = target.back() == ')' ? target.rfind(" (") : std::string::npos;
    const std::string path = target.substr(start, at == std::string::npos ? at : at - start);
    return Lower(path.substr(0, path.find('\\'))) +
           (at == std::string::npos ? std::string() : Lower(target.substr(at)));
}

// The system's service. While a restore runs it stands between the back ends and the
// registered dialog, so that each server is asked about once.
class SystemIdentity final : public Credentials, private CredentialPrompt {
public:
    SystemIdentity(std::unique_ptr<CredentialStore> store, std::function<bool()> hasTicket)
        : store_(std::move(store)), hasTicket_(std::move(hasTicket)) {}

    CredentialStore& Store() override { return *store_; }
    bool HasTicket() override { return hasTicket_(); }
    void RegisterPrompt(CredentialPrompt* prompt) override { prompt_ = prompt; }
    CredentialPrompt* Prompt() override {
        return prompt_.load() ? static_cast<CredentialPrompt*>(this) : nullptr;
    }
    void BeginRestore() override {
        servers_.clear();
        restoring_ = true;
    }
    void EndRestore() override {
        restoring_ = false;
        servers_.clear();  // wipes what was typed
    }

private:
    // One server during a restore: never asked, being asked (the dialog came up and its
    // answers are being tried), answered (the server took an answer), or done with asking.
    struct Server {
        enum { Fresh, Asking, Answered, Over } state = Fresh;
        bool cancelled = false;
        std::optional<NetCredential> answer;
    };

    DWORD CredUIPromptForCredentialsA(const std::string& target, DWORD authError,
                                      NetCredential& cred, BOOL* save) override {
        CredentialPrompt* prompt = prompt_.load();
        if (!prompt)
            return ERROR_NO_SUCH_LOGON_SESSION;
        if (!restoring_)
            return prompt->CredUIPromptForCredentialsA(target, authError, cred, save);
        Server& s = servers_[ServerOf(target)];
        if (s.state == Server::Answered && authError == NO_ERROR && s.answer) {
            cred = s.answer->Copy();
            *save = 0;
            return NO_ERROR;
        }
        if (s.state == Server::Answered || s.state == Server::Over) {
            s.state = Server::Over;
            return s.cancelled ? ERROR_CANCELLED : ERROR_NO_SUCH_LOGON_SESSION;
        }
        s.state = Server::Asking;
        const DWORD r = prompt->CredUIPromptForCredentialsA(target, authError, cred, save);
        if (r == NO_ERROR) {
            s.answer = cred.Copy();
        } else {
            s.state = Server::Over;
            s.cancelled = r == ERROR_CANCELLED;
            s.answer.reset();
        }
        return r;
    }

    DWORD CredUIConfirmCredentialsA(const std::string& target, BOOL confirm) override {
        if (restoring_ && confirm) {
            Server& s = servers_[ServerOf(target)];
            if (s.state == Server::Asking)
                s.state = Server::Answered;
        }
        CredentialPrompt* prompt = prompt_.load();
        return prompt ? prompt->CredUIConfirmCredentialsA(target, confirm) : NO_ERROR;
    }

    std::unique_ptr<CredentialStore> store_;
    std::function<bool()> hasTicket_;
    std::atomic<CredentialPrompt*> prompt_{nullptr};
    bool restoring_ = false;
    std::map<std::string, Server> servers_;
};

}  // namespace

std::string TargetName(const std::string& server, const std::string& share) {
    return "\\\\" + server + (share.empty() ? "" : "\\" + share);
}

Sequence::Sequence(Credentials& credentials, std::string server, std::string share, bool ticket,
                   bool saved, std::string reachedAt)
    : credentials_(credentials),
      server_(std::move(server)),
      target_(TargetName(server_, share) + (reachedAt.empty() ? "" : " (" + reachedAt + ")")),
      ticket_(ticket && reachedAt.empty()),
      saved_(saved && reachedAt.empty()),
      redirected_(!reachedAt.empty()) {}

Sequence::~Sequence() = default;

bool Sequence::Next(bool guest, const std::string& workgroup, const UiRunner& ui, Offer* offer) {
    CredentialPrompt* prompt = credentials_.Prompt();
    if (last_ == Source::Typed && prompt)
        ui([&] { prompt->CredUIConfirmCredentialsA(target_, 0); });
    if (last_ == Source::Saved)
        savedSeen_ = true;
    offer->cred = {};
    offer->save = 0;
    while (stage_ != Stage::Done) {
        if (stopped_ != NO_ERROR) {
            code_ = stopped_;
            break;
        }
        switch (stage_) {
            case Stage::Ticket:
                stage_ = Stage::Saved;
                if (ticket_ && credentials_.HasTicket()) {
                    offer->source = last_ = Source::Ticket;
                    return true;
                }
                break;
            case Stage::Saved:
                stage_ = Stage::Guest;
                if (saved_ && ReadSaved(ui, offer->cred)) {
                    user_ = offer->cred.user;
                    domain_ = offer->cred.domain;
                    offer->source = last_ = Source::Saved;
                    return true;
                }
                break;
            case Stage::Guest:
                stage_ = Stage::Ask;
                if (guest) {
                    offer->source = last_ = Source::Guest;
                    return true;
                }
                break;
            case Stage::Ask: {
                if (!prompt) {
                    stage_ = Stage::Done;
                    code_ = ERROR_LOGON_FAILURE;
                    break;
                }
                // A refused answer, typed or saved, is shown again with its user name.
                DWORD authError =
                    last_ == Source::Typed || savedSeen_ ? ERROR_LOGON_FAILURE : NO_ERROR;
                if (user_.empty() && !saved_ && !redirected_ && last_ != Source::Typed) {
                    NetCredential saved;
                    if (ReadSaved(ui, saved)) {
                        user_ = saved.user;
                        domain_ = saved.domain;
                        authError = ERROR_LOGON_FAILURE;  // the caller tried it already
                    }
                }
                NetCredential answer{user_, domain_.empty() ? workgroup : domain_, {}};
                BOOL save = 0;
                DWORD r = ERROR_NO_SUCH_LOGON_SESSION;
                ui([&] {
                    r = prompt->CredUIPromptForCredentialsA(target_, authError, answer, &save);
                });
                if (r != NO_ERROR) {
                    stage_ = Stage::Done;
                    code_ = r == ERROR_CANCELLED ? ERROR_CANCELLED : ERROR_LOGON_FAILURE;
                    break;
                }
                std::string user, domain = answer.domain;
                if (CredUIParseUserNameA(answer.user, user, domain) != NO_ERROR)
                    user = answer.user;
                user_ = answer.user = user;
                domain_ = answer.domain = domain;
                typed_ = answer.Copy();
                save_ = save;
                offer->cred = std::move(answer);
                offer->save = save;
                offer->source = last_ = Source::Typed;
                return true;
            }
            case Stage::Done:
                break;
        }
    }
    stage_ = Stage::Done;
    typed_ = {};
    return false;
}

bool Sequence::ReadSaved(const UiRunner& ui, NetCredential& cred) {
    // A locked keyring asks the user for its own password: that is time with the user.
    DWORD r = ERROR_NOT_FOUND;
    ui([&] { r = credentials_.Store().CredReadA(server_, cred); });
    return r == NO_ERROR;
}

void Sequence::Accepted(bool saveHere, const UiRunner& ui) {
    if (last_ == Source::Typed) {
        if (CredentialPrompt* prompt = credentials_.Prompt())
            ui([&] { prompt->CredUIConfirmCredentialsA(target_, 1); });
        if (saveHere && save_ && !redirected_)
            ui([&] { credentials_.Store().CredWriteA(server_, typed_); });
    }
    typed_ = {};
}

std::unique_ptr<Credentials> MakeCredentials(std::unique_ptr<CredentialStore> store,
                                             std::function<bool()> hasTicket) {
    return std::make_unique<SystemIdentity>(std::move(store), std::move(hasTicket));
}

bool KerberosTicketValid() {
    krb5_context ctx = nullptr;
    if (krb5_init_context(&ctx) != 0)
        return false;
    bool valid = false;
    krb5_ccache cache = nullptr;
    if (krb5_cc_default(ctx, &cache) == 0) {
        krb5_cc_cursor cursor = nullptr;
        if (krb5_cc_start_seq_get(ctx, cache, &cursor) == 0) {
            krb5_timestamp now = 0;
            krb5_timeofday(ctx, &now);
            krb5_creds creds;
            while (!valid && krb5_cc_next_cred(ctx, cache, &cursor, &creds) == 0) {
                const krb5_principal s = creds.server;
                valid = s && s->length == 2 && s->data[0].length == 6 &&
                        std::string_view(s->data[0].data, 6) == "krbtgt" &&
                        creds.times.endtime > now;
                krb5_free_cred_contents(ctx, &creds);
            }
            krb5_cc_end_seq_get(ctx, cache, &cursor);
        }
        krb5_cc_close(ctx, cache);
    }
    krb5_free_context(ctx);
    return valid;
}

}  // namespace platform::identity

namespace platform {

Credentials& SystemCredentials() {
    static Credentials* const system =
        identity::MakeCredentials(
            // Only an interactive session may open a locked keyring: that asks for its password.
            keyring::MakeSecretServiceStore([] { return SystemCredentials().Prompt() != nullptr; }),
            identity::KerberosTicketValid)
            .release();  // lives as long as the process
    return *system;
}

}  // namespace platform
