// The GVfs mounts Mapeo made itself, by local root, kept in $XDG_RUNTIME_DIR/mapeo/mounts so
// that a later start, or another Mapeo of the same session, knows them. Only those are ever
// unmounted: a share the user mounted is the user's.
#pragma once

#include <chrono>
#include <set>
#include <string>

namespace platform::mountrecord {

using Clock = std::chrono::steady_clock;

// Holds the record's lock for as long as it lives: a connect or a disconnect reads, decides,
// acts and writes under it, so one Mapeo never unmounts a mount another is linking to.
// Without a usable runtime folder it holds nothing and knows no mount: nothing is unmounted.
class Record {
public:
    // Waits for the lock until `until`, without ever blocking in the system call: another Mapeo
    // may hold it for as long as its own call is bounded. TimedOut() tells it was not had.
    explicit Record(Clock::time_point until = Clock::time_point::max());
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

    // Around a wait for the user (a password dialog, the keyring's own password): saves and
    // lets go of the lock, then takes it again, waiting until `until`, and reads the record
    // afresh, as another Mapeo may have changed it. Until it is had again nothing is recorded.
    void Release();
    void Reacquire(Clock::time_point until = Clock::time_point::max());

    // Another Mapeo held the lock past the bound; nothing was read and nothing will be written.
    bool TimedOut() const { return timedOut_; }

private:
    bool Lock(Clock::time_point until);
    void Load();

    std::string folder_;
    int lock_ = -1;
    bool held_ = false;
    bool timedOut_ = false;
    bool changed_ = false;
    std::set<std::string> roots_;
};

}  // namespace platform::mountrecord
