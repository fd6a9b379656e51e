// Drive letters on Linux: the share is mounted in user space by GVfs as the user (GVfs tries
// the Kerberos ticket and the keyring itself; Mapeo answers its questions with guest and then
// the dialog) and ~/Unidades/J: becomes a link to the mount's local path.
#include <dirent.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/linux/discovery_hosts.h"
#include "platform/linux/glib_loop.h"
#include "platform/linux/mount_record.h"
#include "platform/linux/netbackends.h"
#include "platform/linux/open_files.h"
#include "platform/linux/smb_auth.h"
#include "platform/linux/smb_uri.h"
#include "platform/paths.h"

namespace platform::netbackends {
namespace {

template <typename T>
struct GUnref {
    void operator()(T* p) const {
        if (p)
            g_object_unref(p);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GUnref<T>>;

// GIO keeps what it knows of the session's mounts up to date from D-Bus signals, delivered
// on the main context that was current when it first looked. All GIO work therefore happens
// on one thread of its own whose context always runs; callers wait for it, within a bound.
class GioThread {
public:
    using Clock = std::chrono::steady_clock;

    static GioThread& Instance() {
        static GioThread* thread = new GioThread;  // lives as long as the process
        return *thread;
    }

    // Runs `job` on the GIO thread and returns its result, or the job's late result (`late`
    // unless it said otherwise) when it takes longer than `ms`; a late job is told so through
    // its `abandoned` flag and cleans up itself. Meanwhile this thread runs what the job hands
    // it through OnCaller, and time spent with the user does not count against `ms`.
    DWORD Call(std::function<DWORD(const std::atomic<bool>& abandoned)> job, int ms, DWORD late) {
        auto task = std::make_shared<Task>();
        task->job = std::move(job);
        task->late = late;
        task->deadline = Clock::now() + std::chrono::milliseconds(ms);
        auto* ref = new std::shared_ptr<Task>(task);
        g_main_context_invoke_full(
            context_, G_PRIORITY_DEFAULT,
            [](gpointer data) -> gboolean {
                Task& t = **static_cast<std::shared_ptr<Task>*>(data);
                current_ = &t;
                const DWORD r = t.job(t.abandoned);
                current_ = nullptr;
                std::lock_guard lock(t.mutex);
                t.result = r;
                t.done = true;
                t.changed.notify_all();
                return G_SOURCE_REMOVE;
            },
            ref, [](gpointer data) { delete static_cast<std::shared_ptr<Task>*>(data); });
        std::unique_lock lock(task->mutex);
        for (;;) {
            if (task->done)
                return task->result;
            if (const std::function<void()>* work = std::exchange(task->handed, nullptr)) {
                lock.unlock();
                const auto started = Clock::now();
                (*work)();
                const auto spent = Clock::now() - started;
                lock.lock();
                if (task->userTime)
                    task->deadline += spent;
                task->handedDone = true;
                task->changed.notify_all();
                continue;
            }
            if (task->changed.wait_until(lock, task->deadline) == std::cv_status::timeout &&
                !task->done && !task->handed) {
                task->abandoned = true;
                return task->late;
            }
        }
    }

    // From a job on the GIO thread: runs `work` on the thread waiting in Call and returns
    // once it has run. When that thread has given up waiting, nothing runs. `userTime`: the
    // work waits for the user (a dialog, the keyring's own password), and its time extends
    // the bound; otherwise it is the job's own (a call to the server) and counts.
    static void OnCaller(const std::function<void()>& work, bool userTime = true) {
        Task* t = current_;
        if (!t)
            return;
        std::unique_lock lock(t->mutex);
        if (t->abandoned)
            return;
        t->handed = &work;
        t->userTime = userTime;
        t->handedDone = false;
        t->changed.notify_all();
        t->changed.wait(lock, [t] { return t->handedDone; });
    }

    // From a job on the GIO thread: when its caller gives up waiting, as extended so far.
    static Clock::time_point Deadline() {
        Task* t = current_;
        if (!t)
            return Clock::now();
        const std::lock_guard lock(t->mutex);
        return t->deadline;
    }

    // From a job on the GIO thread: what its caller answers if it gives up from now on.
    static void SetLate(DWORD late) {
        if (Task* t = current_) {
            const std::lock_guard lock(t->mutex);
            t->late = late;
        }
    }

private:
    struct Task {
        std::function<DWORD(const std::atomic<bool>&)> job;
        std::atomic<bool> abandoned{false};
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        DWORD result = NO_ERROR;
        DWORD late = NO_ERROR;
        Clock::time_point deadline;
        const std::function<void()>* handed = nullptr;
        bool userTime = true;
        bool handedDone = false;
    };
    static inline thread_local Task* current_ = nullptr;

    GioThread() : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
        std::thread([this] {
            g_main_context_push_thread_default(context_);
            g_main_loop_run(loop_);
        }).detach();
    }

    GMainContext* context_;
    GMainLoop* loop_;
};

// One asynchronous GIO call waited for on the GIO thread, whose context keeps running
// meanwhile. A call that outlives its bound is cancelled.
class BoundedCall {
public:
    BoundedCall() : context_(g_main_context_get_thread_default()), cancel_(g_cancellable_new()) {}
    ~BoundedCall() { g_object_unref(cancel_); }
    BoundedCall(const BoundedCall&) = delete;
    BoundedCall& operator=(const BoundedCall&) = delete;

