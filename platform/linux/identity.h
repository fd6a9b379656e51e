// The order in which a connection offers the user's identities to a server, shared by the
// GVfs mount operation and the libsmbclient calls: a Kerberos ticket, the password saved in
// the keyring, guest, and last the dialog, again after every refusal until the user gives
// up.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/credentials.h"

namespace platform::identity {

enum class Source { None, Ticket, Saved, Guest, Typed };

struct Offer {
    Source source = Source::None;
    NetCredential cred;  // user, domain and password for Saved and Typed
    BOOL save = 0;       // Typed: the user asked to keep it
};

// Runs the dialog on the user-interface thread and returns when it has been answered.
using UiRunner = std::function<void(const std::function<void()>&)>;
inline void RunHere(const std::function<void()>& f) {
    f();
}

// "\\server\share", or "\\server" for the server itself.
std::string TargetName(const std::string& server, const std::string& share);
// In ASCII lower case, as server names compare.
std::string Lower(std::string s);

class Sequence {
public:
    // `ticket` and `saved`: whether this caller offers those sources itself (GVfs tries both
    // on its own before it asks). `reachedAt`: the host the server is reached at when only an
    // announcement led there (see discovery_hosts.h); such a host may be anybody's, so it is
    // offered neither ticket nor saved password, the dialog names it beside the server
    // ("\\NAS\datos (192.0.2.5)"), and what is typed there is never saved under the name.
    Sequence(Credentials& credentials, std::string server, std::string share, bool ticket,
             bool saved, std::string reachedAt = {});
    ~Sequence();
    Sequence(const Sequence&) = delete;
    Sequence& operator=(const Sequence&) = delete;

    // The identity to offer next, the previous offer (if any) having been refused. `guest`:
    // whether the server may be offered guest now; `workgroup`: the domain the dialog shows
    // when nothing better is known. False when nothing is left; Code() then says why. The
    // dialog and the keyring (which may ask for its own password) are used through `ui`.
    bool Next(bool guest, const std::string& workgroup, const UiRunner& ui, Offer* offer);
    // The server said why it refused (locked, disabled, expired account): no use asking again.
    void Stop(DWORD code) { stopped_ = code_ = code; }
    // The server took the last offer. A typed answer the user asked to keep goes to the
    // keyring when `saveHere` (GVfs saves it itself).
    void Accepted(bool saveHere, const UiRunner& ui);

    // ERROR_LOGON_FAILURE when nobody may be asked or the dialog would not ask,
    // ERROR_CANCELLED when the user cancelled, or the code given to Stop().
    DWORD Code() const { return code_; }
    Source Last() const { return last_; }
    const std::string& Target() const { return target_; }

private:
    enum class Stage { Ticket, Saved, Guest, Ask, Done };

    bool ReadSaved(const UiRunner& ui, NetCredential& cred);

    Credentials& credentials_;
    std::string server_;
    std::string target_;
    bool ticket_;
    bool saved_;
    bool redirected_;
    Stage stage_ = Stage::Ticket;
    Source last_ = Source::None;
    DWORD code_ = ERROR_LOGON_FAILURE;
    DWORD stopped_ = NO_ERROR;
    bool savedSeen_ = false;     // a saved password exists for the server (and was refused)
    std::string user_, domain_;  // shown again in the dialog
    NetCredential typed_;        // the last typed answer, kept until it is accepted or refused
    BOOL save_ = 0;
};

// The system's service, built on the given keyring and ticket check (tests give stand-ins).
std::unique_ptr<Credentials> MakeCredentials(std::unique_ptr<CredentialStore> store,
                                             std::function<bool()> hasTicket);

// Whether the default credential cache holds a ticket-granting ticket still valid.
bool KerberosTicketValid();

}  // namespace platform::identity
