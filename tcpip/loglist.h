// The lines of a log list. A two-octet scan writes half a million of them, so adding one
// costs the same at the end as at the start.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace tcpip {

class LogModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void Add(const QString& line);
    void Clear();
    int Count() const { return int(lines_.size()); }
    const QString& Line(int row) const { return lines_[std::size_t(row)]; }

private:
    std::vector<QString> lines_;
};

}  // namespace tcpip
