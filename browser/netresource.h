// One resource of the network neighbourhood and the resources inside it, enumerated once,
// on first demand, and kept for the object's lifetime.
#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/netenum.h"

namespace browser {

class NetResources;

// What the platform reported for one resource, with its names as text.
struct NetRecord {
    platform::DWORD dwScope = 0;
    platform::DWORD dwType = 0;
    platform::DWORD dwDisplayType = 0;
    platform::DWORD dwUsage = 0;
    QString LocalName;
    QString RemoteName;
    QString Comment;
    QString Provider;
};

inline constexpr std::int32_t PrinterResourceType = 255;

class NETRESOURCE {
public:
    // A new object stands for the whole network until InitFromRecord gives it a record.
    explicit NETRESOURCE(platform::NetEnumeration& net);
    ~NETRESOURCE();
    NETRESOURCE(const NETRESOURCE&) = delete;
    NETRESOURCE& operator=(const NETRESOURCE&) = delete;

    // Enumerates on the first call that finds the object not yet enumerated.
    NetResources& Children();
    QString Comment() const { return record_.Comment; }
    QString LocalName() const { return record_.LocalName; }
    QString Provider() const { return record_.Provider; }
    QString RemoteName() const { return record_.RemoteName; }
    // 255 for a printer, else the display type.
    std::int32_t ResourceType() const;
    QString ResourceTypeName() const;
    // The remote name after its last backslash.
    QString ShortName() const;

    void InitFromRecord(const NetRecord& record);
    void SetPrinter(bool printer) { printer_ = printer; }
    bool Enumerated() const { return enumerated_; }

    // A name of any length, whole; "" for null.
    static QString TextFromPointer(const char* p);

private:
    void EnumerateChildren();
    void EnumeratePrinters();
    // Runs one open-enumerate-close round into children_; false when the open failed.
    bool Enumerate(platform::DWORD type, platform::DWORD usage, bool printers);

    platform::NetEnumeration& net_;
    NetRecord record_;
    bool enumerated_ = false;
    bool printer_ = false;
    std::unique_ptr<NetResources> children_;
};

// Resources in the order they were added, each under its remote name; keys compare without
// regard to letter case, positions count from 1.
class NetResources {
public:
    class Iterator {
    public:
        using Inner = std::vector<std::unique_ptr<NETRESOURCE>>::const_iterator;
        explicit Iterator(Inner it) : it_(it) {}
        NETRESOURCE& operator*() const { return **it_; }
        NETRESOURCE* operator->() const { return it_->get(); }
        Iterator& operator++() {
            ++it_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return it_ == other.it_; }
        bool operator!=(const Iterator& other) const { return it_ != other.it_; }

    private:
        Inner it_;
    };

    NETRESOURCE* Item(const QString& key) const;
    NETRESOURCE* Item(std::int32_t position) const;
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
    // False, changing nothing, for a key or position that holds nothing.
    bool Remove(const QString& key);
    bool Remove(std::int32_t position);

    // Collection order; what every walk over the children uses.
    Iterator begin() const { return Iterator(items_.begin()); }
    Iterator end() const { return Iterator(items_.end()); }
    std::vector<NETRESOURCE*> NewEnum() const;

    // Stores the object under its remote name as it is now. A name already present keeps
    // the object stored first: the new one is dropped and null returned.
    NETRESOURCE* Add(std::unique_ptr<NETRESOURCE> resource);

private:
    static QString Fold(const QString& key) { return key.toCaseFolded(); }

    std::vector<std::unique_ptr<NETRESOURCE>> items_;
    std::vector<QString> keys_;  // folded, beside items_
    QHash<QString, NETRESOURCE*> byKey_;
};

}  // namespace browser
