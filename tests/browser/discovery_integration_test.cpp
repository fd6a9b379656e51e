// The browser on a network where most servers only announce themselves, run by
// discovery_integration.sh in the client namespace it builds: wsdd, Avahi, and a server that
// SMB1 browsing and wsdd both show. No server name resolves on that client.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>

#include "browser/frmnwcheck.h"
#include "fakes/browser.h"
#include "fakes/desktop.h"
#include "support/connections.h"

namespace {

using browser::KeyedTree;
using browser::NETRESOURCE;
using browser::Node;
using namespace platform;

QString Env(const char* name) {
    return qEnvironmentVariable(name);
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

TEST_F(Discovery, ConnectingADiscoveredShareReachesTheAnnouncedAddress) {
    ASSERT_GT(Provider().Children().Count(), 0);  // the round that learns the address
    ASSERT_EQ(support::Connect("K:", (wsdServer + QStringLiteral("\\publico")).toStdString()),
              NO_ERROR);
    EXPECT_TRUE(QFile::exists(support::Link("K:") + QStringLiteral("/LEAME.txt")));
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
