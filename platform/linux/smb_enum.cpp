// The network neighbourhood over libsmbclient: the whole network holds one provider, the
// provider the workgroups, a workgroup its servers, a server its shares and printers.
#include <cerrno>
#include <map>
#include <memory>

#include "platform/linux/discovery.h"
#include "platform/linux/smb_enum_client.h"
#include "platform/linux/smb_enum_records.h"
#include "platform/linux/smb_uri.h"
#include "platform/netenum.h"

namespace platform {
namespace {

using smbenum::Container;
using smbenum::Entry;
using smbenum::Record;

DWORD FromErrno(int e) {
    switch (e) {
        case 0:
            return NO_ERROR;
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENOTDIR:
            return ERROR_NOT_CONTAINER;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENETUNREACH:
        case ENETDOWN:
            return ERROR_NO_NETWORK;
        default:
            return ERROR_BAD_NETPATH;
    }
}

// Waiting twice for a server that does not answer would double the freeze.
bool WorthRetrying(int e) {
    return e != EACCES && e != EPERM && e != ENOENT && e != ETIMEDOUT && e != EHOSTUNREACH &&
           e != ENETUNREACH && e != ECONNREFUSED;
}

// `uri` is the container's address: "smb://" for the provider, else the workgroup's or server's.
int ListContainer(const Container& c, const std::string& uri, std::vector<Entry>& entries) {
    using smbclient::Dialect;
    switch (c.kind) {
        case Container::Root:
            return 0;
        // SMB1 browse lists, with what WS-Discovery and DNS-SD found merged in.
        case Container::Provider:
            return discovery::ListWorkgroups(
                [&uri](std::vector<Entry>& out) {
                    return smbclient::ListDirectory(Dialect::Browsing, uri, out);
                },
                entries);
        case Container::Workgroup:
            return discovery::ListServers(
                c.name,
                [&uri](std::vector<Entry>& out) {
                    return smbclient::ListDirectory(Dialect::Browsing, uri, out);
                },
                entries);
        case Container::Server: {
            // Share lists work over the modern protocols; a server that speaks only SMB1
            // still answers on the browsing context.
            const smbclient::Target server{c.name, ""};
            const int e = smbclient::ListDirectory(Dialect::Modern, uri, entries, &server);
            if (e == 0 || !WorthRetrying(e))
                return e;
            return smbclient::ListDirectory(Dialect::Browsing, uri, entries, &server);
        }
    }
    return EINVAL;
}

class SmbNetEnumeration final : public NetEnumeration {
public:
    DWORD WNetOpenEnumA(DWORD scope, DWORD type, DWORD usage, const NETRESOURCEA* res,
                        HANDLE* handle) override {
        if (!handle)
            return ERROR_INVALID_PARAMETER;
        *handle = nullptr;
        if (scope != RESOURCE_GLOBALNET)
            return ERROR_NOT_SUPPORTED;
        Container container;
        if (const DWORD r = smbenum::ClassifyContainer(res, &container))
            return r;
        // The whole network is opened once per browser window: its questions start afresh.
        if (container.kind == Container::Root)
            smbclient::ForgetIdentities();
        // Above the servers everything is a container: a filter that lets no container
        // through (the printer enumeration) needs no trip to the network.
        const bool onlyContainers =
            container.kind == Container::Provider || container.kind == Container::Workgroup;
        const bool nothingPasses =
            onlyContainers && usage != 0 && (usage & RESOURCEUSAGE_CONTAINER) == 0;
        std::string uri = "smb://";
        if (container.kind == Container::Workgroup || container.kind == Container::Server) {
            const auto named = container.kind == Container::Server
                                   ? smburi::ServerUri(container.name)
                                   : smburi::WorkgroupUri(container.name);
            if (!named)
                return ERROR_BAD_NET_NAME;
            uri = *named;
        }
        std::vector<Entry> entries;
        if (!nothingPasses) {
            if (const int e = ListContainer(container, uri, entries))
                return FromErrno(e);
        }

        auto open = std::make_unique<Open>();
        for (Record& r : smbenum::RecordsFromListing(container, entries))
            if (smbenum::PassesFilter(r, type, usage))
                open->records.push_back(std::move(r));
        HANDLE h = open.get();
        open_[h] = std::move(open);
        *handle = h;
        return NO_ERROR;
    }

    DWORD WNetEnumResourceA(HANDLE handle, DWORD* count, void* buffer, DWORD* size) override {
        const auto it = open_.find(handle);
        if (it == open_.end()) {
            if (count)
                *count = 0;
            return ERROR_INVALID_HANDLE;
        }
        return smbenum::PackRecords(it->second->records, it->second->next, count, buffer, size);
    }

    DWORD WNetCloseEnum(HANDLE handle) override {
        return open_.erase(handle) ? NO_ERROR : ERROR_INVALID_HANDLE;
    }

    void ForgetCredentials() override { smbclient::ForgetIdentities(); }

private:
    // The listing is taken whole when the enumeration opens, so a failure is reported by
    // the open, and handed out piece by piece afterwards.
    struct Open {
        std::vector<Record> records;
        std::size_t next = 0;
    };
    std::map<HANDLE, std::unique_ptr<Open>> open_;
};

}  // namespace

NetEnumeration& SystemNetEnumeration() {
    static SmbNetEnumeration enumeration;
    return enumeration;
}

}  // namespace platform
