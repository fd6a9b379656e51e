// The browser against real Samba servers, run by discovery_integration.sh in the client
// namespace it builds: servers that only announce themselves (wsdd, Avahi) and one that SMB1
// browsing and wsdd both show. No server name resolves on that client.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <set>

#include "app/mainrows.h"
#include "browser/frmnwcheck.h"
#include "fakes/credentials.h"
#include "fakes/desktop.h"
#include "platform/credentials.h"
#include "platform/filesystem.h"
#include "platform/profile.h"
#include "support/connections.h"
#include "support/support.h"

namespace {

using browser::KeyedTree;
using browser::NETRESOURCE;
using browser::Node;
using namespace platform;

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}

// The keyring as the desktop sees it, through secret-tool.
QString SecretTool(const QStringList& args, const QString& input = {}) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);  // search tells attributes on stderr
    p.start(QStringLiteral("secret-tool"), args);
    p.write(input.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAll());
}
int SavedEntries(const QString& server) {
    return int(SecretTool({"search", "--all", "server", server, "protocol", "smb"})
                   .split(u'\n')
                   .filter(QStringLiteral("attribute.server = "))
                   .size());
}

QStringList ShortNames(NETRESOURCE& r) {
    QStringList names;
    for (NETRESOURCE& child : r.Children())
        names << child.ShortName();
    return names;
}

class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("MAPEO_DSC_WSD_SERVER").isEmpty())
            GTEST_SKIP() << "run by discovery_integration.sh";
    }
    NETRESOURCE& Provider() {
        EXPECT_EQ(root.Children().Count(), 1);
        return *root.Children().Item(1);
    }
    Node* Expand(const QString& key) {
        Node* node = window.tvwNetwork->Find(key);
        if (node)
            node->setExpanded(true);
        return node;
    }

    const QString wsdServer = QStringLiteral("\\\\") + Env("MAPEO_DSC_WSD_SERVER");
    NETRESOURCE root{SystemNetEnumeration()};
    // The hand-back goes through the program's own wiring into a main window that never loads.
    support::TempDir dir;
    fakes::FakeNetConnections net;
    fakes::FakeShell shell;
    fakes::FakeWindowServices ui;
    drives::frmMain main{
        drives::MainServices{SystemProfileFile(),
                             SystemFileSystem(),
                             net,
                             shell,
                             ui,
                             {dir.Path(), dir.Path("MAPEO.INI"), dir.Path("MAPEO.BAK")}}};
    app::MainWindowRows rows{main};
    browser::frmNWCheck window{rows, {SystemNetEnumeration(), SystemFileSystemObject(), ui}};
};

std::set<std::string> Names(const std::optional<std::vector<std::string>>& v) {
    return v ? std::set<std::string>(v->begin(), v->end()) : std::set<std::string>{};
}

TEST_F(Discovery, WsDiscoveryServerWalksDownToAFileAndHandsTheShareToRowThree) {
    window.Form_Load();
    Node* top = window.tvwNetwork->Find(QStringLiteral("_ROOT"));
    ASSERT_EQ(top->childCount(), 1);
    Expand(KeyedTree::Key(top->child(0)));
    ASSERT_NE(Expand(Env("MAPEO_DSC_WSD_WORKGROUP")), nullptr) << "workgroup from WS-Discovery";
    Node* server = Expand(wsdServer);
    ASSERT_NE(server, nullptr) << "server from WS-Discovery";
    EXPECT_EQ(server->childCount(), 4) << "shares listed at the announced address";
    Node* publico = Expand(wsdServer + QStringLiteral("\\publico"));
    ASSERT_EQ(publico->childCount(), 3);
    EXPECT_EQ(publico->child(0)->text(0), QStringLiteral("LEAME.txt")) << "files first";
    for (const char* folder : {"Documentos", "Documentos\\Informes", "Documentos\\Informes\\2024"})
        Expand(wsdServer + QStringLiteral("\\publico\\") + QString::fromUtf8(folder));
    Node* file =
        window.tvwNetwork->Find(wsdServer + "\\publico\\Documentos\\Informes\\2024\\resumen.txt");
    ASSERT_NE(file, nullptr);
    for (const char* none : {"privado", "datos$", "impresora"})
        EXPECT_EQ(Expand(wsdServer + '\\' + QString::fromUtf8(none))->childCount(), 0) << none;

    window.tvwNetwork->setCurrentItem(file);
    EXPECT_EQ(window.Text1->text(), KeyedTree::Key(file));
    window.tvwNetwork_NodeClick(publico);
    EXPECT_EQ(window.Text1->text(), wsdServer + QStringLiteral("\\publico"))
        << "the name, not the address";
    window.Text2->setText(QStringLiteral("2"));
    window.cmdmas_Click(0);
    window.Command1_Click();
    EXPECT_EQ(main.TXTNET[2]->text(), wsdServer + QStringLiteral("\\publico"));
    EXPECT_EQ(main.TXTNET[2]->palette().color(QPalette::Base), browser::LightYellow);
}

