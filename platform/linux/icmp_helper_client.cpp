// Starting and stopping the echo helper from Mapeo.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/linux/icmp_helper.h"

namespace platform::icmp::helper {
namespace {

constexpr int HelloWaitMs = 5000;

// Function statics: a test may name its helper while statics are still being set up.
std::mutex& PathMutex() {
    static std::mutex m;
    return m;
}
std::string& NamedPath() {
    static std::string path;
    return path;
}

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    std::string p(path, std::size_t(n));
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? "." : p.substr(0, slash);
}

}  // namespace

void SetHelperPath(std::string path) {
    std::lock_guard lock(PathMutex());
    NamedPath() = std::move(path);
}

std::string HelperPath() {
    {
        std::lock_guard lock(PathMutex());
        if (!NamedPath().empty())
            return NamedPath();
    }
    // Beside the program in a build tree; /usr/bin/mapeo → /usr/libexec/mapeo/mapeo-echo.
    const std::string folder = ProgramFolder();
    const std::string beside = folder + "/mapeo-echo";
    if (::access(beside.c_str(), X_OK) == 0)
        return beside;
    std::string prefix = folder + "/..";
    if (char* real = ::realpath(prefix.c_str(), nullptr)) {
        prefix = real;
        std::free(real);
    }
    return (prefix == "/" ? std::string() : prefix) + "/libexec/mapeo/mapeo-echo";
}

bool Start(const std::string& path, Process& out, int& error) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        error = errno;
        return false;
    }
    // The child's end must not already be fd 3: a dup2 onto itself keeps close-on-exec.
    const int child = ::fcntl(pair[1], F_DUPFD_CLOEXEC, ChannelFd + 1);
    ::close(pair[1]);
    if (child < 0) {
        error = errno;
        ::close(pair[0]);
        return false;
    }
    posix_spawn_file_actions_t files;
    ::posix_spawn_file_actions_init(&files);
    ::posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&files, 1, 2);
    ::posix_spawn_file_actions_adddup2(&files, child, ChannelFd);
    ::posix_spawn_file_actions_addclosefrom_np(&files, ChannelFd + 1);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char name[] = "mapeo-echo";
    char* argv[] = {name, nullptr};
    char* envp[] = {nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, path.c_str(), &files, &attributes, argv, envp);
    ::posix_spawn_file_actions_destroy(&files);
    ::posix_spawnattr_destroy(&attributes);
    ::close(child);
    if (spawned != 0) {
        ::close(pair[0]);
        error = spawned;
        return false;
    }
    out = {pid, pair[0]};

    Hello hello;
    hello.error = EPROTO;
    pollfd p{out.fd, POLLIN, 0};
    const timespec wait{HelloWaitMs / 1000, 0};
    int ready;
    do
        ready = ::ppoll(&p, 1, &wait, nullptr);
    while (ready < 0 && errno == EINTR);
    Hello got;
    if (ready > 0 && ::recv(out.fd, &got, sizeof got, MSG_DONTWAIT) == sizeof got &&
        got.version == Version)
        hello = got;
    if (hello.error != 0) {
        // A helper that cannot run leaves nothing behind.
        Stop(out);
        error = hello.error;
        return false;
    }
    ::fcntl(out.fd, F_SETFL, ::fcntl(out.fd, F_GETFL) | O_NONBLOCK);
    return true;
}

void Stop(Process& p) {
    if (p.fd >= 0)
        ::close(p.fd);
    p.fd = -1;
    if (p.pid <= 0)
        return;
    // The closed pair ends the helper at once; one that does not go is ended.
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(p.pid, nullptr, WNOHANG) != 0) {
            p.pid = -1;
            return;
        }
        const timespec ms{0, 1000000};
        ::nanosleep(&ms, nullptr);
    }
    ::kill(p.pid, SIGKILL);
    while (::waitpid(p.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    p.pid = -1;
}

}  // namespace platform::icmp::helper
