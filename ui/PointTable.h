#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

// The point table's texts: a header and one row of five cells per stored point, always followed
// by one empty row. Row r of the model is the row of the point at index r; the header is no row
// of it. The rows are plain texts, so that a table of 100,000 points fills at once.
class PointTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kColumns = 5;
  using Row = std::array<QString, kColumns>;

  explicit PointTableModel(QObject* parent = nullptr);

  // The header cells from a comma-separated text.
  void SetHeader(const QString& commaText);
  const QStringList& Header() const { return header_; }

  // Rows with points; the empty last row is not counted.
  int PointRows() const { return static_cast<int>(rows_.size()); }
  const QString& Cell(int row, int column) const;
  // Writes a row into the empty last row and adds a new empty one.
  void AppendRow(Row row);
  // All of them or, should memory run out, none.
  void AppendRows(std::vector<Row> rows);
  // Moves the rows below `row` up by one; labels travel with their rows.
  void RemoveRow(int row);
  // Puts a row with a point back before `row`; the rows from there on move down.
  void InsertRow(int row, Row texts);
  // New texts for a row with a point.
  void ReplaceRow(int row, Row texts);
  void SetRows(std::vector<Row> rows);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QStringList header_;
  std::vector<Row> rows_;
};
