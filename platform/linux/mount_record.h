// The GVfs mounts Mapeo made itself, by local root, kept in $XDG_RUNTIME_DIR/mapeo/mounts so
// that a later start, or another Mapeo of the same session, knows them. Only those are ever
// unmounted: a share the user mounted is the user's.
#pragma once

#include <set>
#include <string>

namespace platform::mountrecord {

// Holds the record's lock for as long as it lives: a connect or a disconnect reads, decides,
// acts and writes under it, so one Mapeo never unmounts a mount another is linking to.
// Without a usable runtime folder it holds nothing and knows no mount: nothing is unmounted.
class Record {
public:
    Record();  // waits for the lock
    ~Record();
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    bool Has(const std::string& root) const { return roots_.count(root) != 0; }
    void Add(const std::string& root);
    void Remove(const std::string& root);
    // Forgets the mounts that are gone, so that the user's own later mount of the same share is
    // not taken for Mapeo's.
    void KeepOnly(const std::set<std::string>& mounted);
    // Replaces the file at once (never half written) when something changed; false when it
    // could not be written.
    bool Save();

    // Around a wait for the user (a password dialog): saves and lets go of the lock, then
    // takes it again and reads the record afresh, as another Mapeo may have changed it.
    void Release();
    void Reacquire();

private:
    bool Lock();
    void Load();

    std::string folder_;
    int lock_ = -1;
    bool changed_ = false;
    std::set<std::string> roots_;
};

}  // namespace platform::mountrecord
