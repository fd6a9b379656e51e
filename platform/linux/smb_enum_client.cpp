#include "platform/linux/smb_enum_client.h"

#include <libsmbclient.h>

#include <cerrno>
#include <functional>
#include <memory>

#include "platform/linux/smb_auth.h"

namespace platform::smbclient {
namespace {

// Both contexts answer from one book: a server's identity does not depend on the dialect.
smbauth::Book& Identities() {
    static smbauth::Book* book = new smbauth::Book;  // lives as long as the contexts
    return *book;
}

struct ContextDeleter {
    void operator()(SMBCCTX* ctx) const { smbc_free_context(ctx, 1); }
};
using ContextPtr = std::unique_ptr<SMBCCTX, ContextDeleter>;

SMBCCTX* MakeContext() {
    ContextPtr ctx(smbc_new_context());
    if (!ctx)
        return nullptr;
    smbc_setDebug(ctx.get(), 0);
    smbc_setOptionDebugToStderr(ctx.get(), 1);
    smbc_setTimeout(ctx.get(), CallTimeoutMs);
    smbauth::Attach(ctx.get(), &Identities());
    smbc_setOptionUseKerberos(ctx.get(), SystemCredentials().HasTicket() ? 1 : 0);
    smbc_setOptionFallbackAfterKerberos(ctx.get(), 1);
    smbc_setOptionUseCCache(ctx.get(), 1);
    smbc_setOptionNoAutoAnonymousLogin(ctx.get(), 0);
    if (!smbc_init_context(ctx.get()))
        return nullptr;
    return ctx.release();
}

ContextPtr& Slot(Dialect dialect) {
    static ContextPtr browsing;
    static ContextPtr modern;
    return dialect == Dialect::Browsing ? browsing : modern;
}

// libsmbclient keeps the protocol range for the whole process, not per context. Every call
// sets the range of its dialect and a browsing call puts the modern range back when it ends,
// so that other contexts in the process (the printer check of the connections) never find
// themselves limited to SMB1. Connections a context keeps open stay on the dialect they were
// made with.
class DialectCall {
public:
    explicit DialectCall(Dialect dialect) : dialect_(dialect) {
        ContextPtr& slot = Slot(dialect);
        if (!slot)
            slot.reset(MakeContext());
        ctx_ = slot.get();
        if (ctx_ && dialect == Dialect::Browsing)
            smbc_setOptionProtocols(ctx_, "NT1", "NT1");
        if (ctx_ && dialect == Dialect::Modern)
            SetModern(ctx_);
    }
    ~DialectCall() {
        if (ctx_ && dialect_ == Dialect::Browsing)
            SetModern(ctx_);
    }
    DialectCall(const DialectCall&) = delete;
    DialectCall& operator=(const DialectCall&) = delete;

    SMBCCTX* Context() const { return ctx_; }

private:
    static void SetModern(SMBCCTX* ctx) { smbc_setOptionProtocols(ctx, "SMB2_02", "SMB3"); }

    Dialect dialect_;
    SMBCCTX* ctx_ = nullptr;
};

smbenum::Entry::Kind KindOf(unsigned type) {
    switch (type) {
        case SMBC_WORKGROUP:
            return smbenum::Entry::Workgroup;
        case SMBC_SERVER:
            return smbenum::Entry::Server;
        case SMBC_FILE_SHARE:
            return smbenum::Entry::FileShare;
        case SMBC_PRINTER_SHARE:
            return smbenum::Entry::PrinterShare;
        case SMBC_IPC_SHARE:
            return smbenum::Entry::IpcShare;
        case SMBC_DIR:
            return smbenum::Entry::Directory;
        case SMBC_FILE:
            return smbenum::Entry::File;
        default:
            return smbenum::Entry::Other;
    }
}

int AsUser(SMBCCTX* ctx, const Target* target, const std::function<int()>& op) {
    if (!target)
        return op();
    return smbauth::Run(ctx, Identities(), SystemCredentials(), target->server, target->share, op)
        .error;
}

int ListOnce(SMBCCTX* ctx, const std::string& uri, std::vector<smbenum::Entry>& out) {
    out.clear();
    errno = 0;
    SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, uri.c_str());
    if (!dir)
        return errno ? errno : EIO;
    while (const smbc_dirent* d = smbc_getFunctionReaddir(ctx)(ctx, dir)) {
        smbenum::Entry e;
        e.kind = KindOf(d->smbc_type);
        e.name = d->name;
        if (e.name == "." || e.name == "..")
            continue;
        if (d->commentlen > 0 && d->comment)
            e.comment = d->comment;
        out.push_back(std::move(e));
    }
    smbc_getFunctionClosedir(ctx)(ctx, dir);
    return 0;
}

}  // namespace

int ListDirectory(Dialect dialect, const std::string& uri, std::vector<smbenum::Entry>& out,
                  const Target* target) {
    out.clear();
    const DialectCall call(dialect);
    SMBCCTX* ctx = call.Context();
    if (!ctx)
        return ENOMEM;
    return AsUser(ctx, target, [&] { return ListOnce(ctx, uri, out); });
}

int StatPath(Dialect dialect, const std::string& uri, bool* isFolder, const Target* target) {
    const DialectCall call(dialect);
    SMBCCTX* ctx = call.Context();
    if (!ctx)
        return ENOMEM;
    return AsUser(ctx, target, [&] {
        struct stat st {};
        errno = 0;
        if (smbc_getFunctionStat(ctx)(ctx, uri.c_str(), &st) < 0)
            return errno ? errno : EIO;
        if (isFolder)
            *isFolder = S_ISDIR(st.st_mode);
        return 0;
    });
}

void ForgetIdentities() {
    Identities().Clear();
    for (Dialect d : {Dialect::Browsing, Dialect::Modern})
        if (SMBCCTX* ctx = Slot(d).get())
            smbc_getFunctionPurgeCachedServers(ctx)(ctx);
}

}  // namespace platform::smbclient
