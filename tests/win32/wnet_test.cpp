// The main window and the browser over Windows' own networking calls. Wine has no network
// provider and answers every call with 1222 (ERROR_NO_NETWORK): the failure messages must
// carry the code the system gave, and the browser stays quiet.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "browser/frmnwcheck.h"
#include "drives/frmmain.h"
#include "fakes/browser.h"
#include "fakes/desktop.h"
#include "platform/filesystem.h"
#include "platform/folders.h"
#include "platform/netenum.h"
#include "platform/networking.h"
#include "support/connections.h"
#include "support/main_services.h"
#include "win32/wine.h"

namespace {

using testing::ElementsAre;

// A share on this very machine that does not exist: nothing goes beyond loopback.
const char* const Path = "\\\\127.0.0.1\\mapeo-no-existe";

TEST(Connections, AFailedConnectShowsTheSystemsCodeAfterTheNestedDisconnect) {
    const platform::DWORD add = support::Connect("J:", Path);
    const platform::DWORD cancel = support::Cancel("J:");
    ASSERT_NE(add, 0u);
    ASSERT_NE(cancel, 0u);
    if (support::Under_Wine()) {
        EXPECT_EQ(std::tuple(add, cancel), std::tuple(1222u, 1222u));
    }

    support::TempDir dir;
    fakes::FakeWindowServices ui;
    fakes::FakeShell shell;
    drives::frmMain window(support::OnFiles(dir, platform::SystemNetConnections(), shell, ui),
                           {[] {}, [] {}});
    window.TXTNET[0]->setText(QString::fromLatin1(Path));
    window.Check1[0]->SetValue(1);
    const QString a = QString::number(add), c = QString::number(cancel);
    EXPECT_THAT(
        ui.Texts(),
        ElementsAre(
            " ERROR al desconectar la unidad J:", "ERROR: " + c + " - Net Disconnection Failed!",
            QStringLiteral(" ERROR al intentar realizar la conexión en ") + Path + " <-> J:",
            "ERROR: " + a + " - No se pudo efectuar la conexión de red. - "));
    EXPECT_EQ(window.Check1[0]->Value(), 0);
    EXPECT_TRUE(window.Picture3[0]->isVisibleTo(&window));
}

TEST(Enumeration, ANetworkWithoutProvidersLeavesTheBrowserAtItsRootWithoutAWord) {
    fakes::FakeWindowServices ui;
    fakes::FakeTargetRows rows;
    browser::frmNWCheck window(
        rows, {platform::SystemNetEnumeration(), platform::SystemFileSystemObject(), ui});
    window.Form_Load();
    const browser::Node* root = window.tvwNetwork->Find(QStringLiteral("_ROOT"));
    ASSERT_TRUE(root);
    if (support::Under_Wine()) {
        EXPECT_EQ(root->childCount(), 0);
    }
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
