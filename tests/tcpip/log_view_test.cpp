// The log view with a long log: where its lines are, and what assistive tools read of them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QScrollBar>

#include "support/support.h"
#include "tcpip/loglist.h"
#include "tcpip/logview.h"

namespace {

constexpr int Lines = 200000;

TEST(LogView, PlacesScrollsAndReadsOutItsLinesByNumber) {
    tcpip::LogModel model;
    tcpip::LogView view;
    view.setModel(&model);
    view.resize(300, 200);
    view.show();
    for (int i = 0; i < Lines; ++i)
        model.Add(QStringLiteral("línea ") + QString::number(i));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_EQ(list->childCount(), Lines);

    const QModelIndex lastIndex = model.index(Lines - 1);
    view.setCurrentIndex(lastIndex);
    EXPECT_TRUE(view.viewport()->rect().contains(view.visualRect(lastIndex)));
    EXPECT_EQ(view.indexAt(view.visualRect(lastIndex).center()), lastIndex);
    EXPECT_FALSE(view.indexAt(QPoint(5, view.visualRect(lastIndex).bottom() + 2)).isValid());
    QAccessibleInterface* last = list->child(Lines - 1);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->role(), QAccessible::ListItem);
    EXPECT_EQ(last->text(QAccessible::Name), QStringLiteral("línea 199999"));
    EXPECT_TRUE(last->state().selected);
    EXPECT_FALSE(list->child(7)->state().selected);
    EXPECT_EQ(list->child(7)->text(QAccessible::Name), QStringLiteral("línea 7"));
    EXPECT_EQ(list->child(Lines - 1), last) << "a line's item is made once";
    EXPECT_EQ(list->indexOfChild(last), Lines - 1);
    EXPECT_EQ(last->parent(), list);
    EXPECT_EQ(list->focusChild(), last);
    const QPoint centre = last->rect().center();
    EXPECT_EQ(list->childAt(centre.x(), centre.y()), last);
    EXPECT_EQ(list->child(Lines), nullptr);

    view.scrollTo(model.index(500), QAbstractItemView::PositionAtTop);
    EXPECT_EQ(view.indexAt(QPoint(5, 1)).row(), 500);
    model.Clear();
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(list->childCount(), 0);
    EXPECT_EQ(list->child(0), nullptr);
}

}  // namespace
