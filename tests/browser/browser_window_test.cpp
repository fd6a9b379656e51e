// The browser window over fake services: the tree it grows, the paths it hands back and the
// main window's rows that it writes to and tints.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>

#include "browser/frmnwcheck.h"
#include "fakes/browser.h"
#include "fakes/desktop.h"
#include "support/support.h"

namespace {

using browser::KeyedTree;
using browser::Node;
using fakes::Box;
using fakes::Leaf;
using namespace platform;

QStringList Keys(const Node* node) {
    QStringList keys;
    for (int i = 0; i < node->childCount(); ++i)
        keys << KeyedTree::Key(node->child(i));
    return keys;
}

class BrowserWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        net.containers[""] = {Box(RESOURCEDISPLAYTYPE_NETWORK, "Red")};
        net.containers["Red"] = {Box(1, "WG"), Box(1, "OTHERWG")};
        net.containers["WG"] = {Box(2, "\\\\SRV"), Box(2, "\\\\PIPE|SRV"), Box(12, "\\\\ODD")};
        net.containers["OTHERWG"] = {Box(2, "\\\\SRV"), Box(2, "\\\\LONE")};
        net.containers["\\\\SRV"] = {
            Leaf(RESOURCETYPE_DISK, "\\\\SRV\\docs"), Leaf(RESOURCETYPE_DISK, "\\\\SRV\\locked"),
            Leaf(RESOURCETYPE_DISK, "\\\\SRV\\pics"),
            Leaf(RESOURCETYPE_DISK, "\\\\SRV\\c$", RESOURCEDISPLAYTYPE_SHAREADMIN),
            Leaf(RESOURCETYPE_PRINT, "\\\\SRV\\laser")};
        net.containers["\\\\PIPE|SRV"] = {Leaf(RESOURCETYPE_DISK, "\\\\PIPE|SRV\\data")};
        fso.folders["\\\\SRV\\docs"] = {{"b.txt", "a.txt"}, {"Sub", "x", "x_FAKE"}};
        fso.folders["\\\\SRV\\docs\\Sub"] = {{"deep.txt"}, {}};
        fso.folders["\\\\SRV\\docs\\x"] = {{"in-x.txt"}, {}};
        fso.folders["\\\\SRV\\pics"] = {{}, {}, false};
        window.Form_Load();
    }
    Node* N(const char* key) { return window.tvwNetwork->Find(QString::fromUtf8(key)); }
    // Through the tree's own signal, as a click on the node's arrow does it.
    Node* Expand(const char* key) {
        N(key)->setExpanded(true);
        return N(key);
    }
    void OpenServer() {
        for (const char* key : {"Red", "WG", "\\\\SRV"})
            Expand(key);
    }
    void ExpectTintOnly(int row) const {
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(rows.colours[i], i == row ? browser::LightYellow : QColor(Qt::white)) << i;
    }

    fakes::FakeTargetRows rows;
    fakes::FakeNetEnumeration net;
    fakes::FakeFileSystemObject fso;
    fakes::FakeWindowServices ui;
    browser::frmNWCheck window{rows, {net, fso, ui}};
};

TEST_F(BrowserWindowTest,
       LoadShowsTheWholeNetworkOpenedToItsFirstLevelInTheCentreAndTheTreeFitsAnySize) {
    Node* root = N("_ROOT");
    EXPECT_EQ(root->text(0), QStringLiteral("Toda la red"));
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(Keys(root), QStringList{"Red"});
    EXPECT_EQ(Keys(N("Red")), QStringList{"Red_FAKE"});
    EXPECT_EQ(window.Text1->text() + '|' + window.Text2->text(), QStringLiteral("|1"));
    EXPECT_EQ(net.opens.size(), 2u) << "the load enumerates the root only";
    window.show();  // the frame a window manager adds counts once the window is shown
    QCoreApplication::processEvents();
    const QRect g = window.frameGeometry();
    EXPECT_GT(g.height(), window.height()) << "no frame to centre by";
    EXPECT_EQ(g.topLeft(), QPoint((1280 - g.width()) / 2, (1024 - g.height()) / 2));

    OpenServer();
    window.Form_Load();
    EXPECT_EQ(N("WG"), nullptr) << "a second load starts from a fresh tree";
    EXPECT_EQ(net.opens.size(), 10u) << "...and a fresh root resource";

    for (const QSize size : {QSize(500, 700), QSize(700, 90), QSize(40, 40)}) {
        window.resize(size);
        window.Form_Resize();
        const QRect tree = window.tvwNetwork->geometry();
        EXPECT_TRUE(tree.width() == 0 || tree.right() < window.width()) << size.width();
        EXPECT_TRUE(tree.height() == 0 || tree.bottom() < window.height()) << size.height();
    }
}