TEST_F(Discovery, FolderReaderListsGuestFoldersAndNothingElse) {
    ASSERT_GT(Provider().Children().Count(), 0);  // the round that learns the address
    FileSystemObject& fso = SystemFileSystemObject();
    const auto path = [this](const char* rest) { return (wsdServer + '\\' + rest).toStdString(); };
    auto share = fso.GetFolder(path("publico"));
    ASSERT_NE(share, nullptr);
    EXPECT_EQ(Names(share->Files()), std::set<std::string>{"LEAME.txt"});
    EXPECT_EQ(Names(share->SubFolders()), (std::set<std::string>{"Documentos", "Fotos"}));
    auto docs = fso.GetFolder(path("publico\\Documentos"));
    ASSERT_NE(docs, nullptr);
    EXPECT_EQ(Names(docs->Files()), std::set<std::string>{"acta de la reunión.txt"});
    for (const char* none : {"privado", "publico\\LEAME.txt", "publico\\NoExiste", "no-existe",
                             "impresora", "publico\\..\\privado"})
        EXPECT_EQ(fso.GetFolder(path(none)), nullptr) << none;
}

TEST_F(Discovery, SmbBrowsingGivesEachShareItsKindAndTheServersComments) {
    NETRESOURCE* srv = Provider()
                           .Children()
                           .Item(Env("MAPEO_DSC_NB_WORKGROUP"))
                           ->Children()
                           .Item(QStringLiteral("\\\\") + Env("MAPEO_DSC_NB_SERVER"));
    ASSERT_NE(srv, nullptr);
    EXPECT_EQ(srv->Comment(), QStringLiteral("Servidor de pruebas de Mapeo"));
    QStringList kinds;
    for (NETRESOURCE& share : srv->Children())
        kinds << share.ShortName() + ':' + share.ResourceTypeName() + ':' + share.Comment();
    EXPECT_EQ(kinds,
              (QStringList{"publico:Share:Carpeta pública", "privado:Share:Solo con contraseña",
                           "datos$:AdminShare:Recurso administrativo",
                           "impresora:Printer:Impresora de pruebas"}));
    NETRESOURCE unknown(SystemNetEnumeration());
    unknown.InitFromRecord({2, 0, RESOURCEDISPLAYTYPE_SERVER, 2, {}, "\\\\NO-HAY-TAL", {}, {}});
    EXPECT_EQ(unknown.Children().Count(), 0);
    EXPECT_FALSE(unknown.Enumerated());
}

TEST_F(Discovery, DnsSdServerAppearsUnderTheLocalWorkgroupWithItsShares) {
    NETRESOURCE* local = Provider().Children().Item(Env("MAPEO_DSC_LOCAL_WORKGROUP"));
    ASSERT_NE(local, nullptr) << ShortNames(Provider()).join(u',').toStdString();
    NETRESOURCE* server =
        local->Children().Item(QStringLiteral("\\\\") + Env("MAPEO_DSC_MDNS_SERVER"));
    ASSERT_NE(server, nullptr) << ShortNames(*local).join(u',').toStdString();
    EXPECT_EQ(ShortNames(*server), (QStringList{"publico", "privado", "datos$", "impresora"}));
}

