// GVfs mounts, CUPS queues and the start-up restore against connections_fixture.sh's servers.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QThread>

#include "drives/frmmain.h"
#include "drives/mappingfile.h"
#include "fakes/desktop.h"
#include "platform/filesystem.h"
#include "platform/profile.h"
#include "support/connections.h"
#include "support/holder.h"
#include "support/support.h"

namespace {

using platform::DWORD;
using support::Cancel;
using support::Connect;
using support::Link;
using support::Port;
using support::Read;

const QByteArray Hola = "hola desde el servidor\n";

bool IsLink(const QString& path) {
    struct stat st {};
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QString ShareMountDir() {
    return qEnvironmentVariable("XDG_RUNTIME_DIR") +
           QStringLiteral("/gvfs/smb-share:server=127.0.0.1,share=publico");
}

// Device URI of a CUPS queue, or "" when there is no such queue.
std::string QueueDevice(const char* queue) {
    cups_dest_t* dests = nullptr;
    const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::string uri;
    if (cups_dest_t* d = cupsGetDest(queue, nullptr, n, dests)) {
        const char* v = cupsGetOption("device-uri", d->num_options, d->options);
        uri = v ? v : "?";
    }
    cupsFreeDests(n, dests);
    return uri;
}

// Makes, replaces or deletes a queue as an administrator would, with lpadmin or the web pages.
void Administer(ipp_op_t op, const char* queue, const char* device = nullptr,
                const char* info = nullptr) {
    ipp_t* req = ippNewRequest(op);
    const std::string uri = std::string("ipp://localhost/printers/") + queue;
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    if (device) {
        ippAddString(req, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, device);
        ippAddString(req, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr, info);
    }
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, req, "/admin/"));
}

// Prints `text` on `queue` and waits for what reaches the Samba printer.
QByteArray PrintThrough(const char* queue, const QByteArray& text) {
    const QDir printed(qEnvironmentVariable("MAPEO_TEST_PRINTED"));
    for (const QString& name : printed.entryList(QDir::Files))
        QFile::remove(printed.filePath(name));
    support::TempDir job;
    job.Write("job.txt", text);
    if (cupsPrintFile2(CUPS_HTTP_DEFAULT, queue, job.Path("job.txt").c_str(), "prueba", 0,
                       nullptr) <= 0)
        return cupsLastErrorString();
    for (int i = 0; i < 300; ++i, QThread::msleep(100))  // generous: not a speed check
        for (const QString& name : printed.entryList(QDir::Files))
            if (const QByteArray arrived = Read(printed.filePath(name)); !arrived.isEmpty()) {
                cups_job_t* jobs = nullptr;  // and until the scheduler has done with the job
                for (int n; (n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue, 0,
                                              CUPS_WHICHJOBS_ACTIVE)) > 0;
                     QThread::msleep(100))
                    cupsFreeJobs(n, jobs);
                return arrived;
            }
    return {};
}

// Mapeo's start-up over the user's mapping file `ini` (none when null), on the real services.
struct StartUp {
    explicit StartUp(const char* ini) {
        const QString folder = qEnvironmentVariable("HOME") + QStringLiteral("/.config/mapeo");
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/MAPEO.INI"));
        file.remove();
        if (ini && file.open(QIODevice::WriteOnly))
            file.write(ini);
        file.close();
        window.Form_Load();
    }

    fakes::FakeWindowServices ui;
    fakes::FakeShell shell;
    drives::frmMain window{drives::MainServices{
        platform::SystemProfileFile(), platform::SystemFileSystem(),
        platform::SystemNetConnections(), shell, ui, drives::System_Mapping_Location()}};
};

class Connections : public testing::Test {
protected:
    void TearDown() override {
        for (const char* d : {"J:", "K:", "L:", "LPT1:", "LPT2:", "LPT3:"})
            Cancel(d, 1);
    }
};

