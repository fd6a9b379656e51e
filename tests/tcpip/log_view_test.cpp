// The log view with a long log: where its lines are.
#include <gtest/gtest.h>

#include <QScrollBar>

#include "support/support.h"
#include "tcpip/loglist.h"
#include "tcpip/logview.h"

namespace {

constexpr int Lines = 200000;

struct LongLog {
    tcpip::LogModel model;
    tcpip::LogView view;
    LongLog() {
        view.setModel(&model);
        view.resize(300, 200);
        view.show();
        for (int i = 0; i < Lines; ++i)
            model.Add(QStringLiteral("línea ") + QString::number(i));
    }
};

TEST(LogView, PlacesHitsAndScrollsToLinesByNumber) {
    LongLog log;
    const QModelIndex last = log.model.index(Lines - 1);
    log.view.setCurrentIndex(last);
    EXPECT_TRUE(log.view.viewport()->rect().contains(log.view.visualRect(last)));
    EXPECT_EQ(log.view.indexAt(log.view.visualRect(last).center()), last);
    EXPECT_FALSE(log.view.indexAt(QPoint(5, log.view.visualRect(last).bottom() + 2)).isValid());
    log.view.scrollTo(log.model.index(500), QAbstractItemView::PositionAtTop);
    EXPECT_EQ(log.view.indexAt(QPoint(5, 1)).row(), 500);
    log.model.Clear();
    EXPECT_EQ(log.view.verticalScrollBar()->maximum(), 0);
}

}  // namespace
