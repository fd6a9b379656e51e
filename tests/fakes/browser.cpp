#include "fakes/browser.h"

#include <cstring>

namespace fakes {

using namespace platform;

DWORD FakeNetEnumeration::WNetOpenEnumA(DWORD scope, DWORD type, DWORD usage,
                                        const NETRESOURCEA* res, HANDLE* handle) {
    const std::string remote = res && res->lpRemoteName ? res->lpRemoteName : "";
    opens.push_back({scope, type, usage, remote});
    auto& failures = openFailures[remote];
    const DWORD planned = failures.empty() ? NO_ERROR : failures.front();
    if (!failures.empty())
        failures.pop_front();
    if (planned != NO_ERROR)
        return planned;
    const auto it = containers.find(remote);
    if (it == containers.end())
        return ERROR_NOT_CONTAINER;
    auto listing = std::make_unique<Listing>();
    for (const FakeRecord& r : it->second) {
        const bool container = r.usage & RESOURCEUSAGE_CONTAINER;
        if ((container || r.type == type) && (!usage || (r.usage & usage)))
            listing->records.push_back(r);
    }
    *handle = listing.get();
    open_[*handle] = std::move(listing);
    return NO_ERROR;
}

DWORD FakeNetEnumeration::WNetEnumResourceA(HANDLE handle, DWORD* count, void* buffer,
                                            DWORD* size) {
    auto* base = static_cast<char*>(buffer);
    ++enums;
    Listing& l = *open_.at(handle);
    if (l.next >= l.records.size()) {
        *count = 0;
        return ERROR_NO_MORE_ITEMS;
    }
    auto bytes = [](const FakeRecord& r) {
        return sizeof(NETRESOURCEA) + r.remote.size() + r.comment.size() + 2;
    };
    std::size_t front = 0, back = *size;
    auto put = [&](const std::string& s) {
        back -= s.size() + 1;
        return static_cast<char*>(std::memcpy(base + back, s.c_str(), s.size() + 1));
    };
    DWORD placed = 0;
    for (; l.next < l.records.size() && placed < perCall; ++l.next, ++placed) {
        const FakeRecord& r = l.records[l.next];
        if (bytes(r) > back - front)
            break;
        NETRESOURCEA out{RESOURCE_GLOBALNET, r.type, r.display, r.usage};
        out.lpRemoteName = r.nullRemote ? nullptr : put(r.remote);
        out.lpComment = put(r.comment);
        std::memcpy(base + front, &out, sizeof out);
        front += sizeof out;
    }
    if (placed == 0) {
        *size = static_cast<DWORD>(bytes(l.records[l.next]));
        return ERROR_MORE_DATA;
    }
    *count = placed;
    return NO_ERROR;
}

DWORD FakeNetEnumeration::WNetCloseEnum(HANDLE handle) {
    ++closes;
    return open_.erase(handle) ? NO_ERROR : ERROR_INVALID_HANDLE;
}

namespace {

class FakeFolder : public Folder {
public:
    explicit FakeFolder(FakeFolderContent c) : c_(std::move(c)) {}
    std::optional<std::vector<std::string>> Files() override {
        return c_.listable ? std::optional(c_.files) : std::nullopt;
    }
    std::optional<std::vector<std::string>> SubFolders() override {
        return c_.listable ? std::optional(c_.folders) : std::nullopt;
    }

private:
    FakeFolderContent c_;
};

}  // namespace

std::unique_ptr<Folder> FakeFileSystemObject::GetFolder(const std::string& path) {
    calls.push_back(path);
    const auto it = folders.find(path);
    return it == folders.end() ? nullptr : std::make_unique<FakeFolder>(it->second);
}

}  // namespace fakes
