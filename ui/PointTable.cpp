#include "ui/PointTable.h"

#include <QApplication>
#include <QPalette>

PointTableModel::PointTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void PointTableModel::SetHeader(const QString& commaText) {
  header_ = commaText.split(QLatin1Char(','));
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

const QString& PointTableModel::Cell(int row, int column) const {
  static const QString empty;
  if (row < 0 || row >= PointRows() || column < 0 || column >= kColumns) return empty;
  return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void PointTableModel::AppendRow(Row row) {
  // The empty last row takes the texts (a data change), and a new empty row follows it.
  const int at = PointRows();
  beginInsertRows({}, at + 1, at + 1);
  rows_.push_back(std::move(row));
  endInsertRows();
  emit dataChanged(index(at, 0), index(at, kColumns - 1));
}

void PointTableModel::AppendRows(std::vector<Row> rows) {
  if (rows.empty()) return;
  const int at = PointRows();
  const int added = static_cast<int>(rows.size());
  // Memory runs out here, if at all, before the views are told of rows to come.
  rows_.reserve(rows_.size() + rows.size());
  beginInsertRows({}, at + 1, at + added);
  rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
               std::make_move_iterator(rows.end()));
  endInsertRows();
  emit dataChanged(index(at, 0), index(at, kColumns - 1));
}

void PointTableModel::RemoveRow(int row) {
  if (row < 0 || row >= PointRows()) return;
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void PointTableModel::InsertRow(int row, Row texts) {
  if (row < 0 || row > PointRows()) return;
  beginInsertRows({}, row, row);
  rows_.insert(rows_.begin() + row, std::move(texts));
  endInsertRows();
}

void PointTableModel::ReplaceRow(int row, Row texts) {
  if (row < 0 || row >= PointRows()) return;
  rows_[static_cast<std::size_t>(row)] = std::move(texts);
  emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

void PointTableModel::SetRows(std::vector<Row> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int PointTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : PointRows() + 1;
}

int PointTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant PointTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return Cell(index.row(), index.column());
    case Qt::BackgroundRole:
      // The label column is fixed, like the header.
      if (index.column() == 0) return QApplication::palette().button();
      return {};
    case Qt::TextAlignmentRole:
      return index.column() == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                 : int(Qt::AlignRight | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant PointTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return section < header_.size() ? header_[section] : QString();
}