TEST_F(BrowserWindowTest, ExpansionLoadsOnceAndAwkwardNamesDoNoHarm) {
    OpenServer();
    EXPECT_EQ(Keys(N("Red")), (QStringList{"WG", "OTHERWG"}));
    EXPECT_EQ(Keys(N("\\\\SRV")), (QStringList{"\\\\SRV\\docs", "\\\\SRV\\locked", "\\\\SRV\\pics",
                                               "\\\\SRV\\c$", "\\\\SRV\\laser"}));
    EXPECT_EQ(Keys(N("\\\\SRV\\docs")), QStringList{"\\\\SRV\\docs_FAKE"});
    EXPECT_EQ(N("\\\\SRV\\laser")->childCount(), 0) << "a printer cannot expand";
    EXPECT_EQ(KeyedTree::Image(N("\\\\SRV\\laser")), QStringLiteral("printer"));

    const int calls = net.Calls();
    for (const char* key : {"\\\\SRV", "WG", "Red"})
        N(key)->setExpanded(false);
    OpenServer();
    EXPECT_EQ(net.Calls(), calls) << "re-expanding asked the platform again";
    EXPECT_EQ(N("\\\\SRV")->childCount(), 5);

    EXPECT_EQ(Keys(Expand("\\\\PIPE|SRV")), QStringList{"\\\\PIPE|SRV\\data"});
    EXPECT_EQ(Keys(Expand("OTHERWG")), QStringList{"\\\\LONE"}) << "a name seen twice stays first";
    EXPECT_EQ(N("\\\\SRV")->parent(), N("WG"));
}

TEST_F(BrowserWindowTest,
       ReadableShareShowsFilesThenFoldersThatExpandInTurnAndEachNodeGivesItsPath) {
    OpenServer();
    Node* docs = Expand("\\\\SRV\\docs");
    EXPECT_EQ(Keys(docs),
              (QStringList{"\\\\SRV\\docs\\b.txt", "\\\\SRV\\docs\\a.txt", "\\\\SRV\\docs\\Sub",
                           "\\\\SRV\\docs\\x", "\\\\SRV\\docs\\x_FAKE"}));
    EXPECT_EQ(Keys(Expand("\\\\SRV\\docs\\a.txt")), QStringList());
    EXPECT_EQ(Keys(Expand("\\\\SRV\\docs\\Sub")), QStringList{"\\\\SRV\\docs\\Sub\\deep.txt"});

    // A folder named like a stand-in child keeps its node, and its neighbour's stand-in goes.
    Node* lookalike = N("\\\\SRV\\docs\\x_FAKE");
    ASSERT_FALSE(KeyedTree::IsPlaceholder(lookalike));
    EXPECT_EQ(Keys(Expand("\\\\SRV\\docs\\x")), QStringList{"\\\\SRV\\docs\\x\\in-x.txt"});
    EXPECT_EQ(N("\\\\SRV\\docs\\x_FAKE"), lookalike);

    // A click on a node, or a move onto it with the keyboard, gives its network path.
    const std::pair<const char*, const char*> cases[] = {
        {"_ROOT", "Toda la red"},
        {"WG", "\\\\Red\\WG"},
        {"\\\\SRV", "\\\\SRV"},
        {"\\\\SRV\\laser", "\\\\SRV\\laser"},
        {"\\\\SRV\\docs\\Sub", "\\\\SRV\\docs\\Sub"},
        {"\\\\SRV\\docs\\a.txt", "\\\\SRV\\docs\\a.txt"}};
    for (const auto& [key, path] : cases) {
        window.tvwNetwork_NodeClick(N(key));
        EXPECT_EQ(window.Text1->text(), QString::fromUtf8(path)) << key;
    }
    window.tvwNetwork->setCurrentItem(N("\\\\SRV\\docs"));  // moving with the keyboard
    EXPECT_EQ(window.Text1->text(), QStringLiteral("\\\\SRV\\docs"));
}

