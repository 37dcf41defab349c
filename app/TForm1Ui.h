#pragma once

#include <array>

class QDockWidget;
class QLabel;
class QMainWindow;
class QTableView;
class QWidget;
class Magnifier;
class PanoramaView;
class PlanView;
class PointTableModel;
struct WorkingState;

// The main window's components as its form lays them out: every widget with its object name,
// visible text and place, the hidden ones included, and the views wired to their magnifiers.
// Like a form file it holds no behaviour; TForm1 builds it and connects the components to their
// handlers.
struct TForm1Ui {
  // The client area: the strip along the top with the status panel, the magnifiers and the point
  // table, and the three panorama views below it.
  void BuildComponents(QMainWindow* form, const WorkingState& s);
  // The plan, in a dock on the right, hidden at first.
  void BuildPlan(QMainWindow* form, const WorkingState& s, char decimalSeparator);
  // The mode and what to do next in it, in words.
  void BuildStatusBar(QMainWindow* form);

  QWidget* Panel3 = nullptr;
  // The labels the commands write.
  QLabel *LblCp = nullptr, *LblP0zu1 = nullptr, *LblP0zu2 = nullptr, *LblP1zu0 = nullptr,
         *LblP2zu0 = nullptr, *LblP0NP = nullptr, *LblPosition = nullptr, *LblStrength = nullptr,
         *LblPair = nullptr;
  QLabel *LblMode = nullptr, *LblStep = nullptr;
  PointTableModel* GridModel = nullptr;
  QTableView* StringGrid1 = nullptr;
  std::array<Magnifier*, 3> magnifiers{};  // PaintBox4 to PaintBox6
  std::array<PanoramaView*, 3> views{};    // ScrollBox1 to ScrollBox3
  QDockWidget* GrundrissDock = nullptr;
  PlanView* Grundriss = nullptr;
};
