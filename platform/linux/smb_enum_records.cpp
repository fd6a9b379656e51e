#include "platform/linux/smb_enum_records.h"

#include <strings.h>

#include <cstring>
#include <limits>

#include "platform/netenum.h"

namespace platform::smbenum {
namespace {

std::string Text(LPCSTR s) {
    return s ? std::string(s) : std::string();
}

bool EndsWithDollar(const std::string& s) {
    return !s.empty() && s.back() == '$';
}

Record Make(DWORD type, DWORD display, DWORD usage, std::string remote, std::string comment) {
    Record r;
    r.dwType = type;
    r.dwDisplayType = display;
    r.dwUsage = usage;
    r.remoteName = std::move(remote);
    r.comment = std::move(comment);
    r.provider = ProviderName;
    return r;
}

// Bytes a string takes in the buffer; an empty one is handed out as a null pointer.
std::size_t StringBytes(const std::string& s) {
    return s.empty() ? 0 : s.size() + 1;
}

std::size_t RecordBytes(const Record& r) {
    return sizeof(NETRESOURCEA) + StringBytes(r.localName) + StringBytes(r.remoteName) +
           StringBytes(r.comment) + StringBytes(r.provider);
}

}  // namespace

DWORD ClassifyContainer(const NETRESOURCEA* res, Container* out) {
    if (!out)
        return ERROR_INVALID_PARAMETER;
    *out = {};
    const std::string remote = res ? Text(res->lpRemoteName) : std::string();
    if (remote.empty())
        return NO_ERROR;  // the whole network

    if (remote.size() >= 2 && remote[0] == '\\' && remote[1] == '\\') {
        const std::string rest = remote.substr(2);
        if (rest.empty() || rest.find('\\') == 0)
            return ERROR_BAD_NETPATH;
        // Anything with a share part is a share, a printer or something inside one.
        if (rest.find('\\') != std::string::npos)
            return ERROR_NOT_CONTAINER;
        *out = {Container::Server, rest};
        return NO_ERROR;
    }
    switch (res->dwDisplayType) {
        case RESOURCEDISPLAYTYPE_NETWORK:
            if (::strcasecmp(remote.c_str(), ProviderName) != 0)
                return ERROR_BAD_PROVIDER;
            out->kind = Container::Provider;
            return NO_ERROR;
        case RESOURCEDISPLAYTYPE_DOMAIN:
        case RESOURCEDISPLAYTYPE_GROUP:
            *out = {Container::Workgroup, remote};
            return NO_ERROR;
        default:
            return ERROR_NOT_CONTAINER;
    }
}

std::vector<Record> RecordsFromListing(const Container& container,
                                       const std::vector<Entry>& listing) {
    std::vector<Record> records;
    if (container.kind == Container::Root) {
        records.push_back(Make(RESOURCETYPE_ANY, RESOURCEDISPLAYTYPE_NETWORK,
                               RESOURCEUSAGE_CONTAINER, ProviderName, {}));
        return records;
    }
    records.reserve(listing.size());
    for (const Entry& e : listing) {
        if (e.name.empty())
            continue;
        switch (container.kind) {
            case Container::Provider:
                if (e.kind == Entry::Workgroup)
                    records.push_back(Make(RESOURCETYPE_ANY, RESOURCEDISPLAYTYPE_DOMAIN,
                                           RESOURCEUSAGE_CONTAINER, e.name, e.comment));
                break;
            case Container::Workgroup:
                if (e.kind == Entry::Server)
                    records.push_back(Make(RESOURCETYPE_ANY, RESOURCEDISPLAYTYPE_SERVER,
                                           RESOURCEUSAGE_CONTAINER, "\\\\" + e.name, e.comment));
                break;
            case Container::Server: {
                const std::string remote = "\\\\" + container.name + "\\" + e.name;
                if (e.kind == Entry::FileShare)
                    records.push_back(Make(RESOURCETYPE_DISK,
                                           EndsWithDollar(e.name) ? RESOURCEDISPLAYTYPE_SHAREADMIN
                                                                  : RESOURCEDISPLAYTYPE_SHARE,
                                           RESOURCEUSAGE_CONNECTABLE, remote, e.comment));
                else if (e.kind == Entry::PrinterShare)
                    records.push_back(Make(RESOURCETYPE_PRINT, RESOURCEDISPLAYTYPE_SHARE,
                                           RESOURCEUSAGE_CONNECTABLE, remote, e.comment));
                break;
            }
            case Container::Root:
                break;
        }
    }
    return records;
}

bool PassesFilter(const Record& record, DWORD type, DWORD usage) {
    const bool container = (record.dwUsage & RESOURCEUSAGE_CONTAINER) != 0;
    if (type != RESOURCETYPE_ANY && !container && record.dwType != type)
        return false;
    if (usage != 0 && (record.dwUsage & usage) == 0)
        return false;
    return true;
}

DWORD PackRecords(const std::vector<Record>& records, std::size_t& next, DWORD* count, void* buffer,
                  DWORD* bufferSize) {
    if (!count || !bufferSize || (!buffer && *bufferSize != 0)) {
        if (count)
            *count = 0;
        return ERROR_INVALID_PARAMETER;
    }
    if (next >= records.size()) {
        *count = 0;
        return ERROR_NO_MORE_ITEMS;
    }
    const DWORD wanted = *count;
    if (wanted == 0)
        return ERROR_INVALID_PARAMETER;  // a count of 0 already ends the caller's loop

    // Records grow from the front, their strings from the back, as the system does it.
    auto* base = static_cast<char*>(buffer);
    std::size_t front = 0;
    std::size_t back = *bufferSize;
    DWORD placed = 0;
    auto put = [&](const std::string& s) -> LPSTR {
        if (s.empty())
            return nullptr;
        back -= s.size() + 1;
        std::memcpy(base + back, s.c_str(), s.size() + 1);
        return base + back;
    };
    while (next < records.size() && (wanted == ENUM_ALL_ENTRIES || placed < wanted)) {
        const Record& r = records[next];
        if (RecordBytes(r) > back - front)
            break;
        NETRESOURCEA out;
        out.dwScope = r.dwScope;
        out.dwType = r.dwType;
        out.dwDisplayType = r.dwDisplayType;
        out.dwUsage = r.dwUsage;
        out.lpLocalName = put(r.localName);
        out.lpRemoteName = put(r.remoteName);
        out.lpComment = put(r.comment);
        out.lpProvider = put(r.provider);
        std::memcpy(base + front, &out, sizeof out);
        front += sizeof out;
        ++placed;
        ++next;
    }
    if (placed == 0) {
        const std::size_t needed = RecordBytes(records[next]);
        if (needed > std::numeric_limits<DWORD>::max()) {
            *count = 0;
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        *bufferSize = static_cast<DWORD>(needed);
        return ERROR_MORE_DATA;
    }
    *count = placed;
    return NO_ERROR;
}

}  // namespace platform::smbenum
