// Stand-ins for the browser's services: the enumeration and folder readers, recording every
// call, and the main window's rows.
#pragma once

#include <QColor>
#include <QString>
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "browser/targetrows.h"
#include "platform/folders.h"
#include "platform/netenum.h"

namespace fakes {

struct FakeRecord {
    platform::DWORD type, display, usage;
    std::string remote, comment;
    bool nullRemote = false;  // handed out as a null pointer
};
// A container (workgroup, server...) and a connectable share or printer.
inline FakeRecord Box(platform::DWORD display, std::string remote, std::string comment = {}) {
    return {platform::RESOURCETYPE_ANY, display, platform::RESOURCEUSAGE_CONTAINER,
            std::move(remote), std::move(comment)};
}
inline FakeRecord Leaf(platform::DWORD type, std::string remote,
                       platform::DWORD display = platform::RESOURCEDISPLAYTYPE_SHARE) {
    return {type, display, platform::RESOURCEUSAGE_CONNECTABLE, std::move(remote), {}};
}

// A neighbourhood described container by container ("" is the whole network), handed out
// with the system's buffer protocol.
class FakeNetEnumeration : public platform::NetEnumeration {
public:
    platform::DWORD WNetOpenEnumA(platform::DWORD scope, platform::DWORD type,
                                  platform::DWORD usage, const platform::NETRESOURCEA* res,
                                  platform::HANDLE* handle) override;
    platform::DWORD WNetEnumResourceA(platform::HANDLE handle, platform::DWORD* count, void* buffer,
                                      platform::DWORD* size) override;
    platform::DWORD WNetCloseEnum(platform::HANDLE handle) override;
    void ForgetCredentials() override { ++forgets; }

    std::map<std::string, std::vector<FakeRecord>> containers;
    // Results of a container's next opens, in order; NO_ERROR opens it normally.
    std::map<std::string, std::deque<platform::DWORD>> openFailures;
    platform::DWORD perCall = 1000;  // records per call at most

    struct Open {
        platform::DWORD scope, type, usage;
        std::string remote;
    };
    std::vector<Open> opens;
    int enums = 0, closes = 0, forgets = 0;
    int Calls() const { return static_cast<int>(opens.size()) + enums + closes; }

private:
    struct Listing {
        std::vector<FakeRecord> records;
        std::size_t next = 0;
    };
    std::map<platform::HANDLE, std::unique_ptr<Listing>> open_;
};

struct FakeFolderContent {
    std::vector<std::string> files, folders;
    bool listable = true;  // found, but its contents may not be read
};

class FakeFileSystemObject : public platform::FileSystemObject {
public:
    std::unique_ptr<platform::Folder> GetFolder(const std::string& path) override;
    std::map<std::string, FakeFolderContent> folders;
    std::vector<std::string> calls;
};

// The main window's rows as the browser leaves them.
struct FakeTargetRows : browser::TargetRows {
    void Set_Path_Text(int index, const QString& path) override { paths.at(index) = path; }
    void Set_Back_Color(int index, const QColor& colour) override { colours.at(index) = colour; }
    std::array<QString, browser::TargetRowCount> paths;
    std::array<QColor, browser::TargetRowCount> colours;
};

}  // namespace fakes
