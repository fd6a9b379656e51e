// A disconnect's two guards: the record of Mapeo's own mounts, and what programs hold open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>

#include "platform/linux/mount_record.h"
#include "platform/linux/open_files.h"
#include "support/holder.h"
#include "support/support.h"

namespace {

using platform::mountrecord::Record;
using support::Holder;

class MountRecord : public testing::Test {
protected:
    MountRecord() { qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(run_.Path())); }
    ~MountRecord() override {
        saved_.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", saved_);
    }
    // Another Mapeo, in a process of its own, that adds `root`.
    static bool Other(const char* root) {
        const pid_t child = ::fork();
        if (child == 0) {
            Record r;
            r.Add(root);
            ::_exit(r.Save() ? 0 : 1);
        }
        int status = -1;
        return ::waitpid(child, &status, 0) == child && status == 0;
    }

    const QByteArray saved_ = qgetenv("XDG_RUNTIME_DIR");
    support::TempDir run_;
};

TEST_F(MountRecord, OutlivesTheProcessAndForgetsMountsThatAreGone) {
    {
        Record r;
        r.Add("/run/gvfs/a");
        r.Add("/run/gvfs/b");
        ASSERT_TRUE(r.Save());
    }
    {
        Record r;
        EXPECT_TRUE(r.Has("/run/gvfs/a"));
        r.KeepOnly({"/run/gvfs/b", "/run/gvfs/c"});
        ASSERT_TRUE(r.Save());
    }
    const Record r;
    EXPECT_EQ(std::tuple(r.Has("/run/gvfs/a"), r.Has("/run/gvfs/b"), r.Has("/run/gvfs/c")),
              std::tuple(false, true, false))
        << "a mount someone else made is not Mapeo's";
}

// Another Mapeo goes ahead while a password dialog has the record released; no write is lost.
TEST_F(MountRecord, AnotherMapeoWritingAroundADialogKeepsEveryMount) {
    Record r;
    r.Release();
    EXPECT_TRUE(Other("/run/gvfs/c")) << "a record kept locked would hold it forever";
    r.Reacquire();
    r.Add("/run/gvfs/d");
    ASSERT_TRUE(r.Save());
    r.Release();
    const Record after;
    EXPECT_TRUE(after.Has("/run/gvfs/c") && after.Has("/run/gvfs/d"));
}

// A record held by another call is waited for only within the connect's bound.
TEST_F(MountRecord, AHeldLockIsWaitedForOnlyUntilTheBound) {
    Record holder;
    holder.Add("/run/gvfs/a");
    ASSERT_TRUE(holder.Save());
    Record late(platform::mountrecord::Clock::now() + std::chrono::milliseconds(100));
    EXPECT_TRUE(late.TimedOut());
    EXPECT_FALSE(late.Has("/run/gvfs/a")) << "nothing is decided without the lock";
}

TEST_F(MountRecord, WithoutAPrivateRuntimeFolderNoMountIsTakenForMapeos) {
    ::setenv("XDG_RUNTIME_DIR", "relativo", 1);
    Record r;
    r.Add("/run/gvfs/a");
    EXPECT_FALSE(r.Has("/run/gvfs/a")) << "no later start could know it";

    // A record in a folder others may write to, or behind a planted link, is not trusted.
    support::TempDir shared, elsewhere;
    ::setenv("XDG_RUNTIME_DIR", shared.Path().c_str(), 1);
    for (const bool link : {false, true}) {
        const std::string planted = link ? elsewhere.Path("mapeo") : shared.Path("mapeo");
        ASSERT_EQ(::mkdir(planted.c_str(), link ? 0700 : 0755), 0);
        ASSERT_EQ(::chmod(planted.c_str(), link ? 0700 : 0755), 0);
        ASSERT_TRUE(!link || ::symlink(planted.c_str(), shared.Path("mapeo").c_str()) == 0);
        (link ? elsewhere : shared).Write("mapeo/mounts", "/run/gvfs/a\n");
        EXPECT_FALSE(Record().Has("/run/gvfs/a")) << (link ? "a link" : "a folder for all");
        ::unlink(shared.Path(link ? "mapeo" : "mapeo/mounts").c_str());
        ::rmdir(shared.Path("mapeo").c_str());
    }
}

TEST(OpenFiles, FilesAndWorkingFoldersAreFoundAsTheKernelNamesThem) {
    support::TempDir t;
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(t.Path("real/share/sub"))));
    t.Write("real/share/sub/doc.txt", "texto");
    // The mount's folder is reached through a link, as a runtime folder may be.
    ASSERT_EQ(::symlink(t.Path("real").c_str(), t.Path("alias").c_str()), 0);
    const std::string share = t.Path("alias/share");
    using platform::openfiles::InUse;
    using platform::openfiles::KernelPath;
    EXPECT_FALSE(InUse(KernelPath(share)));
    {
        const Holder editor(share + "/sub/doc.txt", Holder::File);
        ASSERT_TRUE(editor.Holding());
        EXPECT_TRUE(InUse(KernelPath(share)));
        EXPECT_TRUE(InUse(KernelPath(share, "/sub")));
        EXPECT_FALSE(InUse(KernelPath(share, "/su"))) << "a name that merely begins alike";
    }
    EXPECT_FALSE(InUse(KernelPath(share)));
    {
        // Mapped, its descriptor closed, as a database or a library is held.
        const int fd = ::open((share + "/sub/doc.txt").c_str(), O_RDONLY);
        void* map = ::mmap(nullptr, 5, PROT_READ, MAP_SHARED, fd, 0);
        ::close(fd);
        ASSERT_NE(map, MAP_FAILED);
        EXPECT_TRUE(InUse(KernelPath(share)));
        ::munmap(map, 5);
    }
    const Holder shell(share + "/sub", Holder::WorkingFolder);
    ASSERT_TRUE(shell.Holding());
    EXPECT_TRUE(InUse(KernelPath(share)));
}

}  // namespace