    GCancellable* cancellable() const { return cancel_; }

    // Iterates until `done` is set; after `ms` (plus the time in `paused`, spent waiting for
    // the user) the call is cancelled and given one more second to wind down. Returns false
    // when the bound was reached.
    bool Wait(const bool& done, int ms, const gint64* paused = nullptr) {
        const gint64 start = g_get_monotonic_time() + gint64(ms) * 1000;
        auto deadline = [&] { return start + (paused ? *paused : 0); };
        while (!done && g_get_monotonic_time() < deadline())
            glibloop::Iterate(context_, deadline(), 100);
        if (done)
            return true;
        g_cancellable_cancel(cancel_);
        const gint64 grace = g_get_monotonic_time() + 1000 * 1000;
        while (!done && g_get_monotonic_time() < grace)
            glibloop::Iterate(context_, grace, 100);
        return false;
    }

private:
    GMainContext* context_;
    GCancellable* cancel_;
};

// Outlives a call that never calls back after its cancel; it is then simply not freed.
struct MountState {
    MountState(const netpath::UncPath& path, const std::string& host, mountrecord::Record& held)
        : server(path.server),
          share(path.share),
          announced(discovery::Redirected(path.server, host)),
          identities(SystemCredentials(), path.server, path.share, false, false,
                     announced ? host : std::string()),
          record(&held) {}

    bool done = false;
    GError* error = nullptr;
    std::string server, share;
    // Reached at a host only an announcement led to: nothing saved under the name goes there
    // (GVfs itself looks only for what was saved under that host), and nothing typed there
    // is saved.
    bool announced;
    // GVfs offers the ticket and the keyring's password itself before it asks.
    identity::Sequence identities;
    // Let go of while the dialog is up, so that no other connect or disconnect waits for the
    // user; null once the mount has been given up on.
    mountrecord::Record* record;
    NetCredential offered;  // the last typed password, kept to learn why it was refused
    DWORD code = NO_ERROR;  // why the questions ended without an identity the server took
    gint64 pausedUs = 0;    // time spent in the dialog, which no bound counts
    const gint64 startedUs = g_get_monotonic_time();

