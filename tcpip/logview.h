// A list view for logs of uniform one-line rows. QListView lays out every row again on each
// insertion, which makes a half-million-line scan log slower with every line; here a row's
// place follows from its number, so adding, scrolling and painting cost the same at any size.
#pragma once

#include <QAbstractItemView>

namespace tcpip {

class LogView final : public QAbstractItemView {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void reset() override;

    int RowHeight() const;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void changeEvent(QEvent* event) override;

private:
    int Row_Count() const;
    QModelIndex Row_Index(int row) const;

    mutable int rowHeight_ = 0;  // measured on the first row, kept until the font changes
    int contentWidth_ = 0;       // widest row so far
};

}  // namespace tcpip
