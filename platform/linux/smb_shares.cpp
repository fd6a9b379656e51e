#include <libsmbclient.h>
#include <strings.h>

#include <cerrno>

#include "platform/linux/netbackends.h"
#include "platform/linux/smb_uri.h"

namespace platform::netbackends {
namespace {

// Guest: no credentials are ever passed for a connection.
void GuestAuth(SMBCCTX*, const char*, const char*, char*, int, char* user, int userLen,
               char* password, int) {
    if (userLen > 0)
        user[0] = '\0';
    password[0] = '\0';
}

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

DWORD CheckPrinterShare(const netpath::UncPath& path) {
    const auto uri = smburi::ServerUri(path.server);
    if (!uri)
        return ERROR_BAD_NET_NAME;
    SMBCCTX* ctx = smbc_new_context();
    if (!ctx)
        return ERROR_NOT_ENOUGH_MEMORY;
    smbc_setDebug(ctx, 0);
    smbc_setTimeout(ctx, ServerTimeoutMs);
    smbc_setFunctionAuthDataWithContext(ctx, GuestAuth);
    if (!smbc_init_context(ctx)) {
        smbc_free_context(ctx, 1);
        return ERROR_NO_NETWORK;
    }
    DWORD result = ERROR_BAD_NET_NAME;
    errno = 0;
    SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, uri->c_str());
    if (!dir) {
        result = FromErrno(errno);
    } else {
        while (const smbc_dirent* d = smbc_getFunctionReaddir(ctx)(ctx, dir)) {
            if (d->smbc_type == SMBC_PRINTER_SHARE &&
                ::strcasecmp(d->name, path.share.c_str()) == 0) {
                result = NO_ERROR;
                break;
            }
        }
        smbc_getFunctionClosedir(ctx)(ctx, dir);
    }
    smbc_free_context(ctx, 1);
    return result;
}

}  // namespace platform::netbackends
