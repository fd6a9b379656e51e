// Real connections: GVfs mounts, CUPS queues and the whole start-up restore, against the
// servers that connections_fixture.sh starts in this test's own namespaces.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cstdlib>
#include <string>
#include <vector>

#include "drives/frmmain.h"
#include "drives/mappingfile.h"
#include "fakes/desktop.h"
#include "platform/filesystem.h"
#include "platform/networking.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "support/holder.h"
#include "support/support.h"

namespace {

using platform::DWORD;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

DWORD Connect(DWORD type, const char* device, const char* path) {
    platform::NETRESOURCEA r;
    r.dwScope = platform::RESOURCE_GLOBALNET;
    r.dwType = type;
    r.dwDisplayType = platform::RESOURCEDISPLAYTYPE_SHARE;
    r.dwUsage = platform::RESOURCEUSAGE_CONNECTABLE;
    std::string local(device), remote(path);
    r.lpLocalName = local.data();
    r.lpRemoteName = remote.data();
    return platform::SystemNetConnections().WNetAddConnection2A(&r, nullptr, nullptr, 1);
}

DWORD ConnectDrive(const char* device, const char* path) {
    return Connect(platform::RESOURCETYPE_DISK, device, path);
}
DWORD ConnectPort(const char* device, const char* path) {
    return Connect(platform::RESOURCETYPE_PRINT, device, path);
}
DWORD Cancel(const char* device, int force = 0) {
    return platform::SystemNetConnections().WNetCancelConnection2A(device, 1, force);
}

QString Link(const char* drive) {
    return QString::fromStdString(platform::DrivesFolder()) + u'/' + QLatin1String(drive);
}

QByteArray ReadThrough(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool IsLink(const QString& path) {
    struct stat st {};
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QString ShareMountDir() {
    return QString::fromStdString(Env("XDG_RUNTIME_DIR")) +
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

// Makes or replaces a queue as an administrator would, with lpadmin or the web pages.
void AddQueue(const char* queue, const char* device, const char* info) {
    ipp_t* req = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    const std::string uri = std::string("ipp://localhost/printers/") + queue;
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(req, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, device);
    ippAddString(req, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr, info);
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, req, "/admin/"));
}

void DeleteQueue(const char* queue) {
    ipp_t* req = ippNewRequest(IPP_OP_CUPS_DELETE_PRINTER);
    const std::string uri = std::string("ipp://localhost/printers/") + queue;
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, req, "/admin/"));
}

// Prints `text` on `queue` and waits for what reaches the Samba printer.
QByteArray PrintThrough(const char* queue, const QByteArray& text) {
    const QDir printed(QString::fromStdString(Env("MAPEO_TEST_PRINTED")));
    for (const QString& name : printed.entryList(QDir::Files))
        QFile::remove(printed.filePath(name));
    const QString job = QDir::temp().filePath(QStringLiteral("mapeo-job.txt"));
    QFile f(job);
    if (!f.open(QIODevice::WriteOnly))
        return "<no job file>";
    f.write(text);
    f.close();
    const int id = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue, job.toLocal8Bit().constData(), "prueba",
                                  0, nullptr);
    QFile::remove(job);
    if (id <= 0)
        return cupsLastErrorString();
    QByteArray arrived;
    for (int i = 0; i < 300 && arrived.isEmpty(); ++i) {  // generous: not a speed check
        for (const QString& name : printed.entryList(QDir::Files))
            arrived = ReadThrough(printed.filePath(name));
        if (arrived.isEmpty())
            QThread::msleep(100);
    }
    return arrived;
}

