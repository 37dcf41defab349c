#include "app/TForm1Ui.h"

#include <QDockWidget>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>
#include <QTableView>

#include "ui/Magnifier.h"
#include "ui/PanoramaView.h"
#include "ui/PlanView.h"
#include "ui/PointTable.h"

namespace {

QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QLatin1String(name));
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(1);
  panel->setGeometry(geometry);
  return panel;
}

}  // namespace

void TForm1Ui::BuildComponents(QMainWindow* form, const WorkingState& s) {
  auto* client = new QWidget(form);
  client->setObjectName(QStringLiteral("Client"));
  form->setCentralWidget(client);
  Panel3 = new QWidget(client);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setGeometry(0, 0, 900, 145);

  // The labels, 15 pixels a line: in the panel on the left the captions and the values the
  // commands write beside them or on lines of their own; right of the table, where the strip has
  // room, how firmly the stations fix the distance and how far apart two selected points lie.
  QFrame* Panel2 = MakePanel(Panel3, "Panel2", QRect(8, 8, 233, 129));
  const struct {
    QWidget* parent;
    const char* name;
    const char* text;
    QRect geometry;
    QLabel** kept = nullptr;
  } labels[] = {
      {Panel2, "LblCpI", "Cursorposition:", {6, 4, 223, 15}},
      {Panel2, "LblCp", "LblCp", {6, 19, 223, 15}, &LblCp},
      {Panel2, "LblF9", "P0 zu P1: (F9)", {6, 34, 223, 15}},
      {Panel2, "LblP0zu1", "LblP0zu1", {96, 34, 133, 15}, &LblP0zu1},
      {Panel2, "LblF10", "P0 zu P2: (F10)", {6, 49, 223, 15}},
      {Panel2, "LblP0zu2", "LblP0zu2", {96, 49, 133, 15}, &LblP0zu2},
      {Panel2, "LblF11", "P1 zu P0: (F11)", {6, 64, 223, 15}},
      {Panel2, "LblP1zu0", "LblP1zu0", {96, 64, 133, 15}, &LblP1zu0},
      {Panel2, "LblF12", "P2 zu P0: (F12)", {6, 79, 223, 15}},
      {Panel2, "LblP2zu0", "LblP2zu0", {96, 79, 133, 15}, &LblP2zu0},
      {Panel2, "LblP0NP", "LblP0NP", {6, 109, 70, 15}, &LblP0NP},
      {Panel2, "LblP1NP", "LblP1NP", {80, 109, 70, 15}},
      {Panel2, "LblP2NP", "LblP2NP", {154, 109, 75, 15}},
      {Panel2, "LblPosition", "", {6, 94, 223, 15}, &LblPosition},
      {Panel3, "LblStrength", "", {938, 8, 180, 124}, &LblStrength},
      {Panel3, "LblPair", "", {1122, 8, 180, 64}, &LblPair},
  };
  for (const auto& l : labels) {
    auto* label = new QLabel(QString::fromUtf8(l.text), l.parent);
    label->setObjectName(QLatin1String(l.name));
    label->setGeometry(l.geometry);
    if (l.parent == Panel3) label->setAlignment(Qt::AlignLeft | Qt::AlignTop);  // several lines
    if (l.kept != nullptr) *l.kept = label;
  }

  const char* magnifierPanels[] = {"Panel1", "Panel4", "Panel5"};
  for (int station = 0; station < 3; ++station) {
    QFrame* panel =
        MakePanel(Panel3, magnifierPanels[station], QRect(248 + 136 * station, 8, 129, 129));
    magnifiers[station] = new Magnifier(station, s, panel);
    magnifiers[station]->setObjectName(QStringLiteral("PaintBox%1").arg(station + 4));
    magnifiers[station]->setGeometry(1, 1, 127, 127);
  }

  GridModel = new PointTableModel(form);
  StringGrid1 = new QTableView(Panel3);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setGeometry(656, 8, 275, 129);
  StringGrid1->setModel(GridModel);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  // Ctrl+click adds a row: two selected points show how far apart they lie.
  StringGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  StringGrid1->setFocusPolicy(Qt::ClickFocus);
  StringGrid1->verticalHeader()->hide();
  StringGrid1->verticalHeader()->setDefaultSectionSize(16);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(50);
  StringGrid1->horizontalHeader()->setMinimumSectionSize(10);
  StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);

  auto* Edit1 = new QLineEdit(Panel3);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setEnabled(false);
  Edit1->hide();

  // The scroll boxes lie over the strip's bottom edge, so they are made after it.
  constexpr int kSurfaceOffsetX[] = {8, 0, -24};
  for (int station = 0; station < 3; ++station) {
    auto* view = views[station] = new PanoramaView(station, kSurfaceOffsetX[station], s, client);
    view->setObjectName(QStringLiteral("ScrollBox%1").arg(station + 1));
    view->viewport()->setObjectName(QStringLiteral("PaintBox%1").arg(station + 1));
    view->SetMagnifier(magnifiers[station]);
  }
  views[0]->move(8, 144);
  views[1]->move(0, 143);
}

void TForm1Ui::BuildPlan(QMainWindow* form, const WorkingState& s, char decimalSeparator) {
  GrundrissDock = new QDockWidget(QStringLiteral("Grundriss"), form);
  GrundrissDock->setObjectName(QStringLiteral("GrundrissDock"));
  Grundriss = new PlanView(s, GrundrissDock);
  Grundriss->setObjectName(QStringLiteral("Grundriss"));
  Grundriss->SetDecimalSeparator(QLatin1Char(decimalSeparator));
  GrundrissDock->setWidget(Grundriss);
  form->addDockWidget(Qt::RightDockWidgetArea, GrundrissDock);
  GrundrissDock->hide();
}

void TForm1Ui::BuildStatusBar(QMainWindow* form) {
  LblMode = new QLabel(form->statusBar());
  LblMode->setObjectName(QStringLiteral("LblMode"));
  LblStep = new QLabel(form->statusBar());
  LblStep->setObjectName(QStringLiteral("LblStep"));
  form->statusBar()->addWidget(LblMode);
  form->statusBar()->addWidget(LblStep, 1);
  form->statusBar()->setSizeGripEnabled(false);
}
