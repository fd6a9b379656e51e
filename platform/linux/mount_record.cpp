#include "platform/linux/mount_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>
#include <vector>

namespace platform::mountrecord {
namespace {

// The runtime folder goes with the session, as GVfs mounts do. Mapeo's folder in it must be
// the user's own and private: where XDG_RUNTIME_DIR is a shared folder (/tmp after su), another
// user could otherwise plant a record naming the user's own mounts, or a link to one.
std::string RecordFolder() {
    const char* run = std::getenv("XDG_RUNTIME_DIR");
    if (!run || run[0] != '/')
        return {};
    const std::string folder = std::string(run) + "/mapeo";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {};
    const bool own = ::fstat(fd, &st) == 0 && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
    ::close(fd);
    return own ? folder : std::string();
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

}  // namespace

Record::Record(Clock::time_point until) : folder_(RecordFolder()) {
    if (folder_.empty())
        return;
    lock_ =
        ::open((folder_ + "/mounts.lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (Lock(until))
        Load();
}

bool Record::Lock(Clock::time_point until) {
    if (lock_ < 0)
        return false;
    for (;;) {
        if (::flock(lock_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            timedOut_ = false;
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            ::close(lock_);
            lock_ = -1;
            return false;
        }
        if (Clock::now() >= until) {
            timedOut_ = true;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void Record::Load() {
    roots_.clear();
    changed_ = false;
    const int fd = ::open((folder_ + "/mounts").c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    std::string text;
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf.data(), std::size_t(n));
    }
    ::close(fd);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start && text[start] == '/')
            roots_.insert(text.substr(start, end - start));
        start = end + 1;
    }
}

void Record::Release() {
    if (!held_)
        return;
    Save();
    ::flock(lock_, LOCK_UN);
    held_ = false;
}

void Record::Reacquire(Clock::time_point until) {
    if (!held_ && Lock(until))
        Load();
    else if (!held_)
        roots_.clear();  // not Mapeo's to decide on without the lock
}

Record::~Record() {
    if (lock_ >= 0)
        ::close(lock_);  // releases the lock
}

void Record::Add(const std::string& root) {
    // One root a line: a root that cannot be written so is simply never taken for Mapeo's.
    if (!held_ || root.empty() || root[0] != '/' || root.find('\n') != std::string::npos)
        return;
    changed_ = roots_.insert(root).second || changed_;
}

void Record::Remove(const std::string& root) {
    changed_ = roots_.erase(root) != 0 || changed_;
}

void Record::KeepOnly(const std::set<std::string>& mounted) {
    for (auto it = roots_.begin(); it != roots_.end();) {
        if (mounted.count(*it)) {
            ++it;
        } else {
            it = roots_.erase(it);
            changed_ = true;
        }
    }
}

bool Record::Save() {
    if (!changed_)
        return true;
    if (!held_)
        return false;
    std::string text;
    for (const std::string& root : roots_)
        text += root + '\n';
    std::string temp = folder_ + "/mounts.XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written ||
        ::rename(temp.c_str(), (folder_ + "/mounts").c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    changed_ = false;
    return true;
}

}  // namespace platform::mountrecord
