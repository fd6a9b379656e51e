#include "tcpip/logview.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <climits>

namespace tcpip {
namespace {

// One line of a log, as assistive tools see it.
class LineAccessible final : public QAccessibleInterface {
public:
    LineAccessible(LogView* view, int row) : view_(view), row_(row) {}

    bool isValid() const override { return view_ && row_ < view_->Row_Count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return view_ ? QAccessible::queryAccessibleInterface(view_) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Value))
            return {};
        return Index().data(Qt::DisplayRole).toString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect r = view_->visualRect(Index());
        return QRect(view_->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const QModelIndex index = Index();
        s.selectable = s.focusable = true;
        s.selected = view_->selectionModel() && view_->selectionModel()->isSelected(index);
        s.focused = view_->hasFocus() && view_->currentIndex() == index;
        s.offscreen = !view_->viewport()->rect().intersects(view_->visualRect(index));
        return s;
    }

    const LogView* View() const { return view_; }
    int Row() const { return row_; }

private:
    QModelIndex Index() const { return view_->model()->index(row_, 0, view_->rootIndex()); }

    QPointer<LogView> view_;
    int row_;
};

// The log as a list whose children are its lines.
class LogAccessible final : public QAccessibleWidget {
public:
    explicit LogAccessible(LogView* view) : QAccessibleWidget(view, QAccessible::List) {}

    int childCount() const override { return View()->Row_Count(); }
    QAccessibleInterface* child(int index) const override { return View()->Line_Accessible(index); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* line = dynamic_cast<const LineAccessible*>(child);
        return line && line->View() == View() && line->isValid() ? line->Row() : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint p = View()->viewport()->mapFromGlobal(QPoint(x, y));
        if (!View()->viewport()->rect().contains(p))
            return nullptr;
        const QModelIndex index = View()->indexAt(p);
        return index.isValid() ? child(index.row()) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = View()->currentIndex();
        return current.isValid() ? child(current.row()) : nullptr;
    }

private:
    LogView* View() const { return static_cast<LogView*>(widget()); }
};

QAccessibleInterface* Make_Log_Accessible(const QString& className, QObject* object) {
    auto* view = qobject_cast<LogView*>(object);
    return view && className == QLatin1StringView(LogView::staticMetaObject.className())
               ? new LogAccessible(view)
               : nullptr;
}

// Tells assistive tools which line a change is about; only while the user works in the list,
// so a scan that selects every new line asks nothing of them.
void Announce(LogView* view, QAccessible::Event kind, const QModelIndex& index) {
    if (!QAccessible::isActive() || !index.isValid() || !view->hasFocus())
        return;
    QAccessibleEvent event(view, kind);
    event.setChild(index.row());
    QAccessible::updateAccessibility(&event);
}

}  // namespace

LogView::LogView(QWidget* parent) : QAbstractItemView(parent) {
    static const bool accessible = (QAccessible::installFactory(Make_Log_Accessible), true);
    Q_UNUSED(accessible);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setEditTriggers(NoEditTriggers);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
}

LogView::~LogView() {
    Forget_Line_Accessibles();
}

QAccessibleInterface* LogView::Line_Accessible(int row) const {
    if (row < 0 || row >= Row_Count())
        return nullptr;
    if (const QAccessible::Id id = lineAccessibles_.value(row))
        return QAccessible::accessibleInterface(id);
    auto* line = new LineAccessible(const_cast<LogView*>(this), row);
    lineAccessibles_.insert(row, QAccessible::registerAccessibleInterface(line));
    return line;
}

void LogView::Forget_Line_Accessibles() {
    for (const QAccessible::Id id : std::as_const(lineAccessibles_))
        QAccessible::deleteAccessibleInterface(id);
    lineAccessibles_.clear();
}

void LogView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QAbstractItemView::currentChanged(current, previous);
    Announce(this, QAccessible::Focus, current);
}

void LogView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QAbstractItemView::selectionChanged(selected, deselected);
    if (!selected.isEmpty())
        Announce(this, QAccessible::Selection, selected.front().topLeft());
}

void LogView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    Forget_Line_Accessibles();  // the lines after them move up
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
}

int LogView::Row_Count() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

QModelIndex LogView::Row_Index(int row) const {
    return model() ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

int LogView::Row_Height() const {
    if (rowHeight_ <= 0) {
        const int margin = style()->pixelMetric(QStyle::PM_FocusFrameVMargin, nullptr, this) + 1;
        rowHeight_ = std::max(1, fontMetrics().height() + 2 * margin);
    }
    return rowHeight_;
}

int LogView::horizontalOffset() const {
    return horizontalScrollBar()->value();
}
int LogView::verticalOffset() const {
    return verticalScrollBar()->value();
}

QRect LogView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.parent() != rootIndex())
        return {};
    const int h = Row_Height();
    const qint64 top = qint64(index.row()) * h - verticalOffset();
    if (top > INT_MAX / 2 || top < INT_MIN / 2)
        return {};
    return QRect(-horizontalOffset(), int(top), std::max(viewport()->width(), contentWidth_), h);
}

QModelIndex LogView::indexAt(const QPoint& point) const {
    const qint64 y = qint64(point.y()) + verticalOffset();
    if (y < 0)
        return {};
    const qint64 row = y / Row_Height();
    return row < Row_Count() ? Row_Index(int(row)) : QModelIndex();
}

