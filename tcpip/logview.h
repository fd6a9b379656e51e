// A list view for logs of uniform one-line rows. QListView lays out every row again on each
// insertion, which makes a half-million-line scan log slower with every line; here a row's
// place follows from its number, so adding, scrolling and painting cost the same at any size.
// Screen readers see a list with one item per line; an item is made only when a tool asks for
// that line, so a long log costs them nothing until they read it.
#pragma once

#include <QAbstractItemView>
#include <QAccessible>
#include <QHash>

namespace tcpip {

class LogView final : public QAbstractItemView {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);
    ~LogView() override;

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void reset() override;

    int Row_Height() const;
    int Row_Count() const;
    // The accessible item of a line, made on first demand and kept while the lines stay.
    QAccessibleInterface* Line_Accessible(int row) const;

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
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void changeEvent(QEvent* event) override;

private:
    QModelIndex Row_Index(int row) const;
    void Forget_Line_Accessibles();

    mutable QHash<int, QAccessible::Id> lineAccessibles_;

    mutable int rowHeight_ = 0;  // measured on the first row, kept until the font changes
    int contentWidth_ = 0;       // widest row so far
};

}  // namespace tcpip
