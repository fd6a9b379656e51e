// The one-window-per-tool rule the program applies to the browser and the tester.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "app/toolwindow.h"
#include "support/support.h"

namespace {

class Tool : public QWidget {
public:
    explicit Tool(int& loads) : loads_(loads) {}
    void Form_Load() { ++loads_; }

private:
    int& loads_;
};

TEST(ToolWindow, IsBroughtForwardWhileOpenAndMadeAndLoadedAfreshOnceClosed) {
    int loads = 0;
    app::ToolWindow<Tool> tool([&] { return new Tool(loads); });
    const QPointer<Tool> first = tool.Show();
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(tool.Show(), first);
    EXPECT_EQ(loads, 1) << "a request while open does not load again";

    first->close();
    const QPointer<Tool> second = tool.Show();
    EXPECT_NE(second, first);
    EXPECT_EQ(loads, 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "a closed tool deletes itself";

    // One that stays after closing, as a tester does until its scan unwinds, is not reused.
    second->setAttribute(Qt::WA_DeleteOnClose, false);
    second->close();
    const QPointer<Tool> third = tool.Show();
    EXPECT_NE(third, second);
    EXPECT_EQ(loads, 3);
    delete second.data();
    third->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
