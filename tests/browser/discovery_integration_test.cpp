// The browser on a network where most servers only announce themselves, run by
// discovery_integration.sh in the client namespace it builds: wsdd, Avahi, and a server that
// SMB1 browsing and wsdd both show. No server name resolves on that client.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include "browser/frmnwcheck.h"
#include "fakes/browser.h"
#include "fakes/credentials.h"
#include "fakes/desktop.h"
#include "platform/credentials.h"
#include "platform/networking.h"
#include "platform/paths.h"

namespace {

using browser::KeyedTree;
using browser::NETRESOURCE;
using browser::Node;
using namespace platform;

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}

DWORD Drive(const char* drive, const QString& path) {
    std::string device = drive, remote = path.toStdString();
    NETRESOURCEA r;
    r.dwScope = RESOURCE_GLOBALNET;
    r.dwType = RESOURCETYPE_DISK;
    r.dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
    r.dwUsage = RESOURCEUSAGE_CONNECTABLE;
    r.lpLocalName = device.data();
    r.lpRemoteName = remote.data();
    return SystemNetConnections().WNetAddConnection2A(&r, nullptr, nullptr, 1);
}
DWORD Cancel(const char* drive) {
    return SystemNetConnections().WNetCancelConnection2A(drive, 1, 0);
}
QString Link(const char* drive) {
    return QString::fromStdString(DrivesFolder()) + u'/' + QLatin1String(drive);
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
    fakes::FakeTargetRows rows;
    fakes::FakeWindowServices ui;
    browser::frmNWCheck window{rows, {SystemNetEnumeration(), SystemFileSystemObject(), ui}};
};

TEST_F(Discovery, WsDiscoveryServerWalksDownToAFolderUnderItsWorkgroup) {
    window.Form_Load();
    Node* top = window.tvwNetwork->Find(QStringLiteral("_ROOT"));
    ASSERT_EQ(top->childCount(), 1);
    Expand(KeyedTree::Key(top->child(0)));
    ASSERT_NE(Expand(Env("MAPEO_DSC_WSD_WORKGROUP")), nullptr) << "workgroup from WS-Discovery";
    Node* server = Expand(wsdServer);
    ASSERT_NE(server, nullptr) << "server from WS-Discovery";
    EXPECT_EQ(server->childCount(), 4) << "shares listed at the announced address";
    Node* publico = Expand(wsdServer + QStringLiteral("\\publico"));
    ASSERT_NE(publico, nullptr);
    EXPECT_EQ(publico->childCount(), 3);
    Node* docs = Expand(wsdServer + QStringLiteral("\\publico\\Documentos"));
    ASSERT_NE(docs, nullptr);
    EXPECT_NE(
        window.tvwNetwork->Find(wsdServer + QStringLiteral("\\publico\\Documentos\\Informes")),
        nullptr);

    window.tvwNetwork_NodeClick(publico);
    EXPECT_EQ(window.Text1->text(), wsdServer + QStringLiteral("\\publico"))
        << "the name, not the address";
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
    ASSERT_EQ(Drive("K:", wsdServer + "\\publico"), NO_ERROR) << "a guest share, at the address";
    EXPECT_TRUE(QFile::exists(Link("K:") + QStringLiteral("/LEAME.txt")));
    EXPECT_EQ(Cancel("K:"), NO_ERROR);

    const QString password = Env("MAPEO_DSC_PASSWORD");
    SecretTool({"store", "--label=x", "xdg:schema", "org.gnome.keyring.NetworkPassword", "server",
                Env("MAPEO_DSC_WSD_SERVER"), "protocol", "smb", "user", "root"},
               password);
    fakes::FakeCredentialPrompt prompt;
    prompt.answers = {{"root", password.toStdString(), true}};
    SystemCredentials().RegisterPrompt(&prompt);
    EXPECT_EQ(Drive("K:", wsdServer + "\\privado"), NO_ERROR);
    SystemCredentials().RegisterPrompt(nullptr);
    const QString asked = wsdServer + "\\privado (" + Env("MAPEO_DSC_WSD_IP") + ") 0 ";
    EXPECT_EQ(prompt.asked, std::vector<std::string>{asked.toStdString()})
        << "asked, naming where the password goes, though one is saved for the name";
    EXPECT_EQ(SavedEntries(Env("MAPEO_DSC_WSD_SERVER")), 1);
    EXPECT_EQ(SavedEntries(Env("MAPEO_DSC_WSD_IP")), 0);
    EXPECT_EQ(Cancel("K:"), NO_ERROR);
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
    for (const char* never : {"/dgram-oversize", "/dgram-truncated", "/dgram-wrong-ns",
                              "/dgram-entity", "/dgram-unrelated", "/meta-after-redirect"})
        EXPECT_FALSE(paths.contains(QLatin1String(never))) << never;
    EXPECT_TRUE(paths.contains(QStringLiteral("/meta-entity"))) << "the sender was heard";
}

}  // namespace
