// Filling the point table with 100,000 rows, against QTableWidget with the same texts, side by
// side in one process.
#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ui/PointTable.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRows = 100000;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <typename F>
double Millis(F f) {
  const auto t0 = Clock::now();
  f();
  QApplication::processEvents();
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

std::vector<PointTableModel::Row> Texts() {
  std::vector<PointTableModel::Row> rows;
  rows.reserve(kRows);
  for (int i = 0; i < kRows; ++i) {
    rows.push_back({QStringLiteral(".") + QString::number(i), QString::number(i % 360) + ",25",
                    QString::number(i % 90 - 45) + ",50", QString::number(i % 1000) + ",00"});
  }
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::vector<PointTableModel::Row> texts = Texts();

  std::vector<double> ours, widget, ratio;
  for (int round = 0; round < 6; ++round) {
    PointTableModel model;
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->hide();
    view.resize(225, 129);
    view.show();
    QTableWidget table(0, 4);
    table.verticalHeader()->hide();
    table.resize(225, 129);
    table.show();
    QApplication::processEvents();

    const double a = Millis([&] { model.SetRows(texts); });
    const double b = Millis([&] {
      table.setRowCount(kRows + 1);
      for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < 4; ++c) {
          table.setItem(r, c, new QTableWidgetItem(texts[std::size_t(r)][std::size_t(c)]));
        }
      }
    });
    if (round == 0) continue;
    ours.push_back(a);
    widget.push_back(b);
    ratio.push_back(b / a);
  }
  std::printf("%-44s %9s\n", "what", "median");
  std::printf("%-44s %7.1f ms\n", "point table, 100,000 rows", Median(ours));
  std::printf("%-44s %7.1f ms   %.0f x slower (%s)\n", "QTableWidget, the same texts",
              Median(widget), Median(ratio), qPrintable(QGuiApplication::platformName()));
  return 0;
}