TEST_F(Discovery, ServerSeenBySmbBrowsingAndWsDiscoveryIsOneNode) {
    QStringList groups = ShortNames(Provider());
    QStringList expected{Env("MAPEO_DSC_WSD_WORKGROUP"), Env("MAPEO_DSC_LOCAL_WORKGROUP"),
                         Env("MAPEO_DSC_NB_WORKGROUP")};
    groups.sort(Qt::CaseInsensitive);
    expected.sort(Qt::CaseInsensitive);
    EXPECT_EQ(groups, expected) << "each workgroup once, whatever its sources";
    NETRESOURCE* both = Provider().Children().Item(Env("MAPEO_DSC_NB_WORKGROUP"));
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(ShortNames(*both), QStringList{Env("MAPEO_DSC_NB_SERVER")});
}

// Anyone on the link may announce any name: a name only an announcement led to gets no
// password saved for it, and what the user types for that address is not saved for the name.
TEST_F(Discovery, AnnouncedServersConnectAtTheirAddressesWithoutSavedPasswords) {
    ASSERT_GT(Provider().Children().Count(), 0);  // the round that learns the addresses
    ASSERT_EQ(support::Connect("K:", (wsdServer + "\\publico").toStdString()), NO_ERROR)
        << "a guest share, at the address";
    EXPECT_TRUE(QFile::exists(support::Link("K:") + QStringLiteral("/LEAME.txt")));
    EXPECT_EQ(support::Cancel("K:"), NO_ERROR);

    const QString password = Env("MAPEO_DSC_PASSWORD");
    SecretTool({"store", "--label=x", "xdg:schema", "org.gnome.keyring.NetworkPassword", "server",
                Env("MAPEO_DSC_WSD_SERVER"), "protocol", "smb", "user", "root"},
               password);
    fakes::FakeCredentialPrompt prompt;
    prompt.answers = {{"root", password.toStdString(), true}};
    SystemCredentials().RegisterPrompt(&prompt);
    EXPECT_EQ(support::Connect("K:", (wsdServer + "\\privado").toStdString()), NO_ERROR);
    SystemCredentials().RegisterPrompt(nullptr);
    const QString asked = wsdServer + "\\privado (" + Env("MAPEO_DSC_WSD_IP") + ") 0 ";
    EXPECT_EQ(prompt.asked, std::vector<std::string>{asked.toStdString()})
        << "asked, naming where the password goes, though one is saved for the name";
    EXPECT_EQ(SavedEntries(Env("MAPEO_DSC_WSD_SERVER")), 1);
    EXPECT_EQ(SavedEntries(Env("MAPEO_DSC_WSD_IP")), 0);
    EXPECT_EQ(support::Cancel("K:"), NO_ERROR);
}

// Run only once the bad sender is up: none of its answers gives an entry, and what it can
// make the browser fetch is bounded.
TEST_F(Discovery, HostileAnnouncerGivesNoEntryAndBoundedWork) {
    const QString requestsFile = Env("MAPEO_DSC_BAD_REQUESTS");
    if (requestsFile.isEmpty())
        GTEST_SKIP() << "needs the bad sender";
    for (NETRESOURCE& group : Provider().Children()) {
        EXPECT_FALSE(group.ShortName().contains(QStringLiteral("MALO"), Qt::CaseInsensitive));
        for (NETRESOURCE& server : group.Children())
            EXPECT_FALSE(server.ShortName().contains(QStringLiteral("MALO"), Qt::CaseInsensitive))
                << server.ShortName().toStdString();
    }
    EXPECT_NE(Provider().Children().Item(Env("MAPEO_DSC_WSD_WORKGROUP")), nullptr)
        << "good answers still count";

    QFile f(requestsFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList paths = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_LE(paths.size(), 256) << "one fetch per device at most, and few devices";
    for (const char* never : {"/dgram-oversize", "/dgram-unrelated", "/meta-after-redirect"})
        EXPECT_FALSE(paths.contains(QLatin1String(never))) << never;
    EXPECT_TRUE(paths.contains(QStringLiteral("/meta-entity"))) << "the sender was heard";
}

}  // namespace
