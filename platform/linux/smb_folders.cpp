// Folders of SMB shares over libsmbclient, on the modern protocols.
#include "platform/folders.h"
#include "platform/linux/netpath.h"
#include "platform/linux/smb_enum_client.h"
#include "platform/linux/smb_uri.h"

namespace platform {
namespace {

using smbclient::Dialect;
using smbenum::Entry;

// Found by GetFolder; listed once, on the first question about its contents.
class SmbFolder final : public Folder {
public:
    SmbFolder(std::string uri, smbclient::Target target)
        : uri_(std::move(uri)), target_(std::move(target)) {}

    std::optional<std::vector<std::string>> Files() override {
        if (!List())
            return std::nullopt;
        return files_;
    }

    std::optional<std::vector<std::string>> SubFolders() override {
        if (!List())
            return std::nullopt;
        return folders_;
    }

private:
    bool List() {
        if (listed_)
            return readable_;
        listed_ = true;
        std::vector<Entry> entries;
        readable_ = smbclient::ListDirectory(Dialect::Modern, uri_, entries, &target_) == 0;
        for (Entry& e : entries) {
            if (e.kind == Entry::File)
                files_.push_back(std::move(e.name));
            else if (e.kind == Entry::Directory)
                folders_.push_back(std::move(e.name));
        }
        return readable_;
    }

    std::string uri_;
    smbclient::Target target_;
    bool listed_ = false;
    bool readable_ = false;
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
};

class SmbFileSystemObject final : public FileSystemObject {
public:
    std::unique_ptr<Folder> GetFolder(const std::string& path) override {
        const auto unc = netpath::ParseUnc(path.c_str());
        const auto uri =
            unc ? smburi::ShareUri(unc->server, unc->share, unc->folder) : std::nullopt;
        if (!uri)
            return nullptr;
        const smbclient::Target target{unc->server, unc->share};
        bool isFolder = false;
        if (smbclient::StatPath(Dialect::Modern, *uri, &isFolder, &target) != 0 || !isFolder)
            return nullptr;
        return std::make_unique<SmbFolder>(*uri, target);
    }
};

}  // namespace

FileSystemObject& SystemFileSystemObject() {
    static SmbFileSystemObject fso;
    return fso;
}

}  // namespace platform