// Mapeo's start-up over the user's mapping file `ini` (none when null), on the real services.
struct StartUp {
    explicit StartUp(const char* ini) {
        const std::string folder = Env("HOME") + "/.config/mapeo";
        QFile file(QString::fromStdString(folder + "/MAPEO.INI"));
        file.remove();
        platform::SystemFileSystem().MakeFolder(folder);
        if (ini && file.open(QIODevice::WriteOnly))
            file.write(ini);
        file.close();
        window.Form_Load();
    }
    std::vector<QString> Messages() const {
        std::vector<QString> texts;
        for (const auto& m : ui.messages)
            texts.push_back(m.text);
        return texts;
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
    ASSERT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\publico"), 0u);
    EXPECT_TRUE(IsLink(Link("J:")));
    EXPECT_EQ(ReadThrough(Link("J:") + "/hola.txt"), "hola desde el servidor\n");

    // A folder of the same share, on another letter, shares the mount.
    ASSERT_EQ(ConnectDrive("k:", "\\\\127.0.0.1\\publico\\carpeta"), 0u);
    EXPECT_EQ(ReadThrough(Link("K:") + "/dentro.txt"), "dentro de la carpeta\n");

    // Writing through the link reaches the server's folder.
    QFile out(Link("J:") + "/nuevo.txt");
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("escrito");
    out.close();
    EXPECT_EQ(ReadThrough(QString::fromStdString(Env("MAPEO_TEST_SHARE")) + "/nuevo.txt"),
              "escrito");

    // A home that cannot hard-link, as GVfs's FUSE bridge cannot, still gets its backup.
    const std::string cfg = (Link("J:") + "/cfg").toStdString();
    drives::MappingFile mapping(platform::SystemProfileFile(), platform::SystemFileSystem(),
                                {cfg, cfg + "/MAPEO.INI", cfg + "/MAPEO.BAK"});
    std::array<drives::MappingRow, drives::RowCount> rows{};
    for (const char* path : {"\\\\viejo\\a", "\\\\nuevo\\b"}) {
        rows[0].path = QString::fromLatin1(path);
        const platform::Status saved = mapping.SaveMappings(rows);
        ASSERT_TRUE(saved) << saved.reason;
    }
    EXPECT_TRUE(ReadThrough(QString::fromStdString(cfg + "/MAPEO.BAK")).contains("viejo"));
    EXPECT_TRUE(ReadThrough(QString::fromStdString(cfg + "/MAPEO.INI")).contains("nuevo"));

    EXPECT_EQ(Cancel("J:"), 0u);
    EXPECT_FALSE(QFileInfo::exists(Link("J:")) || IsLink(Link("J:")));
    EXPECT_TRUE(QFileInfo::exists(ShareMountDir())) << "K: still uses the mount";
    EXPECT_EQ(Cancel("K:"), 0u);
    EXPECT_FALSE(IsLink(Link("K:")));
    EXPECT_FALSE(QFileInfo::exists(ShareMountDir())) << "the last user's cancel unmounts";
}

TEST_F(Connections, FailuresGiveTheCodesAnAdministratorKnows) {
    EXPECT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\noexiste"), 67u);
    EXPECT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\publico\\noexiste"), 67u);
    EXPECT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\privado"), 1326u);
    EXPECT_EQ(ConnectDrive("JJ:", "\\\\127.0.0.1\\publico"), 1200u);
    EXPECT_EQ(ConnectDrive(" J:", "\\\\127.0.0.1\\publico"), 1200u);
    EXPECT_EQ(ConnectDrive("LPT1:", "\\\\127.0.0.1\\publico"), 1200u);
    EXPECT_EQ(ConnectDrive("J:", "127.0.0.1\\publico"), 67u);
    EXPECT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\publico\\..\\..\\etc"), 67u);
    EXPECT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\pub\tlico"), 67u);
    EXPECT_EQ(Cancel("J:"), 2250u);
    EXPECT_EQ(Cancel("no es un dispositivo"), 1200u);
    EXPECT_FALSE(QFileInfo::exists(Link("J:")));

    // Names whose address libsmbclient, GVfs or smbspool would read apart.
    EXPECT_EQ(ConnectDrive("J:", "\\\\127.0.0.1:445\\publico"), 67u);
    EXPECT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\._publico"), 67u);

    ASSERT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\publico"), 0u);
    EXPECT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\publico"), 0u) << "already there is no failure";
    EXPECT_EQ(ConnectDrive("j:", "\\\\127.0.0.1\\publico\\carpeta"), 85u);
    EXPECT_EQ(ReadThrough(Link("J:") + "/hola.txt"), "hola desde el servidor\n")
        << "a refused second connect leaves the first one working";
}

TEST_F(Connections, AServerThatNeverAnswersIsReportedWithinTheBound) {
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(ConnectDrive("L:", "\\\\10.213.0.2\\publico"), 53u);
    EXPECT_EQ(ConnectPort("LPT2:", "\\\\10.213.0.2\\laser"), 53u);
    std::printf("unreachable server: both connects answered in %lld ms\n",
                static_cast<long long>(t.elapsed()));
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
    EXPECT_EQ(ConnectDrive("L:", "\\\\127.0.0.1\\publico"), 85u);
    EXPECT_EQ(ReadThrough(Link("L:")), "a file of the user's");
    QFile::remove(Link("L:"));
}

TEST_F(Connections, APortBecomesAQueueWhoseJobsReachTheSambaPrinter) {
    ASSERT_EQ(ConnectPort("LPT1:", "\\\\127.0.0.1\\laser"), 0u);
    EXPECT_EQ(QueueDevice("LPT1"), "smb://127.0.0.1/laser");
    EXPECT_EQ(ConnectPort("lpt1:", "\\\\127.0.0.1\\laser"), 85u);

    EXPECT_EQ(PrintThrough("LPT1", "Prueba de impresion de Mapeo\n"),
              "Prueba de impresion de Mapeo\n");

    EXPECT_EQ(Cancel("LPT1:"), 0u);
    EXPECT_EQ(QueueDevice("LPT1"), "");
    EXPECT_EQ(Cancel("LPT1:"), 2250u);
}

TEST_F(Connections, APortToSomethingThatIsNoPrinterIsRefused) {
    EXPECT_EQ(ConnectPort("LPT1:", "\\\\127.0.0.1\\noexiste"), 67u);
    EXPECT_EQ(ConnectPort("LPT1:", "\\\\127.0.0.1\\publico"), 67u);
    EXPECT_EQ(ConnectPort("LPT1:", "\\\\127.0.0.1\\laser\\carpeta"), 67u);
    // The check would ask host "127.0.0.1:445" and smbspool print to port 445 of 127.0.0.1.
    EXPECT_EQ(ConnectPort("LPT1:", "\\\\127.0.0.1:445\\laser"), 67u);
    EXPECT_EQ(ConnectPort("LPT0:", "\\\\127.0.0.1\\laser"), 1200u);
    EXPECT_EQ(ConnectPort("J:", "\\\\127.0.0.1\\laser"), 1200u);
    EXPECT_EQ(QueueDevice("LPT1"), "");
}

TEST_F(Connections, StartUpRestoresTheRowsStoredAsConnected) {
    // A connection left over from the last session is dropped by the start-up cancel.
    ASSERT_EQ(ConnectDrive("K:", "\\\\127.0.0.1\\publico"), 0u);
    StartUp start(
        "[UNIDADES]\r\n"
        "UNIDAD1=\\\\127.0.0.1\\publico\r\nLETRA1=J:\r\nMAPEAR1=1\r\n"
        "UNIDAD2=\\\\127.0.0.1\\publico\\carpeta\r\nLETRA2=K:\r\nMAPEAR2=0\r\n"
        "UNIDAD10=\\\\127.0.0.1\\laser\r\nLETRA10=LPT1:\r\nMAPEAR10=1\r\n");
    EXPECT_EQ(
        start.Messages(),
        (std::vector<QString>{" Conexión realizada con éxito en \\\\127.0.0.1\\publico <-> J:",
                              " Conexión realizada con éxito en \\\\127.0.0.1\\laser <-> LPT1:"}));
    EXPECT_EQ(ReadThrough(Link("J:") + "/hola.txt"), "hola desde el servidor\n");
    EXPECT_FALSE(IsLink(Link("K:")));
    EXPECT_EQ(QueueDevice("LPT1"), "smb://127.0.0.1/laser");
    drives::frmMain& window = start.window;
    EXPECT_EQ(window.Check1[0]->Value(), 1);
    EXPECT_FALSE(window.Picture2[0]->isHidden());
    EXPECT_FALSE(window.Picture4[0]->isHidden());

    start.ui.messages.clear();
    window.Check1[0]->SetValue(0);
    window.Check1[9]->SetValue(0);
    EXPECT_EQ(start.Messages(),
              (std::vector<QString>{" Desconectado de la unidad J: satisfactoriamente",
                                    " Desconectado de la unidad LPT1: satisfactoriamente"}));
    EXPECT_FALSE(IsLink(Link("J:")));
    EXPECT_EQ(QueueDevice("LPT1"), "");
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
    EXPECT_EQ(
        start.Messages(),
        std::vector<QString>{" Conexión realizada con éxito en \\\\127.0.0.1\\publico <-> J:"});
    EXPECT_EQ(ReadThrough(Link("J:") + "/hola.txt"), "hola desde el servidor\n");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(platform::MappingFilePath())));
    EXPECT_EQ(etc.Read("xdg/mapeo/MAPEO.INI"), table);
}

