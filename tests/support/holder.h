#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace support {

// Another process of the user's that keeps a file open, or its working folder in a folder, as
// an editor or a terminal would, until this object goes. The child only makes system calls.
class Holder {
public:
    enum Kind { File, WorkingFolder };

    Holder(const std::string& path, Kind kind) {
        int up[2], down[2];
        if (::pipe(up) != 0 || ::pipe(down) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            // Nothing of the parent's but the pipes: an inherited lock would outlive the parent's.
            for (int other = 3; other < 1024; ++other) {
                if (other != up[1] && other != down[0])
                    ::close(other);
            }
            const int fd = kind == File ? ::open(path.c_str(), O_RDONLY) : -1;
            const bool ok = kind == File ? fd >= 0 : ::chdir(path.c_str()) == 0;
            Send(up[1], ok ? "y" : "n", 1);
            char command = 0;
            // Not end of file: a later holder's child keeps a copy of this pipe.
            while (::read(down[0], &command, 1) == 1 && command == 'r') {
                char buf[4096];  // 'r': the file as read now through the descriptor held
                const ssize_t n = fd >= 0 ? ::pread(fd, buf, sizeof buf, 0) : -1;
                const int len = n < 0 ? -1 : int(n);
                Send(up[1], &len, sizeof len);
                if (len > 0)
                    Send(up[1], buf, std::size_t(len));
            }
            ::_exit(0);
        }
        ::close(up[1]);
        ::close(down[0]);
        up_ = up[0];
        down_ = down[1];
        char ok = 0;
        holding_ = pid_ > 0 && Receive(&ok, 1) && ok == 'y';
    }
    ~Holder() {
        if (down_ >= 0) {
            Send(down_, "q", 1);
            ::close(down_);
        }
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
        if (up_ >= 0)
            ::close(up_);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool Holding() const { return holding_; }

    // What the held file reads now, or "<unreadable>".
    std::string ReadHeld() {
        int len = -1;
        std::string text;
        if (::write(down_, "r", 1) == 1 && Receive(&len, sizeof len) && len >= 0) {
            text.resize(std::size_t(len));
            if (!Receive(text.data(), text.size()))
                len = -1;
        }
        return len < 0 ? "<unreadable>" : text;
    }

private:
    static void Send(int fd, const void* data, std::size_t size) {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(fd, p, size);
            if (n <= 0)
                return;
            p += n;
            size -= std::size_t(n);
        }
    }
    bool Receive(void* data, std::size_t size) {
        char* p = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t n = ::read(up_, p, size);
            if (n <= 0)
                return false;
            p += n;
            size -= std::size_t(n);
        }
        return true;
    }

    pid_t pid_ = -1;
    int up_ = -1, down_ = -1;
    bool holding_ = false;
};

}  // namespace support
