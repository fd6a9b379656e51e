// The two guards of a disconnect, without servers: the record of the mounts Mapeo made, and
// the search of /proc for what the user's programs hold open.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/linux/mount_record.h"
#include "platform/linux/open_files.h"
#include "support/holder.h"
#include "support/support.h"

namespace {

using platform::mountrecord::Record;
using support::Holder;

class MountRecord : public testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            saved_ = old;
        ::setenv("XDG_RUNTIME_DIR", run_.Path().c_str(), 1);
    }
    void TearDown() override {
        if (saved_.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    }

    support::TempDir run_;
    std::string saved_;
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
    Record r;
    EXPECT_FALSE(r.Has("/run/gvfs/a"));
    EXPECT_TRUE(r.Has("/run/gvfs/b"));
    EXPECT_FALSE(r.Has("/run/gvfs/c")) << "a mount someone else made is not Mapeo's";
}

TEST_F(MountRecord, TwoMapeosWritingAtOnceKeepBothMounts) {
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        char c;
        if (::read(go[0], &c, 1) != 1)
            ::_exit(1);
        Record r;  // waits for the parent's
        r.Add("/run/gvfs/b");
        ::_exit(r.Save() ? 0 : 1);
    }
    {
        Record r;
        r.Add("/run/gvfs/a");
        ASSERT_EQ(::write(go[1], "g", 1), 1);
        ::usleep(200 * 1000);  // room for an unlocked child to read and write meanwhile
        ASSERT_TRUE(r.Save());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    Record r;
    EXPECT_TRUE(r.Has("/run/gvfs/a"));
    EXPECT_TRUE(r.Has("/run/gvfs/b"));
}

// While a password dialog is up another Mapeo connects; neither write is lost.
TEST_F(MountRecord, ReleasedForADialogItLetsOthersInAndKeepsWhatTheyWrote) {
    Record r;
    r.Add("/run/gvfs/a");
    r.Release();
    const pid_t child = ::fork();
    if (child == 0) {
        Record other;  // a record kept locked would hold this forever
        other.Add("/run/gvfs/b");
        ::_exit(other.Save() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    r.Reacquire();
    EXPECT_TRUE(r.Has("/run/gvfs/b"));
    r.Add("/run/gvfs/c");
    ASSERT_TRUE(r.Save());
    r.Release();
    const Record after;
    for (const char* root : {"/run/gvfs/a", "/run/gvfs/b", "/run/gvfs/c"})
        EXPECT_TRUE(after.Has(root)) << root;
}

TEST_F(MountRecord, WithoutARuntimeFolderNoMountIsTakenForMapeos) {
    ::setenv("XDG_RUNTIME_DIR", "relativo", 1);
    Record r;
    r.Add("/run/gvfs/a");
    EXPECT_FALSE(r.Has("/run/gvfs/a")) << "no later start could know it";
}

TEST(OpenFiles, FilesAndWorkingFoldersAreFoundAsTheKernelNamesThem) {
    support::TempDir t;
    ASSERT_EQ(::mkdir(t.Path("real").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(t.Path("real/share").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(t.Path("real/share/sub").c_str(), 0700), 0);
    t.Write("real/share/sub/doc.txt", "texto");
    // The mount's folder is reached through a link, as a runtime folder may be.
    ASSERT_EQ(::symlink(t.Path("real").c_str(), t.Path("alias").c_str()), 0);
    const std::string share = t.Path("alias/share");
    using platform::openfiles::InUse;
    using platform::openfiles::KernelPath;
    EXPECT_FALSE(InUse(KernelPath(share)));
    {
        Holder editor(share + "/sub/doc.txt", Holder::File);
        ASSERT_TRUE(editor.Holding());
        EXPECT_TRUE(InUse(KernelPath(share)));
        EXPECT_TRUE(InUse(KernelPath(share, "/sub")));
        EXPECT_FALSE(InUse(KernelPath(share, "/su"))) << "a name that merely begins alike";
    }
    EXPECT_FALSE(InUse(KernelPath(share)));
    Holder shell(share + "/sub", Holder::WorkingFolder);
    ASSERT_TRUE(shell.Holding());
    EXPECT_TRUE(InUse(KernelPath(share)));
}

}  // namespace