    // Runs `work` with the user (the dialog, the keyring's own password) on the caller's
    // thread, the mount record let go of meanwhile.
    void WithUser(const std::function<void()>& work) {
        if (record)
            record->Release();
        GioThread::OnCaller(work);
        if (record)
            record->Reacquire(GioThread::Deadline());
    }
};

// libsmbclient has no locks of its own here (this Samba's library does not provide
// smbc_thread_posix) and the window's thread uses it for the browser and the printer check:
// what the GIO thread asks of it runs there too, within the bound of the caller's wait.
// The server has just answered GVfs, so a live one answers again in milliseconds: `capMs`
// keeps a dead one from doubling the wait.
template <typename Work>
void OnCallerWithLibsmbclient(int capMs, const Work& work) {
    using std::chrono::milliseconds;
    const auto left =
        std::chrono::duration_cast<milliseconds>(GioThread::Deadline() - GioThread::Clock::now());
    const long long ms = std::min<long long>(left.count() - 500, capMs);
    if (ms >= 500)
        GioThread::OnCaller([&] { work(int(ms)); }, false);
}

// Why the server refused the password just typed (locked, disabled, expired account), when
// it says so.
DWORD WhyRefused(const MountState& st) {
    DWORD why = NO_ERROR;
    OnCallerWithLibsmbclient(ServerTimeoutMs, [&](int ms) {
        why = smbauth::WhyRefused(st.server, st.share, st.offered, ms);
    });
    return why;
}

// The server refused a password: when it says why, the dialog is not shown again.
void LearnWhyRefused(MountState* st) {
    if (st->identities.Last() != identity::Source::Typed)
        return;
    if (const DWORD why = WhyRefused(*st))
        st->identities.Stop(why);
}

void OnAskPassword(GMountOperation* op, const char*, const char*, const char* domain,
                   GAskPasswordFlags flags, gpointer data) {
    auto* st = static_cast<MountState*>(data);
    LearnWhyRefused(st);
    const gint64 asked = g_get_monotonic_time();
    identity::Offer offer;
    const auto onCaller = [st](const std::function<void()>& work) { st->WithUser(work); };
    const bool more = st->identities.Next(flags & G_ASK_PASSWORD_ANONYMOUS_SUPPORTED,
                                          domain ? domain : "", onCaller, &offer);
    st->pausedUs += g_get_monotonic_time() - asked;
    st->offered = {};
    if (!more) {
        st->code = st->identities.Code();
        g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
        return;
    }
    if (offer.source == identity::Source::Guest) {
        g_mount_operation_set_anonymous(op, TRUE);
        g_mount_operation_reply(op, G_MOUNT_OPERATION_HANDLED);
        return;
    }
    g_mount_operation_set_anonymous(op, FALSE);
    g_mount_operation_set_username(op, offer.cred.user.c_str());
    if (!offer.cred.domain.empty())
        g_mount_operation_set_domain(op, offer.cred.domain.c_str());
    g_mount_operation_set_password(op, offer.cred.password.c_str());
    // GVfs saves it in the keyring itself, and only once the server has taken it.
    const bool gvfsSaves =
        offer.save && !st->announced && (flags & G_ASK_PASSWORD_SAVING_SUPPORTED);
    g_mount_operation_set_password_save(
        op, gvfsSaves ? G_PASSWORD_SAVE_PERMANENTLY : G_PASSWORD_SAVE_NEVER);
    g_mount_operation_reply(op, G_MOUNT_OPERATION_HANDLED);
    // The reply has carried the password to GVfs: the operation's copy goes.
    if (const char* kept = g_mount_operation_get_password(op))
        WipeMemory(const_cast<char*>(kept), std::strlen(kept));
    g_mount_operation_set_password(op, "");
    st->offered = std::move(offer.cred);
}

void OnAskQuestion(GMountOperation* op, const char*, const char**, gpointer) {
    g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
}

// GVfs tells most failures only in its message, in the session's language: the server is
// asked again through libsmbclient, as the identity GVfs offered last (the one typed, guest,
// or GVfs's own: the ticket, its keyring entry, guest), until one gets past the logon.
DWORD WhyMountFailed(MountState& st) {
    using identity::Source;
    // GVfs gives up on a server that does not answer after a time-out of that length: asking
    // it once more would only double the wait.
    const gint64 tookUs = g_get_monotonic_time() - st.startedUs - st.pausedUs;
    if (tookUs >= gint64(ServerTimeoutMs - 500) * 1000)
        return ERROR_BAD_NETPATH;
    std::vector<Source> tries;
    if (st.identities.Last() == Source::Typed || st.identities.Last() == Source::Guest) {
        tries = {st.identities.Last()};
    } else {
        // No ticket or saved password goes to an announced address (see identity.h).
        if (!st.announced && SystemCredentials().HasTicket())
            tries.push_back(Source::Ticket);
        if (!st.announced)
            tries.push_back(Source::Saved);
        tries.push_back(Source::Guest);
    }
    smbauth::Probe probe{EIO, NO_ERROR};
    for (const Source source : tries) {
        NetCredential saved;
        if (source == Source::Saved) {
            st.WithUser([&] { SystemCredentials().Store().CredReadA(st.server, saved); });
            if (saved.user.empty())
                continue;
        }
        const NetCredential& cred = source == Source::Typed ? st.offered : saved;
        OnCallerWithLibsmbclient(2000, [&](int ms) {
            probe = smbauth::ProbeShare(st.server, st.share, source, cred, ms);
        });
        if (probe.error != EACCES && probe.error != EPERM)
            break;
    }
    if (probe.reason != NO_ERROR)
        return probe.reason;  // a locked, disabled or expired account
    switch (probe.error) {
        case ENOENT:
        case ENODEV:
        case ENOTDIR:
            return ERROR_BAD_NET_NAME;
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_BAD_NETPATH;
    }
}

DWORD MountError(MountState& st) {
    if (st.code != NO_ERROR)
        return st.code;
    const GError* e = st.error;
    if (!e)
        return ERROR_BAD_NETPATH;
    if (e->domain == G_IO_ERROR) {
        switch (e->code) {
            case G_IO_ERROR_ALREADY_MOUNTED:
                return NO_ERROR;  // by someone else: see Mount
            case G_IO_ERROR_NOT_SUPPORTED:
            case G_IO_ERROR_DBUS_ERROR:
                return ERROR_NO_NETWORK;
            case G_IO_ERROR_PERMISSION_DENIED:
                return ERROR_ACCESS_DENIED;
            case G_IO_ERROR_FAILED_HANDLED:
                return ERROR_LOGON_FAILURE;
            case G_IO_ERROR_NOT_FOUND:
                return ERROR_BAD_NET_NAME;
            case G_IO_ERROR_HOST_NOT_FOUND:
            case G_IO_ERROR_HOST_UNREACHABLE:
            case G_IO_ERROR_NETWORK_UNREACHABLE:
            case G_IO_ERROR_CONNECTION_REFUSED:
            case G_IO_ERROR_TIMED_OUT:
            case G_IO_ERROR_CANCELLED:
                return ERROR_BAD_NETPATH;
            default:
                break;
        }
    }
    if (e->domain == G_DBUS_ERROR)
        return ERROR_NO_NETWORK;
    return WhyMountFailed(st);
}

// `made` tells whether this call mounted the share; "already mounted" is someone else's mount.
DWORD Mount(GFile* share, const netpath::UncPath& path, const std::string& host,
            mountrecord::Record& record, bool* made) {
    *made = false;
    auto* st = new MountState(path, host, record);
    BoundedCall call;
    GPtr<GMountOperation> op(g_mount_operation_new());
    g_signal_connect(op.get(), "ask-password", G_CALLBACK(OnAskPassword), st);
    g_signal_connect(op.get(), "ask-question", G_CALLBACK(OnAskQuestion), st);
    g_file_mount_enclosing_volume(
        share, G_MOUNT_MOUNT_NONE, op.get(), call.cancellable(),
        [](GObject* source, GAsyncResult* res, gpointer data) {
            auto* s = static_cast<MountState*>(data);
            g_file_mount_enclosing_volume_finish(G_FILE(source), res, &s->error);
            s->done = true;
        },
        st);
    if (!call.Wait(st->done, MountTimeoutMs - 1000, &st->pausedUs)) {
        g_signal_handlers_disconnect_by_data(op.get(), st);
        st->offered = {};
        st->record = nullptr;
        if (!st->done)
            return ERROR_BAD_NETPATH;  // state left to the abandoned call
    }
    const DWORD r = st->error ? MountError(*st) : NO_ERROR;
    *made = !st->error;
    if (r == NO_ERROR)  // GVfs saved what the user asked it to keep
        st->identities.Accepted(
            false, [](const std::function<void()>& work) { GioThread::OnCaller(work); });
    if (st->error)
        g_error_free(st->error);
    delete st;
    return r;
}

// The local roots of the session's GVfs mounts.
std::set<std::string> MountedRoots() {
    GVolumeMonitor* monitor = g_volume_monitor_get();
    GList* mounts = g_volume_monitor_get_mounts(monitor);
    std::set<std::string> roots;
    for (GList* l = mounts; l; l = l->next) {
        GPtr<GFile> root(g_mount_get_root(G_MOUNT(l->data)));
        if (char* p = g_file_get_path(root.get())) {
            roots.insert(p);
            g_free(p);
        }
    }
    g_list_free_full(mounts, g_object_unref);
    g_object_unref(monitor);
    return roots;
}

// The root, among `roots`, of the mount that holds `path`; "" when none does.
std::string MountRootOf(const std::string& path, const std::set<std::string>& roots) {
    std::string best;
    for (const std::string& r : roots) {
        if ((path == r || path.rfind(r + "/", 0) == 0) && r.size() > best.size())
            best = r;
    }
    return best;
}

// GVfs's FUSE bridge learns of a new mount a moment after GVfs reports it: until then the
// mount's folder is missing, and right after an unmount and a new mount of the same share it
// answers EIO for a second or so. A folder counts as there once it really lists.
// Returns 0 or the errno of the last attempt.
int ListFolder(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return errno;
    errno = 0;
    while (::readdir(dir)) {
    }
    const int error = errno;
    ::closedir(dir);
    return error;
}

int ProbeFolder(const std::string& root, const std::string& path) {
    const gint64 deadline = g_get_monotonic_time() + 4 * G_USEC_PER_SEC;
    for (;;) {
        int error = ListFolder(root);
        if (error == 0 && path != root)
            error = ListFolder(path);
        const bool settling =
            error == EIO || (error == ENOENT && ::access(root.c_str(), F_OK) != 0);
        if (!settling || g_get_monotonic_time() > deadline)
            return error;
        g_main_context_iteration(g_main_context_get_thread_default(), FALSE);
        g_usleep(50 * 1000);
    }
}

std::string LinkPath(const std::string& drive) {
    return DrivesFolder() + "/" + drive;
}

std::string ReadLink(const std::string& link) {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink(link.c_str(), buf.data(), buf.size() - 1);
    return n > 0 ? std::string(buf.data(), std::size_t(n)) : std::string();
}

// True when a drive link other than `except` points into the mount rooted at `root`.
bool OtherLinkUses(const std::string& root, const std::string& except) {
    const QDir dir(QString::fromStdString(DrivesFolder()));
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const std::string link = DrivesFolder() + "/" + name.toStdString();
        if (link == except)
            continue;
        const std::string target = ReadLink(link);
        if (target == root || target.rfind(root + "/", 0) == 0)
            return true;
    }
    return false;
}

// True once the mount is gone.
bool Unmount(const std::string& root) {
    GVolumeMonitor* monitor = g_volume_monitor_get();
    GList* mounts = g_volume_monitor_get_mounts(monitor);
    GMount* target = nullptr;
    for (GList* l = mounts; l && !target; l = l->next) {
        GPtr<GFile> r(g_mount_get_root(G_MOUNT(l->data)));
        char* p = g_file_get_path(r.get());
        if (p && root == p)
            target = G_MOUNT(g_object_ref(l->data));
        g_free(p);
    }
    g_list_free_full(mounts, g_object_unref);
    g_object_unref(monitor);
    if (!target)
        return true;
    auto* done = new bool(false);
    {
        BoundedCall call;
        g_mount_unmount_with_operation(
            target, G_MOUNT_UNMOUNT_NONE, nullptr, call.cancellable(),
            [](GObject* source, GAsyncResult* res, gpointer data) {
                g_mount_unmount_with_operation_finish(G_MOUNT(source), res, nullptr);
                *static_cast<bool*>(data) = true;
            },
            done);
        if (!call.Wait(*done, ServerTimeoutMs)) {
            g_object_unref(target);
            return false;  // `done` stays with the abandoned call
        }
    }
    delete done;
    g_object_unref(target);
    return !MountedRoots().count(root);
}

// True when `link` already points where connecting `share` (+ `folder`) would point it.
bool LinksTo(const std::string& link, GFile* share, const std::string& folder) {
    char* local = g_file_get_path(share);  // nothing when the share is not mounted
    if (!local)
        return false;
    const std::string target = folder.empty() ? local : std::string(local) + "/" + folder;
    g_free(local);
    return ReadLink(link) == target;
}

DWORD ConnectOnGioThread(mountrecord::Record& record, const std::string& drive,
                         const netpath::UncPath& path, const std::string& uri,
                         const std::string& host, const std::atomic<bool>& abandoned) {
    record.KeepOnly(MountedRoots());
    const std::string link = LinkPath(drive);
    GPtr<GFile> share(g_file_new_for_uri(uri.c_str()));
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        // At start-up a drive whose cancel was refused for open files is connected again to
        // the same place: that is no failure.
        const bool same = S_ISLNK(st.st_mode) && LinksTo(link, share.get(), path.folder);
        record.Save();
        return same ? NO_ERROR : ERROR_ALREADY_ASSIGNED;
    }