TEST_F(Connections, ADisconnectWithoutForceLeavesAFileOpenThroughTheDriveReadable) {
    ASSERT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\publico"), 0u);
    support::Holder editor((Link("J:") + "/hola.txt").toStdString(), support::Holder::File);
    ASSERT_TRUE(editor.Holding());
    EXPECT_EQ(Cancel("J:"), 2401u);
    EXPECT_TRUE(IsLink(Link("J:")));
    EXPECT_EQ(editor.ReadHeld(), "hola desde el servidor\n");

    EXPECT_EQ(Cancel("J:", 1), 0u) << "forced, it goes ahead";
    EXPECT_FALSE(IsLink(Link("J:")));
    EXPECT_FALSE(QFileInfo::exists(ShareMountDir()));
}

TEST_F(Connections, AShareTheUserMountedStaysMountedAfterTheDriveGoes) {
    QProcess gio;
    gio.start("gio", {"mount", "--anonymous", "smb://127.0.0.1/publico"});
    ASSERT_TRUE(gio.waitForFinished(30000) && gio.exitCode() == 0)
        << gio.readAllStandardError().toStdString();
    // GVfs's FUSE bridge shows a new mount a moment later.
    for (int i = 0; i < 200 && !QFileInfo::exists(ShareMountDir()); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(ShareMountDir()));

    ASSERT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\publico"), 0u);
    EXPECT_EQ(ConnectDrive("K:", "\\\\127.0.0.1\\publico\\noexiste"), 67u);
    EXPECT_EQ(Cancel("J:"), 0u);
    EXPECT_FALSE(IsLink(Link("J:")));
    EXPECT_EQ(ReadThrough(ShareMountDir() + "/hola.txt"), "hola desde el servidor\n");

    gio.start("gio", {"mount", "--unmount", "smb://127.0.0.1/publico"});
    gio.waitForFinished(30000);
}

