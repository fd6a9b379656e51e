#include "platform/linux/discovery.h"

#include <libsmbclient.h>

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/linux/discovery_dnssd.h"
#include "platform/linux/discovery_hosts.h"
#include "platform/linux/discovery_wsd.h"

namespace platform::discovery {
namespace {

using smbenum::Entry;

// The workers get a little less than the window waits, to hand their answers over in time.
constexpr std::chrono::milliseconds WorkerMargin{50};

std::string GroupOf(const Neighbourhood& n, const Found& f) {
    return f.group.empty() ? n.localWorkgroup : f.group;
}

bool Listed(const std::vector<Entry>& listing, Entry::Kind kind, std::string_view name) {
    return std::any_of(listing.begin(), listing.end(),
                       [&](const Entry& e) { return e.kind == kind && SameName(e.name, name); });
}

void SortByName(std::vector<Entry>& added) {
    std::sort(added.begin(), added.end(), [](const Entry& a, const Entry& b) {
        return QString::compare(QString::fromStdString(a.name), QString::fromStdString(b.name),
                                Qt::CaseInsensitive) < 0;
    });
}

// Both workers' answers, handed over once each; the window stops waiting at the deadline
// whether or not they have come.
struct Answers {
    std::mutex mutex;
    std::condition_variable arrived;
    int pending = 2;
    std::vector<Found> wsDiscovery;
    std::vector<Found> dnsSd;
};

// The rounds' workers. The window does not wait for a worker past its deadline, but a worker
// uses Qt's event loops and network access, which must not outlive the application object: the
// workers still running are joined when it goes (or at exit without one). Each is bounded by
// its round's deadline, bar a system bus that does not answer.
class Workers {
public:
    static Workers& Instance() {
        static Workers workers;
        return workers;
    }
    ~Workers() { JoinAll(); }

    void Start(std::function<void()> work) {
        const std::lock_guard lock(mutex_);
        if (!routineAdded_) {
            qAddPostRoutine([] { Instance().JoinAll(); });
            routineAdded_ = true;
        }
        // Those that have ended are let go, so that the list stays short.
        std::erase_if(running_, [](Worker& w) {
            if (!*w.done)
                return false;
            w.thread.join();
            return true;
        });
        auto done = std::make_shared<std::atomic<bool>>(false);
        running_.push_back({std::thread([work = std::move(work), done] {
                                work();
                                *done = true;
                            }),
                            done});
    }

    void JoinAll() {
        std::vector<Worker> all;
        {
            const std::lock_guard lock(mutex_);
            all.swap(running_);
        }
        for (Worker& w : all)
            w.thread.join();
    }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex mutex_;
    std::vector<Worker> running_;
    bool routineAdded_ = false;
};

// The last round, kept for the workgroup level below the provider that ran it.
struct LastRound {
    std::mutex mutex;
    std::optional<Neighbourhood> round;
};

LastRound& Last() {
    static LastRound last;
    return last;
}

}  // namespace

bool UsableName(std::string_view name, std::size_t maxBytes) {
    if (name.empty() || name.size() > maxBytes || name == "." || name == ".." ||
        name.front() == ' ' || name.back() == ' ')
        return false;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f || std::strchr("\\/|:*?\"<>", ch))
            return false;
    }
    const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    return text.toUtf8() == QByteArray(name.data(), static_cast<qsizetype>(name.size()));
}

bool SameName(std::string_view a, std::string_view b) {
    return QString::compare(QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())),
                            QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())),
                            Qt::CaseInsensitive) == 0;
}

std::vector<Found> Combine(const std::vector<Found>& wsDiscovery, const std::vector<Found>& dnsSd) {
    std::vector<Found> out;
    for (const std::vector<Found>* source : {&wsDiscovery, &dnsSd}) {
        for (const Found& f : *source) {
            if (!UsableName(f.name, MaxServerNameBytes) ||
                (!f.group.empty() && !UsableName(f.group, MaxGroupNameBytes)))
                continue;
            const auto same = std::find_if(
                out.begin(), out.end(), [&](const Found& o) { return SameName(o.name, f.name); });
            if (same != out.end()) {
                if (!f.address.empty())
                    same->address = f.address;
            } else if (out.size() < MaxServers) {
                out.push_back(f);
            }
        }
    }
    return out;
}