TEST_F(BrowserWindowTest, SharesAndFoldersThatCannotBeReadShowNothing) {
    OpenServer();
    Expand("\\\\SRV\\docs");
    fso.folders.erase("\\\\SRV\\docs\\Sub");
    const std::size_t folderCalls = fso.calls.size();
    Expand("\\\\SRV\\c$");
    EXPECT_EQ(fso.calls.size(), folderCalls) << "an admin share is never read as a folder";
    Expand("\\\\SRV\\locked");
    EXPECT_EQ(net.opens.back().remote, "\\\\SRV\\locked") << "asked as a container instead";
    const char* unreadable[] = {"\\\\SRV\\c$", "\\\\SRV\\locked", "\\\\SRV\\pics",
                                "\\\\SRV\\docs\\Sub"};
    for (const char* key : unreadable)
        EXPECT_EQ(Expand(key)->childCount(), 0) << key;
    const std::size_t calls = net.Calls() + fso.calls.size();
    for (const char* key : unreadable) {
        N(key)->setExpanded(false);
        Expand(key);
    }
    EXPECT_EQ(net.Calls() + fso.calls.size(), calls) << "what could not be read is not asked again";
}

TEST_F(BrowserWindowTest,
       RowNumbersMoveTheTintClosingClearsAndTakeThePathOrAreRefusedWithAMessage) {
    window.Text1->setText(QStringLiteral("\\\\SRV\\docs"));
    for (const char* bad : {"0", "13", "-1", "abc", "", "7.5", "99999999999"}) {
        ui.messages.clear();
        window.Text2->setText(QString::fromUtf8(bad));
        window.Command1_Click();
        window.cmdmas_Click(0);
        window.cmdmas_Click(1);
        EXPECT_EQ(window.Text2->text(), QString::fromUtf8(bad));
        ASSERT_EQ(ui.messages.size(), 3u) << bad;
        EXPECT_EQ(ui.messages[0].style, vbExclamation);
        EXPECT_EQ(rows.paths, decltype(rows.paths){}) << bad;
        ExpectTintOnly(-1);
    }
    rows.colours[7] = Qt::red;
    for (const auto& [from, button, to] :
         {std::tuple{"3", 0, "4"}, {"12", 0, "12"}, {"1", 1, "1"}}) {
        window.Text2->setText(QString::fromLatin1(from));
        window.cmdmas[button]->click();
        EXPECT_EQ(window.Text2->text(), QString::fromLatin1(to));
        ExpectTintOnly(window.Text2->text().toInt() - 1);
    }
    ui.messages.clear();
    window.Text2->setText(QStringLiteral(" 7 "));
    window.Command1->click();
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(rows.paths[i], i == 6 ? QStringLiteral("\\\\SRV\\docs") : QString()) << i;
    EXPECT_TRUE(ui.messages.empty());

    QCloseEvent close;  // closing clears the tint
    QApplication::sendEvent(&window, &close);
    EXPECT_TRUE(close.isAccepted());
    ExpectTintOnly(-1);
    EXPECT_EQ(net.forgets, 1) << "a typed password must not outlive the window";
    { const browser::frmNWCheck other(rows, {net, fso, ui}); }
    EXPECT_EQ(net.forgets, 2) << "nor a window the program ends with";
}

}  // namespace