void LogView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || index.parent() != rootIndex())
        return;
    const int h = Row_Height();
    const qint64 top = qint64(index.row()) * h;
    const qint64 height = viewport()->height();
    qint64 value = verticalOffset();
    switch (hint) {
        case PositionAtTop:
            value = top;
            break;
        case PositionAtBottom:
            value = top + h - height;
            break;
        case PositionAtCenter:
            value = top - (height - h) / 2;
            break;
        case EnsureVisible:
            if (top < value)
                value = top;
            else if (top + h > value + height)
                value = top + h - height;
            break;
    }
    verticalScrollBar()->setValue(int(std::clamp<qint64>(value, 0, INT_MAX)));
}

QModelIndex LogView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int rows = Row_Count();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    int row = current.isValid() ? current.row() : -1;
    const int page = std::max(1, viewport()->height() / Row_Height() - 1);
    switch (action) {
        case MoveUp:
        case MovePrevious:
            row = row < 0 ? 0 : row - 1;
            break;
        case MoveDown:
        case MoveNext:
            row = row + 1;
            break;
        case MovePageUp:
            row -= page;
            break;
        case MovePageDown:
            row += page;
            break;
        case MoveHome:
            row = 0;
            break;
        case MoveEnd:
            row = rows - 1;
            break;
        case MoveLeft:
        case MoveRight:
            return current;
    }
    return Row_Index(std::clamp(row, 0, rows - 1));
}

void LogView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const int rows = Row_Count();
    if (!selectionModel() || rows == 0)
        return;
    const QRect r = rect.normalized();
    const int h = Row_Height();
    const auto rowAt = [&](int y) {
        return int(std::clamp<qint64>((qint64(y) + verticalOffset()) / h, 0, rows - 1));
    };
    int first = rowAt(r.top());
    const int last = rowAt(r.bottom());
    if (selectionMode() == SingleSelection)
        first = last;
    selectionModel()->select(QItemSelection(Row_Index(first), Row_Index(last)), command);
}

QRegion LogView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const QRect shown = viewport()->rect();
    const int h = Row_Height();
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex())
            continue;
        const qint64 top = qint64(range.top()) * h - verticalOffset();
        const qint64 bottom = qint64(range.bottom() + 1) * h - verticalOffset();
        if (bottom <= shown.top() || top >= shown.bottom() + 1)
            continue;
        region += QRect(
            shown.left(), int(std::max<qint64>(top, shown.top())), shown.width(),
            int(std::min<qint64>(bottom, shown.bottom() + 1) - std::max<qint64>(top, shown.top())));
    }
    return region;
}

void LogView::paintEvent(QPaintEvent* event) {
    const int rows = Row_Count();
    if (rows == 0)
        return;
    // Plain text on plain rows: the item delegate's full text layout costs more than the
    // rest of a scan step.
    QPainter painter(viewport());
    const QPalette::ColorGroup group = !isEnabled()       ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;
    const QPalette& pal = palette();
    const QModelIndex current = currentIndex();
    const bool focus = hasFocus() || viewport()->hasFocus();
    const int h = Row_Height();
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const QRect area = event->rect();
    const int first =
        int(std::clamp<qint64>((qint64(area.top()) + verticalOffset()) / h, 0, rows - 1));
    const int last =
        int(std::clamp<qint64>((qint64(area.bottom()) + verticalOffset()) / h, 0, rows - 1));
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = Row_Index(row);
        const QRect rect = visualRect(index);
        const bool selected = selectionModel() && selectionModel()->isSelected(index);
        if (selected)
            painter.fillRect(rect, pal.brush(group, QPalette::Highlight));
        painter.setPen(pal.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(rect.adjusted(margin, 0, -margin, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         index.data(Qt::DisplayRole).toString());
        if (focus && index == current) {
            QStyleOptionFocusRect o;
            o.initFrom(this);
            o.rect = rect;
            o.backgroundColor = pal.color(group, selected ? QPalette::Highlight : QPalette::Base);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &painter, this);
        }
    }
}

void LogView::updateGeometries() {
    const int h = Row_Height();
    const qint64 content = qint64(Row_Count()) * h;
    const int height = viewport()->height();
    verticalScrollBar()->setSingleStep(h);
    verticalScrollBar()->setPageStep(height);
    verticalScrollBar()->setRange(0, int(std::clamp<qint64>(content - height, 0, INT_MAX)));
    horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 2);
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth_ - viewport()->width()));
    QAbstractItemView::updateGeometries();
}

void LogView::scrollContentsBy(int dx, int dy) {
    viewport()->scroll(dx, dy);
}

void LogView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex())
        return;
    // Only the new rows are measured, so the width costs nothing more as the log grows.
    const QFontMetrics metrics = fontMetrics();
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    for (int row = start; row <= end && row - start < 64; ++row)
        contentWidth_ = std::max(
            contentWidth_,
            metrics.horizontalAdvance(Row_Index(row).data(Qt::DisplayRole).toString()) + margin);
    updateGeometries();
    const qint64 top = qint64(start) * Row_Height() - verticalOffset();
    if (top < viewport()->height())
        viewport()->update();
}

void LogView::reset() {
    Forget_Line_Accessibles();
    QAbstractItemView::reset();
    contentWidth_ = 0;
    updateGeometries();
    viewport()->update();
}

void LogView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        rowHeight_ = 0;
        updateGeometries();
    }
    QAbstractItemView::changeEvent(event);
}

}  // namespace tcpip