TEST_F(Connections, ADriveLinksToTheShareAndItsFilesReadThroughIt) {
    ASSERT_EQ(Connect("J:", "\\\\127.0.0.1\\publico"), 0u);
    EXPECT_EQ(Read(Link("J:") + "/hola.txt"), Hola);

    // A folder of the same share, on another letter, shares the mount.
    ASSERT_EQ(Connect("k:", "\\\\127.0.0.1\\publico\\carpeta"), 0u);
    EXPECT_EQ(Read(Link("K:") + "/dentro.txt"), "dentro de la carpeta\n");

    // A folder that cannot hard-link, as GVfs's FUSE bridge, still gets the file's backup.
    const std::string cfg = (Link("J:") + "/cfg").toStdString();
    drives::MappingFile mapping(platform::SystemProfileFile(), platform::SystemFileSystem(),
                                {cfg, cfg + "/MAPEO.INI", cfg + "/MAPEO.BAK"});
    std::array<drives::MappingRow, drives::RowCount> rows{};
    for (const char* path : {"\\\\viejo\\a", "\\\\nuevo\\b"}) {
        rows[0].path = QString::fromLatin1(path);
        const platform::Status saved = mapping.SaveMappings(rows);
        ASSERT_TRUE(saved) << saved.reason;
    }
    const QString server = qEnvironmentVariable("MAPEO_TEST_SHARE") + "/cfg/MAPEO.";
    EXPECT_TRUE(Read(server + "BAK").contains("viejo"));
    EXPECT_TRUE(Read(server + "INI").contains("nuevo"));

    EXPECT_EQ(Cancel("J:"), 0u);
    EXPECT_FALSE(QFileInfo::exists(Link("J:")) || IsLink(Link("J:")));
    EXPECT_TRUE(QFileInfo::exists(ShareMountDir())) << "K: still uses the mount";
    EXPECT_EQ(Cancel("K:"), 0u);
    EXPECT_FALSE(IsLink(Link("K:")));
    EXPECT_FALSE(QFileInfo::exists(ShareMountDir())) << "the last user's cancel unmounts";
}

TEST_F(Connections, FailuresGiveTheCodesAnAdministratorKnowsAndLeaveNothingBehind) {
    const std::tuple<DWORD, const char*, const char*, DWORD> cases[] = {
        {platform::RESOURCETYPE_DISK, "J:", "\\\\127.0.0.1\\noexiste", 67},
        {platform::RESOURCETYPE_DISK, "J:", "\\\\127.0.0.1\\privado", 1326},
        {platform::RESOURCETYPE_DISK, "J:", "\\\\127.0.0.1\\publico\\cerrada", 5},
        {platform::RESOURCETYPE_DISK, "J:", "127.0.0.1\\publico", 67},
        {platform::RESOURCETYPE_DISK, "J:", "\\\\127.0.0.1\\publico\\..\\..\\etc", 67},
        // Addresses libsmbclient, GVfs or smbspool would read apart: another host or port.
        {platform::RESOURCETYPE_DISK, "J:", "\\\\127.0.0.1:445\\publico", 67},
        {platform::RESOURCETYPE_PRINT, "LPT1:", "\\\\127.0.0.1\\publico", 67},  // no printer
        {platform::RESOURCETYPE_PRINT, "J:", "\\\\127.0.0.1\\laser", 1200}};
    for (const auto& [type, device, path, code] : cases)
        EXPECT_EQ(Connect(device, path, type), code) << device << ' ' << path;
    EXPECT_EQ(Cancel("J:"), 2250u);
    EXPECT_FALSE(QFileInfo::exists(Link("J:")));
    EXPECT_EQ(QueueDevice("LPT1"), "");

    ASSERT_EQ(Connect("J:", "\\\\127.0.0.1\\publico"), 0u);
    EXPECT_EQ(Connect("J:", "\\\\127.0.0.1\\publico"), 0u) << "already there is no failure";
    EXPECT_EQ(Connect("j:", "\\\\127.0.0.1\\publico\\carpeta"), 85u);
    EXPECT_EQ(Read(Link("J:") + "/hola.txt"), Hola)
        << "a refused second connect leaves the first one working";
}

TEST_F(Connections, AServerThatNeverAnswersIsReportedWithinTheBound) {
    EXPECT_EQ(Connect("L:", "\\\\10.213.0.2\\publico"), 53u);
    EXPECT_EQ(Port("LPT2:", "\\\\10.213.0.2\\laser"), 53u);
    EXPECT_FALSE(IsLink(Link("L:")));
    EXPECT_EQ(QueueDevice("LPT2"), "");
}

