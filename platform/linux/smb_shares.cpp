// The printer check: a server's list of shares, read as the user who connects the port.
#include <libsmbclient.h>
#include <strings.h>

#include <cerrno>

#include "platform/linux/netbackends.h"
#include "platform/linux/smb_auth.h"
#include "platform/linux/smb_uri.h"

namespace platform::netbackends {
namespace {

DWORD FromErrno(int e) {
    switch (e) {
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_BAD_NETPATH;
    }
}

}  // namespace

DWORD CheckPrinterShare(const netpath::UncPath& path, identity::Source* used) {
    const auto uri = smburi::ServerUri(path.server);
    if (!uri)
        return ERROR_BAD_NET_NAME;
    smbauth::Book book;  // this check's answers only, forgotten when it ends
    SMBCCTX* ctx = smbc_new_context();
    if (!ctx)
        return ERROR_NOT_ENOUGH_MEMORY;
    smbc_setDebug(ctx, 0);
    smbc_setTimeout(ctx, ServerTimeoutMs);
    smbauth::Attach(ctx, &book);
    if (!smbc_init_context(ctx)) {
        smbc_free_context(ctx, 1);
        return ERROR_NO_NETWORK;
    }
    DWORD found = ERROR_BAD_NET_NAME;
    const smbauth::Result r =
        smbauth::Run(ctx, book, SystemCredentials(), path.server, "", [&]() -> int {
            errno = 0;
            SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, uri->c_str());
            if (!dir)
                return errno ? errno : EIO;
            while (const smbc_dirent* d = smbc_getFunctionReaddir(ctx)(ctx, dir)) {
                if (d->smbc_type == SMBC_PRINTER_SHARE &&
                    ::strcasecmp(d->name, path.share.c_str()) == 0) {
                    found = NO_ERROR;
                    break;
                }
            }
            smbc_getFunctionClosedir(ctx)(ctx, dir);
            return 0;
        });
    smbc_free_context(ctx, 1);
    if (r.error != 0)
        return r.code != NO_ERROR ? r.code : FromErrno(r.error);
    if (used)
        *used = r.source;
    return found;
}

}  // namespace platform::netbackends
