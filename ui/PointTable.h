#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

// The point table's texts: a header row and one row of four cells per stored point, followed by
// an empty row. Rows are plain texts so that a table of 100,000 points fills at once.
class PointTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kColumns = 4;
  using Row = std::array<QString, kColumns>;

  explicit PointTableModel(QObject* parent = nullptr);

  // The header cells from a comma-separated text.
  void SetHeader(const QString& commaText);
  // The rows of the points; the empty last row is added by the model.
  void SetRows(std::vector<Row> rows);
  const QStringList& Header() const { return header_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QStringList header_;
  std::vector<Row> rows_;
};