TEST_F(Connections, OnlyLinksInTheDrivesFolderAreEverRemoved) {
    QDir().mkpath(QString::fromStdString(platform::DrivesFolder()));
    QFile own(Link("L:"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("a file of the user's");
    own.close();
    EXPECT_EQ(Cancel("L:"), 2250u);
    EXPECT_EQ(Connect("L:", "\\\\127.0.0.1\\publico"), 85u);
    EXPECT_EQ(Read(Link("L:")), "a file of the user's");
    QFile::remove(Link("L:"));
}

TEST_F(Connections, PortsBecomeQueuesWhoseJobsReachTheSambaPrinterWhateverTheirName) {
    ASSERT_EQ(Port("LPT1:", "\\\\127.0.0.1\\laser"), 0u);
    EXPECT_EQ(QueueDevice("LPT1"), "smb://127.0.0.1/laser");
    EXPECT_EQ(Port("LPT1:", "\\\\127.0.0.1\\otra"), 85u);
    cups_option_t hold{const_cast<char*>("job-hold-until"), const_cast<char*>("indefinite")};
    const int held = cupsCreateJob(CUPS_HTTP_DEFAULT, "LPT1", "retenido", 1, &hold);
    ASSERT_GT(held, 0) << cupsLastErrorString();
    EXPECT_EQ(Cancel("LPT1:"), 2401u) << "its held job would go with it";
    cupsCancelJob2(CUPS_HTTP_DEFAULT, "LPT1", held, 1);
    EXPECT_EQ(PrintThrough("LPT1", "Prueba de impresion de Mapeo\n"),
              "Prueba de impresion de Mapeo\n");
    EXPECT_EQ(Cancel("LPT1:"), 0u);
    EXPECT_EQ(QueueDevice("LPT1"), "");
    // Made while SERVIDOR was reached at the address it announced, unknown to this process.
    const std::string mark =
        "LPT1: \\\\SERVIDOR\\laser (Mapeo, uid " + std::to_string(::getuid()) + ")";
    Administer(IPP_OP_CUPS_ADD_MODIFY_PRINTER, "LPT1", "smb://127.0.0.1/laser", mark.c_str());
    EXPECT_EQ(Cancel("LPT1:"), 0u);

    // Names that reach the server only when every smb:// address encodes them alike.
    ASSERT_EQ(Connect("L:", "\\\\127.0.0.1\\datos #1 @ 100%"), 0u);
    EXPECT_EQ(Read(Link("L:") + "/hola.txt"), Hola);
    ASSERT_EQ(Port("LPT3:", "\\\\127.0.0.1\\láser #2"), 0u);
    EXPECT_EQ(QueueDevice("LPT3"), "smb://127.0.0.1/l%C3%A1ser%20%232");
    EXPECT_EQ(PrintThrough("LPT3", "Segunda impresora\n"), "Segunda impresora\n");
}

TEST_F(Connections, StartUpRestoresTheRowsStoredAsConnected) {
    // A connection left over from the last session is dropped by the start-up cancel.
    ASSERT_EQ(Connect("K:", "\\\\127.0.0.1\\publico"), 0u);
    StartUp start(
        "[UNIDADES]\r\n"
        "UNIDAD1=\\\\127.0.0.1\\publico\r\nLETRA1=J:\r\nMAPEAR1=1\r\n"
        "UNIDAD2=\\\\127.0.0.1\\publico\\carpeta\r\nLETRA2=K:\r\nMAPEAR2=0\r\n"
        "UNIDAD10=\\\\127.0.0.1\\laser\r\nLETRA10=LPT1:\r\nMAPEAR10=1\r\n");
    EXPECT_EQ(start.ui.messages.size(), 2u);
    EXPECT_EQ(Read(Link("J:") + "/hola.txt"), Hola);
    EXPECT_FALSE(IsLink(Link("K:")));
    EXPECT_EQ(QueueDevice("LPT1"), "smb://127.0.0.1/laser");
}

TEST_F(Connections, AnAdministratorsTableRestoresTheDrivesOfAUserWithoutOne) {
    support::TempDir etc;
    const QByteArray table =
        "[UNIDADES]\r\nUNIDAD1=\\\\127.0.0.1\\publico\r\nLETRA1=J:\r\nMAPEAR1=1\r\n";
    platform::SystemFileSystem().MakeFolder(etc.Path("xdg/mapeo"));
    etc.Write("xdg/mapeo/MAPEO.INI", table);
    qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(etc.Path("none") + ':' + etc.Path("xdg")));
    StartUp start(nullptr);
    qunsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(Read(Link("J:") + "/hola.txt"), Hola);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(platform::MappingFilePath())));
    EXPECT_EQ(etc.Read("xdg/mapeo/MAPEO.INI"), table);
}

TEST_F(Connections, AFileOpenThroughTheDriveKeepsItUnlessForcedAndAtStartUp) {
    ASSERT_EQ(Connect("J:", "\\\\127.0.0.1\\publico"), 0u);
    {
        const support::Holder editor((Link("J:") + "/hola.txt").toStdString(),
                                     support::Holder::File);
        ASSERT_TRUE(editor.Holding());
        EXPECT_EQ(Cancel("J:"), 2401u);
        EXPECT_TRUE(IsLink(Link("J:")));
        EXPECT_EQ(editor.ReadHeld(), Hola.toStdString());

        // The load's cancel is refused; connecting the row finds the drive where it belongs.
        StartUp start("[UNIDADES]\r\nUNIDAD1=\\\\127.0.0.1\\publico\r\nLETRA1=J:\r\nMAPEAR1=1\r\n");
        EXPECT_EQ(start.window.Check1[0]->Value(), 1);
        EXPECT_EQ(editor.ReadHeld(), Hola.toStdString());

        EXPECT_EQ(Cancel("J:", 1), 0u) << "forced, it goes ahead";
    }
    EXPECT_FALSE(IsLink(Link("J:")));
    EXPECT_FALSE(QFileInfo::exists(ShareMountDir()));
}

