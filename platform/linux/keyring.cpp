// Saved network passwords in the Secret Service keyring, in the very entries GVfs reads and
// writes for SMB (schema org.gnome.keyring.NetworkPassword, attributes user, server, domain
// and protocol "smb"): a password the file manager saved opens Mapeo's drives, and the other
// way round.
#include "platform/linux/keyring.h"

#include <libsecret/secret.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/linux/glib_loop.h"

namespace platform::keyring {
namespace {

// A hung Secret Service must not freeze the window; unlocking waits for the user instead.
constexpr int CallTimeoutMs = 5000;
constexpr int UnlockTimeoutMs = 120000;

// One asynchronous libsecret call, run on a context of its own and cancelled at its bound.
class Bounded {
public:
    Bounded() : context_(g_main_context_new()), cancel_(g_cancellable_new()) {
        g_main_context_push_thread_default(context_);
    }
    ~Bounded() {
        if (result_)
            g_object_unref(result_);
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
        g_object_unref(cancel_);
    }
    Bounded(const Bounded&) = delete;
    Bounded& operator=(const Bounded&) = delete;

    GCancellable* cancellable() const { return cancel_; }
    static void Done(GObject*, GAsyncResult* res, gpointer self) {
        static_cast<Bounded*>(self)->result_ = G_ASYNC_RESULT(g_object_ref(res));
    }

    // The call's result, also when it was cancelled (its finish then reports that).
    GAsyncResult* Wait(int ms) {
        Run(ms);
        if (!result_) {
            g_cancellable_cancel(cancel_);
            Run(1000);
        }
        return result_;
    }

private:
    void Run(int ms) {
        const gint64 deadline = g_get_monotonic_time() + gint64(ms) * 1000;
        while (!result_ && g_get_monotonic_time() < deadline)
            glibloop::Iterate(context_, deadline, 50);
    }

    GMainContext* context_;
    GCancellable* cancel_;
    GAsyncResult* result_ = nullptr;
};

using Attributes = std::unique_ptr<GHashTable, decltype(&g_hash_table_unref)>;

Attributes ServerAttributes(const std::string& server) {
    Attributes a(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free),
                 g_hash_table_unref);
    g_hash_table_insert(a.get(), g_strdup("server"), g_strdup(server.c_str()));
    g_hash_table_insert(a.get(), g_strdup("protocol"), g_strdup("smb"));
    return a;
}

std::string Attribute(GHashTable* attributes, const char* name) {
    const auto* v = static_cast<const char*>(g_hash_table_lookup(attributes, name));
    return v ? v : "";
}

// The entry GVfs itself would take: the least specific one, the newest among equals.
bool Before(SecretItem* a, SecretItem* b) {
    GHashTable* aa = secret_item_get_attributes(a);
    GHashTable* bb = secret_item_get_attributes(b);
    const guint na = g_hash_table_size(aa), nb = g_hash_table_size(bb);
    g_hash_table_unref(aa);
    g_hash_table_unref(bb);
    if (na != nb)
        return na < nb;
    return secret_item_get_modified(a) > secret_item_get_modified(b);
}

bool Unlock(SecretItem* item) {
    Bounded call;
    GList one{item, nullptr, nullptr};
    secret_service_unlock(nullptr, &one, call.cancellable(), Bounded::Done, &call);
    GAsyncResult* r = call.Wait(UnlockTimeoutMs);
    return r && secret_service_unlock_finish(nullptr, r, nullptr, nullptr) > 0;
}

bool LoadSecret(SecretItem* item) {
    Bounded call;
    secret_item_load_secret(item, call.cancellable(), Bounded::Done, &call);
    GAsyncResult* r = call.Wait(CallTimeoutMs);
    return r && secret_item_load_secret_finish(item, r, nullptr);
}

class SecretServiceStore final : public CredentialStore {
public:
    explicit SecretServiceStore(std::function<bool()> mayUnlock)
        : mayUnlock_(std::move(mayUnlock)) {}

    DWORD CredReadA(const std::string& server, NetCredential& cred) override {
        if (server.empty())
            return ERROR_NOT_FOUND;
        GList* items = nullptr;
        {
            Bounded call;
            const Attributes wanted = ServerAttributes(server);
            secret_service_search(nullptr, SECRET_SCHEMA_COMPAT_NETWORK, wanted.get(),
                                  SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS),
                                  call.cancellable(), Bounded::Done, &call);
            if (GAsyncResult* r = call.Wait(CallTimeoutMs))
                items = secret_service_search_finish(nullptr, r, nullptr);
        }
        if (!items)
            return ERROR_NOT_FOUND;
        std::vector<SecretItem*> sorted;
        for (GList* l = items; l; l = l->next)
            sorted.push_back(SECRET_ITEM(l->data));
        std::stable_sort(sorted.begin(), sorted.end(), Before);
        SecretItem* best = sorted.front();
        DWORD result = ERROR_NOT_FOUND;
        // A locked keyring is opened only where someone can type its password.
        if (secret_item_get_locked(best) && mayUnlock_() && Unlock(best))
            LoadSecret(best);
        if (SecretValue* secret = secret_item_get_secret(best)) {
            gsize length = 0;
            const gchar* text = secret_value_get(secret, &length);
            GHashTable* attributes = secret_item_get_attributes(best);
            cred.user = Attribute(attributes, "user");
            cred.domain = Attribute(attributes, "domain");
            cred.password.Assign(std::string_view(text, length));
            g_hash_table_unref(attributes);
            secret_value_unref(secret);
            result = NO_ERROR;
        }
        g_list_free_full(items, g_object_unref);
        return result;
    }

    DWORD CredWriteA(const std::string& server, const NetCredential& cred) override {
        if (server.empty() || cred.user.empty())
            return ERROR_INVALID_PARAMETER;
        const Attributes attributes = ServerAttributes(server);
        g_hash_table_insert(attributes.get(), g_strdup("user"), g_strdup(cred.user.c_str()));
        if (!cred.domain.empty())
            g_hash_table_insert(attributes.get(), g_strdup("domain"),
                                g_strdup(cred.domain.c_str()));
        // Labelled as GVfs labels its own entries, so a keyring manager shows one kind.
        char* user =
            g_uri_escape_string(cred.user.c_str(), G_URI_RESERVED_CHARS_ALLOWED_IN_USERINFO, TRUE);
        const std::string label = std::string(user) + "@" + server;
        g_free(user);
        Bounded call;
        secret_password_storev(SECRET_SCHEMA_COMPAT_NETWORK, attributes.get(),
                               SECRET_COLLECTION_DEFAULT, label.c_str(), cred.password.c_str(),
                               call.cancellable(), Bounded::Done, &call);
        GAsyncResult* r = call.Wait(CallTimeoutMs);
        return r && secret_password_store_finish(r, nullptr) ? NO_ERROR
                                                             : ERROR_NO_SUCH_LOGON_SESSION;
    }

private:
    std::function<bool()> mayUnlock_;
};

}  // namespace

std::unique_ptr<CredentialStore> MakeSecretServiceStore(std::function<bool()> mayUnlock) {
    return std::make_unique<SecretServiceStore>(std::move(mayUnlock));
}

}  // namespace platform::keyring