TEST_F(Connections, StartUpKeepsADriveWhoseFileIsOpenAndShowsItConnected) {
    ASSERT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\publico"), 0u);  // the last session's
    support::Holder editor((Link("J:") + "/hola.txt").toStdString(), support::Holder::File);
    ASSERT_TRUE(editor.Holding());
    // The load's cancel is refused; connecting the row finds the drive where it belongs.
    StartUp start("[UNIDADES]\r\nUNIDAD1=\\\\127.0.0.1\\publico\r\nLETRA1=J:\r\nMAPEAR1=1\r\n");
    EXPECT_EQ(
        start.Messages(),
        std::vector<QString>{" Conexión realizada con éxito en \\\\127.0.0.1\\publico <-> J:"});
    EXPECT_EQ(start.window.Check1[0]->Value(), 1);
    EXPECT_TRUE(IsLink(Link("J:")));
    EXPECT_EQ(editor.ReadHeld(), "hola desde el servidor\n");
}

TEST_F(Connections, AnAdministratorsQueuesNamedLikePortsAreNeverDeleted) {
    AddQueue("LPT1", "smb://127.0.0.1/laser", "Impresora de contabilidad");
    // Mapeo's own description, but its device changed by hand since.
    AddQueue("LPT2", "smb://127.0.0.1/otra", "LPT2: \\\\127.0.0.1\\laser (Mapeo)");
    ASSERT_EQ(QueueDevice("LPT1"), "smb://127.0.0.1/laser");
    EXPECT_EQ(Cancel("LPT1:"), 2250u);
    EXPECT_EQ(Cancel("LPT2:"), 2250u);
    EXPECT_EQ(ConnectPort("LPT1:", "\\\\127.0.0.1\\laser"), 85u);
    StartUp start(
        "[UNIDADES]\r\n"
        "UNIDAD10=\\\\127.0.0.1\\laser\r\nLETRA10=LPT1:\r\nMAPEAR10=0\r\n"
        "UNIDAD11=\\\\127.0.0.1\\laser\r\nLETRA11=LPT2:\r\nMAPEAR11=0\r\n");
    EXPECT_EQ(QueueDevice("LPT1"), "smb://127.0.0.1/laser");
    EXPECT_EQ(QueueDevice("LPT2"), "smb://127.0.0.1/otra");
    DeleteQueue("LPT1");
    DeleteQueue("LPT2");
}

TEST_F(Connections, NamesThatNeedEncodingReachTheirShareAndPrinter) {
    ASSERT_EQ(ConnectDrive("L:", "\\\\127.0.0.1\\datos #1 @ 100%"), 0u);
    EXPECT_EQ(ReadThrough(Link("L:") + "/hola.txt"), "hola desde el servidor\n");
    ASSERT_EQ(ConnectPort("LPT3:", "\\\\127.0.0.1\\láser #2"), 0u);
    EXPECT_EQ(QueueDevice("LPT3"), "smb://127.0.0.1/l%C3%A1ser%20%232");
    EXPECT_EQ(PrintThrough("LPT3", "Segunda impresora\n"), "Segunda impresora\n");
}

// Run by the fixture a second time with no session bus and no scheduler.
TEST(NoServices, ConnectsSayThereIsNoNetworkServiceToTalkTo) {
    if (Env("MAPEO_TEST_NO_SERVICES").empty())
        GTEST_SKIP() << "needs the fixture's second run";
    EXPECT_EQ(ConnectDrive("J:", "\\\\127.0.0.1\\publico"), 1222u);
    EXPECT_EQ(ConnectPort("LPT1:", "\\\\127.0.0.1\\laser"), 1222u);
    EXPECT_EQ(Cancel("LPT1:"), 1222u);
    EXPECT_EQ(Cancel("J:"), 2250u);
    EXPECT_FALSE(IsLink(Link("J:")));
}

}  // namespace