TEST_F(Connections, AShareTheUserMountedStaysMountedAfterTheDriveGoes) {
    QProcess gio;
    gio.start("gio", {"mount", "--anonymous", "smb://127.0.0.1/publico"});
    ASSERT_TRUE(gio.waitForFinished(30000) && gio.exitCode() == 0);
    // GVfs's FUSE bridge shows a new mount a moment later.
    for (int i = 0; i < 200 && !QFileInfo::exists(ShareMountDir()); ++i)
        QThread::msleep(50);
    ASSERT_EQ(Connect("J:", "\\\\127.0.0.1\\publico"), 0u);
    EXPECT_EQ(Cancel("J:"), 0u);
    EXPECT_FALSE(IsLink(Link("J:")));
    EXPECT_EQ(Read(ShareMountDir() + "/hola.txt"), Hola);
    gio.start("gio", {"mount", "--unmount", "smb://127.0.0.1/publico"});
    gio.waitForFinished(30000);
}

TEST_F(Connections, AnAdministratorsQueuesNamedLikePortsAreNeverDeleted) {
    Administer(IPP_OP_CUPS_ADD_MODIFY_PRINTER, "LPT1", "smb://127.0.0.1/laser",
               "Impresora de contabilidad");
    // Mapeo's own description, but its device changed by hand since.
    const std::string mine = " (Mapeo, uid " + std::to_string(::getuid()) + ")";
    Administer(IPP_OP_CUPS_ADD_MODIFY_PRINTER, "LPT2", "smb://127.0.0.1/otra",
               ("LPT2: \\\\127.0.0.1\\laser" + mine).c_str());
    // Another user's, whose jobs would go with it; an old mark names no user.
    for (const char* mark :
         {"LPT3: \\\\127.0.0.1\\laser (Mapeo, uid 4321)", "LPT3: \\\\127.0.0.1\\laser (Mapeo)"}) {
        Administer(IPP_OP_CUPS_ADD_MODIFY_PRINTER, "LPT3", "smb://127.0.0.1/laser", mark);
        EXPECT_EQ(Cancel("LPT3:"), 2250u) << mark;
        EXPECT_EQ(Port("LPT3:", "\\\\127.0.0.1\\laser"), 85u) << mark;
    }
    EXPECT_EQ(QueueDevice("LPT3"), "smb://127.0.0.1/laser");
    Administer(IPP_OP_CUPS_DELETE_PRINTER, "LPT3");
    ASSERT_EQ(QueueDevice("LPT1"), "smb://127.0.0.1/laser");
    EXPECT_EQ(Cancel("LPT1:"), 2250u);
    EXPECT_EQ(Cancel("LPT2:"), 2250u);
    EXPECT_EQ(Port("LPT1:", "\\\\127.0.0.1\\laser"), 85u);
    StartUp start(
        "[UNIDADES]\r\n"
        "UNIDAD10=\\\\127.0.0.1\\laser\r\nLETRA10=LPT1:\r\nMAPEAR10=0\r\n"
        "UNIDAD11=\\\\127.0.0.1\\laser\r\nLETRA11=LPT2:\r\nMAPEAR11=0\r\n");
    EXPECT_EQ(QueueDevice("LPT1"), "smb://127.0.0.1/laser");
    EXPECT_EQ(QueueDevice("LPT2"), "smb://127.0.0.1/otra");
    Administer(IPP_OP_CUPS_DELETE_PRINTER, "LPT1");
    Administer(IPP_OP_CUPS_DELETE_PRINTER, "LPT2");
}

// Run by the fixture as an ordinary user on a terminal, whom CUPS would ask for a password.
TEST(Unprivileged, APortWithoutRightsToCupsIsRefusedWithoutAskingOnTheTerminal) {
    if (qEnvironmentVariableIsEmpty("MAPEO_TEST_UNPRIVILEGED"))
        GTEST_SKIP() << "needs the fixture's run as another user";
    EXPECT_EQ(Port("LPT1:", "\\\\127.0.0.1\\laser"), 5u);
}

}  // namespace
