// The log view with a long log: the last line is shown, and what assistive tools read of it.
#include <gtest/gtest.h>

#include <QAccessible>

#include "support/support.h"
#include "tcpip/loglist.h"
#include "tcpip/logview.h"

namespace {

constexpr int Lines = 200000;

TEST(LogView, ShowsAndReadsOutItsLastLineAndForgetsClearedLines) {
    tcpip::LogModel model;
    tcpip::LogView view;
    view.setModel(&model);
    view.resize(300, 200);
    view.show();
    for (int i = 0; i < Lines; ++i)
        model.Add(QStringLiteral("línea ") + QString::number(i));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->childCount(), Lines);

    const QModelIndex lastIndex = model.index(Lines - 1);
    view.setCurrentIndex(lastIndex);
    EXPECT_TRUE(view.viewport()->rect().contains(view.visualRect(lastIndex)));
    QAccessibleInterface* last = list->child(Lines - 1);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->text(QAccessible::Name), QStringLiteral("línea 199999"));
    EXPECT_TRUE(last->state().selected);

    model.Clear();
    EXPECT_EQ(list->childCount(), 0);
    EXPECT_EQ(list->child(0), nullptr) << "no item outlives its line";
}

}  // namespace
