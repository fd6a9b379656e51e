// Something held open, for the tests of the Linux back ends that must not take it away.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace support {

// A file held open, or a working folder, as the user's editor or terminal holds them.
class Holder {
public:
    enum Kind { File, WorkingFolder };
    Holder(const std::string& path, Kind kind)
        : fd_(::open(kind == File ? path.c_str() : ".", O_RDONLY | O_CLOEXEC)),
          moved_(kind == WorkingFolder && fd_ >= 0 && ::chdir(path.c_str()) == 0),
          holding_(kind == File ? fd_ >= 0 : moved_) {}
    ~Holder() {
        if (moved_ && ::fchdir(fd_) != 0)
            std::abort();
        ::close(fd_);
    }
    bool Holding() const { return holding_; }
    // What the held file reads now, or "<unreadable>".
    std::string ReadHeld() const {
        char buf[4096];
        const ssize_t n = ::pread(fd_, buf, sizeof buf, 0);
        return n < 0 ? "<unreadable>" : std::string(buf, std::size_t(n));
    }

private:
    const int fd_;
    const bool moved_, holding_;
};

}  // namespace support
