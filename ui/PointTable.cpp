#include "ui/PointTable.h"

PointTableModel::PointTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void PointTableModel::SetHeader(const QString& commaText) {
  header_ = commaText.split(QLatin1Char(','));
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

void PointTableModel::SetRows(std::vector<Row> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int PointTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size()) + 1;
}

int PointTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant PointTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const auto row = static_cast<std::size_t>(index.row());
  if (row >= rows_.size()) return QString();
  return rows_[row][static_cast<std::size_t>(index.column())];
}

QVariant PointTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return section < header_.size() ? header_[section] : QString();
}
