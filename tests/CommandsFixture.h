#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

#include "commands/Context.h"
#include "commands/Modes.h"
#include "commands/Points.h"
#include "commands/Project.h"
#include "commands/Views.h"
#include "core/Guarded.h"
#include "core/KeyCodes.h"
#include "geometry/Mapping.h"
#include "tests/ClassicPanorama.h"
#include "tests/ScriptedPlatform.h"
#include "tests/TestFiles.h"

// A panorama view as the commands see it: a visible area of a fixed size over the scrolled area
// of its surface, the positions clamped as a scroll box clamps them.
struct FakeView : CentredView {
  explicit FakeView(int surfaceOffsetX) : extentX(PanoWidth + surfaceOffsetX) {}
  int ClientWidth() const override { return width; }
  int ClientHeight() const override { return height; }
  std::int32_t HorizontalPosition() const override { return x; }
  std::int32_t VerticalPosition() const override { return y; }
  void SetHorizontalPosition(std::int32_t p) override { x = std::clamp(p, 0, extentX - width); }
  void SetVerticalPosition(std::int32_t p) override { y = std::clamp(p, 0, PanoHeight - height); }
  void RepaintViewAndMagnifier() override { ++repaints; }

  int extentX;
  int width = 640, height = 530;
  std::int32_t x = 0, y = 0;
  int repaints = 0;
};

// The main window as the commands see it, recording what they did to it.
struct FakeWindow : Window {
  std::map<Label, QString> labels = {
      {Label::Cp, QStringLiteral("LblCp")},       {Label::P0zu1, QStringLiteral("LblP0zu1")},
      {Label::P0zu2, QStringLiteral("LblP0zu2")}, {Label::P1zu0, QStringLiteral("LblP1zu0")},
      {Label::P2zu0, QStringLiteral("LblP2zu0")}, {Label::P0NP, QStringLiteral("LblP0NP")}};
  QString caption = QStringLiteral("Molvan Torbel* V1.07");
  bool loadEnabled = true, tableEnabled = true, minimised = false, maximised = false;
  bool undoEnabled = false, redoEnabled = false;
  std::array<FakeView, 3> views{FakeView(8), FakeView(0), FakeView(-24)};
  std::array<int, 3> viewMarks{}, magnifierMarks{};
  int paints = 0;
  std::vector<TableRow> rows;
  int selected = 0;
  std::vector<int> selectedRows;

  void SetLabel(Label label, const QString& text) override { labels[label] = text; }
  QString Caption() const override { return caption; }
  void SetCaption(const QString& text) override { caption = text; }
  void EnableLoad(bool enabled) override { loadEnabled = enabled; }
  void EnableUndo(bool undo, bool redo) override {
    undoEnabled = undo;
    redoEnabled = redo;
  }
  CentredView& View(int station) override { return views[static_cast<std::size_t>(station)]; }
  void MarkViewForRepaint(int station) override { ++viewMarks[static_cast<std::size_t>(station)]; }
  void MarkMagnifierForRepaint(int station) override {
    ++magnifierMarks[static_cast<std::size_t>(station)];
  }
  void PaintNow() override { ++paints; }
  void EnableTable(bool enabled) override { tableEnabled = enabled; }
  int PointRows() const override { return static_cast<int>(rows.size()); }
  void AppendRows(std::vector<TableRow> more) override {
    rows.reserve(rows.size() + more.size());  // all or none, as the table does
    rows.insert(rows.end(), more.begin(), more.end());
  }
  void RemoveRow(int row) override { rows.erase(rows.begin() + row); }
  void InsertRow(int row, TableRow texts) override {
    rows.insert(rows.begin() + row, std::move(texts));
  }
  void ReplaceRow(int row, TableRow texts) override { rows.at(row) = std::move(texts); }
  int SelectedRow() const override { return selected; }
  std::vector<int> SelectedRows() const override { return selectedRows; }
  // A row that is not there leaves the table without a current row, which reads as the first.
  void SelectRow(int row) override { selected = row >= 0 && row <= PointRows() ? row : 0; }
  void Minimise() override { minimised = true; }
  void Maximise() override { maximised = true; }
};

// Commands run as the window runs them, against the scripted user and the recording window.
struct Commands : ::testing::Test {
  QTemporaryDir dir;
  WorkingState s;
  ScriptedPlatform platform;
  FakeWindow window;
  Context c{s, platform, window, ','};

  Commands() {
    // The executable's directory, where the settings file lives, is the test's own.
    platform.exeDir = dir.path() + QLatin1Char('/');
    StartSession(c);
  }

  // Errors end in the error box, as from the window.
  template <typename Command>
  bool Run(Command&& command) {
    return Guarded(platform, std::forward<Command>(command));
  }
  void Key(int code) {
    Run([&] { KeyDown(c, code); });
  }
  void MoveOver(int station, int x, int y, bool shift = false, bool leftButton = false) {
    Run([&] { PanoramaMouseMove(c, station, shift, leftButton, x, y); });
  }
  QString Label(Window::Label label) { return window.labels[label]; }
  QString Cell(int row, int column) {
    return window.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  }

  // P1 and P2 stand 10 m from P0 on level ground at a right angle, all panoramas sharing their
  // zero direction; measured with the keys as a user would.
  void MeasureStations() {
    const int ground = VertToPixel(-std::atan(1.6L / 10) * RadToDeg);
    MoveOver(0, 4080, ground);  // 0 degrees
    Key(VkF9);
    platform.inputAnswers = {QStringLiteral("10")};
    Key(VkReturn);
    MoveOver(0, 6120, ground);  // 90 degrees
    Key(VkF10);
    platform.inputAnswers = {QStringLiteral("10")};
    Key(VkReturn);
    Key(VkF11);
    MoveOver(1, 0, ground);  // 180 degrees
    Key(VkReturn);
    Key(VkF12);
    MoveOver(2, 2040, ground);  // 270 degrees
    Key(VkReturn);
    s.NodalHeight = 1.6L;
    ASSERT_TRUE(platform.errors.empty()) << platform.errors.front().toStdString();
  }

  // Aims at a pixel of P0 in point entry and stores the point with Enter.
  void StorePoint(int x, int y) {
    Key(VkF2);
    ASSERT_EQ(s.Mode, Mode::ModePoint);
    MoveOver(0, x, y);
    Key(VkReturn);
  }

  QString WriteFile(const QString& name, const QByteArray& bytes) {
    return WriteTestFile(QDir(dir.path()), name, bytes);
  }
  QByteArray Read(const QString& path) { return ReadTestFile(path); }
};

// QStrings in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