    bool made = false;
    const DWORD r = Mount(share.get(), path, host, record, &made);
    if (r != NO_ERROR) {
        record.Save();
        return r;
    }
    char* local = g_file_get_path(share.get());
    if (!local)
        return ERROR_NO_NETWORK;  // GVfs without its FUSE bridge
    const std::string root(local);
    g_free(local);
    if (made) {
        record.Add(root);
        record.Save();
    }
    // Only a mount this very call made is taken back; no link can be using it yet.
    const auto fail = [&](DWORD code) {
        if (made && Unmount(root))
            record.Remove(root);
        record.Save();
        return code;
    };

    const std::string target = path.folder.empty() ? root : root + "/" + path.folder;
    if (const int error = ProbeFolder(root, target); error != 0) {
        return fail(error == EACCES || error == EPERM ? ERROR_ACCESS_DENIED
                    : error == EIO                    ? ERROR_BAD_NETPATH
                                                      : ERROR_BAD_NET_NAME);
    }
    // The caller gave up waiting and told the user it failed: leave nothing behind.
    if (abandoned)
        return fail(ERROR_BAD_NETPATH);
    if (!QDir().mkpath(QString::fromStdString(DrivesFolder())))
        return fail(ERROR_ACCESS_DENIED);
    if (::symlink(target.c_str(), link.c_str()) != 0)
        return fail(errno == EEXIST ? ERROR_ALREADY_ASSIGNED : ERROR_ACCESS_DENIED);
    record.Save();
    return NO_ERROR;
}

DWORD CancelOnGioThread(mountrecord::Record& record, const std::string& drive, bool force) {
    const std::set<std::string> mounted = MountedRoots();
    record.KeepOnly(mounted);
    const std::string link = LinkPath(drive);
    struct stat st {};
    // Only links are ours: a file or folder someone put there is left alone.
    if (::lstat(link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        record.Save();
        return ERROR_NOT_CONNECTED;
    }
    const std::string target = ReadLink(link);
    const std::string root = MountRootOf(target, mounted);
    // Only a mount Mapeo made goes, and only with its last link.
    const bool unmount = !root.empty() && record.Has(root) && !OtherLinkUses(root, link);
    // What the cancel takes away: the whole mount, or the folder the link shows. A link into
    // a mount that is gone holds nothing open.
    if (!force && !root.empty() &&
        openfiles::InUse(
            openfiles::KernelPath(root, unmount ? std::string() : target.substr(root.size())))) {
        record.Save();
        return ERROR_OPEN_FILES;
    }
    if (::unlink(link.c_str()) != 0) {
        record.Save();
        return ERROR_ACCESS_DENIED;
    }
    GioThread::SetLate(NO_ERROR);
    if (unmount && Unmount(root))
        record.Remove(root);
    record.Save();
    return NO_ERROR;
}

}  // namespace

DWORD ConnectDrive(const std::string& drive, const netpath::UncPath& path) {
    const auto uri = smburi::ShareUri(path.server, path.share);
    if (!uri)
        return ERROR_BAD_NET_NAME;
    return GioThread::Instance().Call(
        [drive, path, uri = *uri,
         host = discovery::SmbHostFor(path.server)](const std::atomic<bool>& abandoned) {
            // Taken here, not by the caller, so that no wait for it (another Mapeo's call, a
            // job of ours the caller gave up on) ever holds the window; let go before the
            // caller hears the result, so that a process forked later does not inherit it.
            mountrecord::Record record(GioThread::Deadline());
            if (record.TimedOut())
                return ERROR_BAD_NETPATH;
            return ConnectOnGioThread(record, drive, path, uri, host, abandoned);
        },
        MountTimeoutMs + 1500, ERROR_BAD_NETPATH);
}

DWORD CancelDrive(const std::string& drive, bool force) {
    struct stat st {};
    // Nothing to decide for a device without a link, as most rows are at start-up.
    if (::lstat(LinkPath(drive).c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return ERROR_NOT_CONNECTED;
    // A cancel that outlives its wait has happened only once its link is gone (the unmount
    // may still be under way); before that nothing may be promised.
    return GioThread::Instance().Call(
        [drive, force](const std::atomic<bool>&) {
            mountrecord::Record record(GioThread::Deadline());
            if (record.TimedOut())
                return ERROR_BAD_NETPATH;
            return CancelOnGioThread(record, drive, force);
        },
        ServerTimeoutMs + 1500, ERROR_BAD_NETPATH);
}

}  // namespace platform::netbackends
