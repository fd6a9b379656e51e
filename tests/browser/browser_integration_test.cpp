// The browser against a real Samba server, run by browser_integration.sh inside the client
// namespace it creates: workgroup, server, shares and printer, folders and files.
#include <gtest/gtest.h>

#include <QApplication>
#include <set>

#include "app/mainrows.h"
#include "browser/frmnwcheck.h"
#include "fakes/desktop.h"
#include "platform/filesystem.h"
#include "platform/folders.h"
#include "platform/netenum.h"
#include "platform/profile.h"
#include "support/support.h"

namespace {

using browser::KeyedTree;
using browser::NETRESOURCE;
using browser::Node;
using namespace platform;

class BrowserIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        if (server.isEmpty())
            GTEST_SKIP() << "run by browser_integration.sh";
    }
    QString Path(const char* rest = nullptr) const {
        return QStringLiteral("\\\\") + server + (rest ? u'\\' + QString::fromUtf8(rest) : "");
    }
    std::set<std::string> Names(const std::optional<std::vector<std::string>>& v) {
        return v ? std::set<std::string>(v->begin(), v->end()) : std::set<std::string>{};
    }
    Node* Expand(const QString& key) {
        Node* node = window.tvwNetwork->Find(key);
        if (node)
            node->setExpanded(true);
        return node;
    }

    const QString server = qEnvironmentVariable("MAPEO_BR_SERVER");
    const QString workgroup = qEnvironmentVariable("MAPEO_BR_WORKGROUP");
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

TEST_F(BrowserIntegration, FolderReaderListsGuestFoldersAndNothingElse) {
    FileSystemObject& fso = SystemFileSystemObject();
    auto share = fso.GetFolder(Path("publico").toStdString());
    ASSERT_NE(share, nullptr);
    EXPECT_EQ(Names(share->Files()), std::set<std::string>{"LEAME.txt"});
    EXPECT_EQ(Names(share->SubFolders()), (std::set<std::string>{"Documentos", "Fotos"}));
    auto docs = fso.GetFolder(Path("publico\\Documentos").toStdString());
    ASSERT_NE(docs, nullptr);
    EXPECT_EQ(Names(docs->Files()), std::set<std::string>{"acta de la reunión.txt"});
    for (const char* none : {"privado", "publico\\LEAME.txt", "publico\\NoExiste", "no-existe",
                             "impresora", "publico\\..\\privado"})
        EXPECT_EQ(fso.GetFolder(Path(none).toStdString()), nullptr) << none;
}

TEST_F(BrowserIntegration, WindowWalksDownToAFileAndHandsTheShareToRowThree) {
    window.Form_Load();
    Node* root = window.tvwNetwork->Find(QStringLiteral("_ROOT"));
    ASSERT_EQ(root->childCount(), 1);
    Expand(KeyedTree::Key(root->child(0)));
    ASSERT_NE(Expand(workgroup), nullptr);
    ASSERT_NE(Expand(Path()), nullptr);
    // The resources behind the tree: kinds and comments as the server gives them.
    NETRESOURCE* srv =
        window.Root_Resource()->Children().Item(1)->Children().Item(workgroup)->Children().Item(
            Path());
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

    Node* publico = Expand(Path("publico"));
    ASSERT_EQ(publico->childCount(), 3);
    EXPECT_EQ(publico->child(0)->text(0), QStringLiteral("LEAME.txt")) << "files first";
    for (const char* folder : {"Documentos", "Documentos\\Informes", "Documentos\\Informes\\2024"})
        Expand(Path("publico\\") + QString::fromUtf8(folder));
    Node* file = window.tvwNetwork->Find(Path("publico\\Documentos\\Informes\\2024\\resumen.txt"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Expand(Path("privado"))->childCount(), 0);
    EXPECT_EQ(Expand(Path("datos$"))->childCount(), 0);
    EXPECT_EQ(window.tvwNetwork->Find(Path("impresora"))->childCount(), 0);

    window.tvwNetwork->setCurrentItem(file);
    EXPECT_EQ(window.Text1->text(), KeyedTree::Key(file));
    window.tvwNetwork_NodeClick(publico);
    window.Text2->setText(QStringLiteral("2"));
    window.cmdmas_Click(0);
    window.Command1_Click();
    EXPECT_EQ(main.TXTNET[2]->text(), Path("publico"));
    EXPECT_EQ(main.TXTNET[2]->palette().color(QPalette::Base), browser::LightYellow);

    const QString shot = qEnvironmentVariable("MAPEO_BR_SCREENSHOT");
    if (!shot.isEmpty()) {
        window.show();
        window.tvwNetwork->setCurrentItem(file);
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
        EXPECT_TRUE(window.grab().save(shot));
    }
}

}  // namespace
