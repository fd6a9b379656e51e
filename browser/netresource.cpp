#include "browser/netresource.h"

#include <QByteArray>
#include <array>
#include <cstring>

namespace browser {
namespace {

using platform::DWORD;

constexpr DWORD FirstBufferSize = 1024;
// Far beyond any real listing; a platform asking for more is not believed.
constexpr DWORD LargestBuffer = 64u * 1024 * 1024;

const std::array<const char*, 12> DisplayTypeNames = {
    "Generic", "Domain", "Server",     "Share",     "File", "Group",
    "Network", "Root",   "AdminShare", "Directory", "Tree", "NDSContainer"};

std::unique_ptr<char[]> Zero_Filled(DWORD size) {
    return std::unique_ptr<char[]>(new char[size]());
}

// A name from the enumeration buffer: never read past the buffer's end, whatever a record
// claims. Names the platform keeps elsewhere are its own to keep valid.
QString Name_At(const char* p, const char* buffer, DWORD size) {
    if (!p)
        return {};
    if (p >= buffer && p < buffer + size) {
        const std::size_t room = static_cast<std::size_t>(buffer + size - p);
        return QString::fromLocal8Bit(p, static_cast<qsizetype>(::strnlen(p, room)));
    }
    return NETRESOURCE::TextFromPointer(p);
}

// The names in 8-bit form, alive for as long as the platform record points at them.
struct Names8 {
    QByteArray local, remote, comment, provider;
    static char* Ptr(QByteArray& b) { return b.isEmpty() ? nullptr : b.data(); }
};

}  // namespace

NETRESOURCE::NETRESOURCE(platform::NetEnumeration& net) : net_(net) {}

NETRESOURCE::~NETRESOURCE() = default;

NetResources& NETRESOURCE::Children() {
    if (!enumerated_)
        EnumerateChildren();
    return *children_;
}

std::int32_t NETRESOURCE::ResourceType() const {
    if (printer_)
        return PrinterResourceType;
    return static_cast<std::int32_t>(record_.dwDisplayType);
}

QString NETRESOURCE::ResourceTypeName() const {
    if (printer_)
        return QStringLiteral("Printer");
    if (record_.dwDisplayType < DisplayTypeNames.size())
        return QString::fromLatin1(DisplayTypeNames[record_.dwDisplayType]);
    return {};
}

QString NETRESOURCE::ShortName() const {
    const qsizetype cut = record_.RemoteName.lastIndexOf(u'\\');
    return cut < 0 ? record_.RemoteName : record_.RemoteName.mid(cut + 1);
}

void NETRESOURCE::InitFromRecord(const NetRecord& record) {
    record_ = record;
}

QString NETRESOURCE::TextFromPointer(const char* p) {
    // The whole name, whatever its length: a fixed copy buffer would cut long names.
    return p ? QString::fromLocal8Bit(p) : QString();
}

void NETRESOURCE::EnumerateChildren() {
    children_ = std::make_unique<NetResources>();
    if (!Enumerate(platform::RESOURCETYPE_DISK, 0, false))
        return;
    EnumeratePrinters();
    enumerated_ = true;
}

void NETRESOURCE::EnumeratePrinters() {
    Enumerate(platform::RESOURCETYPE_PRINT, platform::RESOURCEUSAGE_CONNECTABLE, true);
}

bool NETRESOURCE::Enumerate(DWORD type, DWORD usage, bool printers) {
    Names8 names{record_.LocalName.toLocal8Bit(), record_.RemoteName.toLocal8Bit(),
                 record_.Comment.toLocal8Bit(), record_.Provider.toLocal8Bit()};
    platform::NETRESOURCEA container;
    container.dwScope = record_.dwScope;
    container.dwType = record_.dwType;
    container.dwDisplayType = record_.dwDisplayType;
    container.dwUsage = record_.dwUsage;
    container.lpLocalName = Names8::Ptr(names.local);
    container.lpRemoteName = Names8::Ptr(names.remote);
    container.lpComment = Names8::Ptr(names.comment);
    container.lpProvider = Names8::Ptr(names.provider);

    platform::HANDLE handle = nullptr;
    if (net_.WNetOpenEnumA(platform::RESOURCE_GLOBALNET, type, usage, &container, &handle) !=
        platform::NO_ERROR)
        return false;

    DWORD size = FirstBufferSize;
    std::unique_ptr<char[]> buffer = Zero_Filled(size);
    DWORD count = 0;
    do {
        count = platform::ENUM_ALL_ENTRIES;
        DWORD inOutSize = size;
        const DWORD result = net_.WNetEnumResourceA(handle, &count, buffer.get(), &inOutSize);
        if (result == platform::ERROR_MORE_DATA) {
            // A platform asking for no more room than it has would keep the loop going forever.
            if (inOutSize <= size || inOutSize > LargestBuffer)
                break;
            size = inOutSize;
            buffer = Zero_Filled(size);
        } else if (result == platform::NO_ERROR) {
            const DWORD fits = size / sizeof(platform::NETRESOURCEA);
            const DWORD n = count < fits ? count : fits;
            for (DWORD i = 0; i < n; ++i) {
                platform::NETRESOURCEA raw;
                std::memcpy(&raw, buffer.get() + i * sizeof raw, sizeof raw);
                if (printers && raw.dwDisplayType != platform::RESOURCEDISPLAYTYPE_SHARE)
                    continue;
                NetRecord r;
                r.dwScope = raw.dwScope;
                r.dwType = raw.dwType;
                r.dwDisplayType = raw.dwDisplayType;
                r.dwUsage = raw.dwUsage;
                r.LocalName = Name_At(raw.lpLocalName, buffer.get(), size);
                r.RemoteName = Name_At(raw.lpRemoteName, buffer.get(), size);
                r.Comment = Name_At(raw.lpComment, buffer.get(), size);
                r.Provider = Name_At(raw.lpProvider, buffer.get(), size);
                auto child = std::make_unique<NETRESOURCE>(net_);
                child->InitFromRecord(r);
                child->SetPrinter(printers);
                children_->Add(std::move(child));
            }
        } else {
            // Any other result ends the enumeration, even from a platform that forgot to
            // clear the count.
            break;
        }
    } while (count != 0);
    net_.WNetCloseEnum(handle);
    return true;
}

NETRESOURCE* NetResources::Item(const QString& key) const {
    return byKey_.value(Fold(key));
}

NETRESOURCE* NetResources::Item(std::int32_t position) const {
    if (position < 1 || position > Count())
        return nullptr;
    return items_[static_cast<std::size_t>(position - 1)].get();
}

bool NetResources::Remove(const QString& key) {
    const QString folded = Fold(key);
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == folded)
            return Remove(static_cast<std::int32_t>(i + 1));
    return false;
}

bool NetResources::Remove(std::int32_t position) {
    if (position < 1 || position > Count())
        return false;
    const auto i = static_cast<std::size_t>(position - 1);
    byKey_.remove(keys_[i]);
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

std::vector<NETRESOURCE*> NetResources::NewEnum() const {
    std::vector<NETRESOURCE*> all;
    all.reserve(items_.size());
    for (const auto& item : items_)
        all.push_back(item.get());
    return all;
}

NETRESOURCE* NetResources::Add(std::unique_ptr<NETRESOURCE> resource) {
    if (!resource)
        return nullptr;
    const QString key = Fold(resource->RemoteName());
    if (byKey_.contains(key))
        return nullptr;
    NETRESOURCE* added = resource.get();
    byKey_.insert(key, added);
    keys_.push_back(key);
    items_.push_back(std::move(resource));
    return added;
}

}  // namespace browser
