#include "tcpip/loglist.h"

namespace tcpip {

int LogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant LogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return Line(index.row());
    return {};
}

void LogModel::Add(const QString& line) {
    const int row = Count();
    beginInsertRows({}, row, row);
    lines_.push_back(line);
    endInsertRows();
}

void LogModel::Clear() {
    beginResetModel();
    lines_.clear();
    lines_.shrink_to_fit();
    endResetModel();
}

}  // namespace tcpip