void AddWorkgroups(const Neighbourhood& n, std::vector<Entry>& listing) {
    std::vector<Entry> added;
    for (const Found& f : n.servers) {
        const std::string group = GroupOf(n, f);
        if (!Listed(listing, Entry::Workgroup, group) && !Listed(added, Entry::Workgroup, group))
            added.push_back({Entry::Workgroup, group, {}});
    }
    SortByName(added);
    listing.insert(listing.end(), added.begin(), added.end());
}

void AddServers(const Neighbourhood& n, std::string_view workgroup, std::vector<Entry>& listing) {
    std::vector<Entry> added;
    for (const Found& f : n.servers)
        if (SameName(GroupOf(n, f), workgroup) && !Listed(listing, Entry::Server, f.name))
            added.push_back({Entry::Server, f.name, {}});
    SortByName(added);
    listing.insert(listing.end(), added.begin(), added.end());
}

bool Smb1MayList(const Neighbourhood& n, std::string_view workgroup) {
    return n.smb1Answered &&
           std::any_of(n.smb1Workgroups.begin(), n.smb1Workgroups.end(),
                       [&](const std::string& g) { return SameName(g, workgroup); });
}

std::string LocalWorkgroup() {
    // libsmbclient reads the same configuration files as every other Samba client here
    // (~/.smb/smb.conf, else /etc/samba/smb.conf) and defaults as Samba does.
    std::string group;
    if (SMBCCTX* ctx = smbc_new_context()) {
        smbc_setDebug(ctx, 0);
        if (smbc_init_context(ctx)) {
            if (const char* g = smbc_getWorkgroup(ctx))
                group = g;
        }
        smbc_free_context(ctx, 1);
    }
    return UsableName(group, MaxGroupNameBytes) ? group : std::string("WORKGROUP");
}

int ListWorkgroups(const Lister& smb1, std::vector<Entry>& entries) {
    const Clock::time_point started = Clock::now();
    const Clock::time_point workerDeadline = started + AnswerWait - WorkerMargin;
    auto answers = std::make_shared<Answers>();
    // A worker that overruns (a system bus that never answers) finishes on its own and hands
    // its answer to nobody.
    Workers::Instance().Start([answers, workerDeadline] {
        std::vector<Found> found = wsd::Discover(workerDeadline);
        const std::lock_guard lock(answers->mutex);
        answers->wsDiscovery = std::move(found);
        --answers->pending;
        answers->arrived.notify_all();
    });
    Workers::Instance().Start([answers, workerDeadline] {
        std::vector<Found> found = dnssd::Browse(workerDeadline);
        const std::lock_guard lock(answers->mutex);
        answers->dnsSd = std::move(found);
        --answers->pending;
        answers->arrived.notify_all();
    });

    const int e = smb1(entries);
    if (e != 0)
        entries.clear();

    Neighbourhood n;
    n.localWorkgroup = LocalWorkgroup();
    n.smb1Answered = e == 0;
    for (const Entry& entry : entries)
        if (entry.kind == Entry::Workgroup)
            n.smb1Workgroups.push_back(entry.name);
    {
        std::unique_lock lock(answers->mutex);
        answers->arrived.wait_until(lock, started + AnswerWait,
                                    [&] { return answers->pending == 0; });
        n.servers = Combine(answers->wsDiscovery, answers->dnsSd);
    }
    for (const Found& f : n.servers)
        if (!f.address.empty())
            RememberAddress(f.name, f.address);
    AddWorkgroups(n, entries);
    {
        const std::lock_guard lock(Last().mutex);
        Last().round = std::move(n);
    }
    return e != 0 && entries.empty() ? e : 0;
}

int ListServers(std::string_view workgroup, const Lister& smb1, std::vector<Entry>& entries) {
    std::optional<Neighbourhood> n;
    {
        const std::lock_guard lock(Last().mutex);
        n = Last().round;
    }
    int e = ENOENT;
    entries.clear();
    if (!n || Smb1MayList(*n, workgroup))
        e = smb1(entries);
    if (e != 0)
        entries.clear();
    for (const Entry& entry : entries)
        if (entry.kind == Entry::Server)
            ShownByBrowsing(entry.name);
    if (n)
        AddServers(*n, workgroup, entries);
    return e != 0 && entries.empty() ? e : 0;
}

}  // namespace platform::discovery
