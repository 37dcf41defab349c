#include "app/TForm1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSettings>
#include <QTableView>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <functional>

#include "commands/Adjust.h"
#include "commands/HandOver.h"
#include "commands/Help.h"
#include "commands/Modes.h"
#include "commands/Panoramas.h"
#include "commands/PlanExport.h"
#include "commands/Points.h"
#include "commands/Project.h"
#include "commands/Readouts.h"
#include "commands/Views.h"
#include "ui/Magnifier.h"
#include "ui/PanoramaView.h"
#include "ui/PlanView.h"
#include "ui/PointTable.h"

namespace {

MouseAt Aimed(QPointF aim, QPoint drag) {
  return {Real{aim.x()}, Real{aim.y()}, drag.x(), drag.y()};
}

}  // namespace

TForm1::TForm1(Platform& platform, char decimalSeparator, const QString& project, QWidget* parent)
    : QMainWindow(parent), platform_(platform), context_(s_, platform, *this, decimalSeparator) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Molvan Torbel* V1.07"));
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(8);
  setFont(font);
  BuildComponents(this, s_);
  BuildPlan(this, s_, context_.separator);
  ConnectComponents();
  BuildMenus();
  BuildStatusBar(this);
  ShowMode();
  RestoreWindowSettings();
  Guarded([&] { FormCreate(project); });
  // Key preview: the window sees its keys and the wheel before its controls do.
  QCoreApplication::instance()->installEventFilter(this);
}

TForm1::~TForm1() {
  QCoreApplication::instance()->removeEventFilter(this);
}

void TForm1::ConnectComponents() {
  centralWidget()->installEventFilter(this);
  for (int station = 0; station < 3; ++station) {
    PanoramaView* view = views[station];
    centred_[station].Attach(view);
    connect(view, &PanoramaView::SurfaceMouseMove, this,
            [this, station](Qt::KeyboardModifiers mods, Qt::MouseButtons buttons, QPointF aim,
                            QPoint drag) {
              zoom_.MouseOver(station);
              Guarded([&] { PaintBoxMouseMove(station, mods, buttons, Aimed(aim, drag)); });
            });
    connect(view, &PanoramaView::SurfaceClicked, this,
            [this, station](Qt::KeyboardModifiers mods, QPointF aim) {
              Guarded([&] { PaintBoxClick(station, mods, Aimed(aim, QPoint())); });
            });
    connect(view, &PanoramaView::SurfaceMouseDown, this,
            [this](Qt::MouseButton button, QPointF aim, QPoint drag) {
              Guarded([&] { PaintBoxMouseDown(button, Aimed(aim, drag)); });
            });
  }
  zoom_.Attach(views, magnifiers, Grundriss);
  connect(Grundriss, &PlanView::PointClicked, this,
          [this](int index, bool ctrl) { Guarded([&] { PlanPointClicked(index, ctrl); }); });

  StringGrid1->viewport()->installEventFilter(this);
  connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (ignoreSelection_ || !current.isValid()) return;
            Guarded([&] { StringGrid1SelectCell(current.column(), current.row()); });
          });
  // The plan shows the rows selected (Ctrl+click adds one) as its selected points; two of them,
  // how far apart they lie.
  connect(StringGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    std::vector<int> selected;
    for (const int row : SelectedRows())
      if (row < GridModel->PointRows()) selected.push_back(row);
    Grundriss->SetSelectedPoints(selected);
    if (ignoreSelection_) return;
    Guarded([&] { ShowSelectedPair(context_); });
  });
}

void TForm1::BuildMenus() {
  const auto menu = [this](const char* title, const char* name) {
    QMenu* added = menuBar()->addMenu(QString::fromUtf8(title));
    added->setObjectName(QLatin1String(name));
    return added;
  };
  QMenu* const Datei1 = menu("&Datei", "Datei1");
  QMenu* const Bearbeiten1 = menu("&Bearbeiten", "Bearbeiten1");
  QMenu* const Ansicht1 = menu("&Ansicht", "Ansicht1");
  QMenu* const Hilfe1 = menu("&Hilfe", "Hilfe1");
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));

  // Every command of the menus in its place: the action's name, caption and command, and its
  // shortcuts; an entry without a name is a separator.
  const auto panorama = [](int station) {
    return [station](Context& c) { LoadPanorama(c, station); };
  };
  const auto zoom = [this](int steps) { return [this, steps](Context&) { zoom_.ZoomBy(steps); }; };
  const struct {
    QMenu* menu;
    const char* name = nullptr;
    const char* caption = nullptr;
    std::function<void(Context&)> command = {};
    const char* keys = "";
    QAction** kept = nullptr;  // the actions the window enables and disables
  } entries[] = {
      {Datei1, "Laden1", "Projekt &laden...", LoadProject, "", &Laden1},
      // Stays available: one project a window, but as many windows as the user likes.
      {Datei1, "ProjektinneuemFensterffnen1", "Projekt in neuem &Fenster öffnen...",
       OpenInNewWindow},
      {Datei1, "Speichern1", "Projekt &speichern...", SaveProject},
      {Datei1, "Punkteexportieren1", "Punkte &exportieren...", ExportPoints, "Ctrl+E"},
      {Datei1, "PunkteAlsDxf1", "Punkte als &DXF exportieren...", ExportDxf},
      {Datei1, "GrundrissSpeichern1", "Grundriss als &PDF oder SVG speichern...", SavePlan},
      {Datei1},
      {Datei1, "Standortpanoladen1", "Standortpano laden...", panorama(0)},
      {Datei1, "Vermessungspano1laden1", "Vermessungspano 1 laden...", panorama(1)},
      {Datei1, "Vermessungspano2laden1", "Vermessungspano 2 laden...", panorama(2)},
      {Datei1},
      {Datei1, "Beenden1", "&Beenden", [this](Context&) { close(); }},
      {Bearbeiten1, "Rckgngig1", "&Rückgängig", Undo, "Ctrl+Z", &Rckgngig1},
      {Bearbeiten1, "Wiederholen1", "&Wiederholen", Redo, "Ctrl+Y", &Wiederholen1},
      {Bearbeiten1},
      {Bearbeiten1, "Stationenbestimmen1", "&Stationen aus den Bildern bestimmen...",
       DetermineStations},
      {Bearbeiten1, "Einstellungen1", "&Einstellungen...", EditSettings},
      // Ctrl and the key that carries + or - on the main keyboard or the keypad; "=" is where US
      // keyboards have "+" unshifted.
      {Ansicht1, "Vergrern1", "Ver&größern", zoom(1), "Ctrl++; Ctrl+=; Ctrl+Num++"},
      {Ansicht1, "Verkleinern1", "Ver&kleinern", zoom(-1), "Ctrl+-; Ctrl+Num+-"},
      {Ansicht1, "Originalgre1", "&Originalgröße", [this](Context&) { zoom_.ZoomToOriginal(); },
       "Ctrl+0; Ctrl+Num+0"},
      {Ansicht1},
      {Hilfe1, "Tastenkrzel1", "&Tastenkürzel", ShowKeys},
      {Hilfe1, "InfoberTorbel1", "&Info über Torbel", ShowAbout},
      {PopupMenu1, "Punkteditieren1", "Punkt editieren", EditPoint, "", &Punkteditieren1},
      {PopupMenu1, "Punktlschen1", "Punkt löschen", DeletePoint},
      {PopupMenu1, "PunktlisteabCursorerzeugen1", "Punktliste ab Cursor erzeugen", HandOver},
  };
  for (const auto& entry : entries) {
    if (entry.name == nullptr) {
      entry.menu->addSeparator();
      continue;
    }
    QAction* action = entry.menu->addAction(QString::fromUtf8(entry.caption));
    action->setObjectName(QLatin1String(entry.name));
    if (*entry.keys != '\0') action->setShortcuts(QKeySequence::listFromString(entry.keys));
    connect(action, &QAction::triggered, this,
            [this, command = entry.command] { Guarded([&] { command(context_); }); });
    if (entry.kept != nullptr) *entry.kept = action;
  }
  // The plan's dock brings the action that shows and hides it.
  QAction* Grundriss1 = GrundrissDock->toggleViewAction();
  Grundriss1->setText(QStringLiteral("&Grundriss"));
  Grundriss1->setObjectName(QStringLiteral("Grundriss1"));
  Ansicht1->addAction(Grundriss1);
  EnableUndo(false, false);

  // The menu opens on a row; where the click hits none, a command would act on the row
  // selected before.
  connect(StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    if (StringGrid1->indexAt(p).isValid()) {
      Punkteditieren1->setEnabled(PointEditable(context_));
      PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(p));
    }
  });
}

void TForm1::ShowMode() {
  if (LblMode == nullptr) return;
  const ModeWords words = ModeText(context_);
  LblMode->setText(words.mode);
  LblStep->setText(words.step);
}

void TForm1::RefreshPlan() {
  if (Grundriss != nullptr && GrundrissDock->isVisible()) Grundriss->Refresh();
}

void TForm1::PlanPointClicked(int index, bool ctrl) {
  // As a click on the point's row does, while the table takes a selection; with Ctrl, as a
  // Ctrl+click there: the row joins the selection, or leaves it.
  if (!StringGrid1->isEnabled()) return;
  if (ctrl) {
    StringGrid1->selectionModel()->select(GridModel->index(index, 0),
                                          QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    return;
  }
  ::SelectRow(context_, index);
}

QString TForm1::WindowSettingsPath() {
  return platform_.ConfigDir() + QStringLiteral("torbel/Fenster.ini");
}

void TForm1::RestoreWindowSettings() {
  QSettings settings(WindowSettingsPath(), QSettings::IniFormat);
  restoreState(settings.value(QStringLiteral("Fenster/Zustand")).toByteArray());
}

void TForm1::SaveWindowSettings() {
  QSettings settings(WindowSettingsPath(), QSettings::IniFormat);
  settings.setValue(QStringLiteral("Fenster/Zustand"), saveState());
}

void TForm1::FormCreate(const QString& project) {
  move(0, 0);
  GridModel->SetHeader(QStringLiteral("Pkt.#,Hor.(°),Vert.(°),Entf.(m),Marken"));
  // Qt paints every widget double-buffered; there is nothing to switch on.
  StartSession(context_);
  FormResize();
  CentreOnWork(context_);
  OpenAtStart(context_, project);
}

void TForm1::FormResize() {
  const int W = centralWidget()->width();
  const int H = centralWidget()->height();
  Panel3->resize(W, Panel3->height());
  const int P = Panel3->height();
  views[0]->resize(((W - 16) / 3) * 2, H - P - 8);
  views[1]->setGeometry(((W - 8) / 3) * 2 + 8, views[1]->y(), (W - 8) / 3, (H - P - 16) / 2);
  views[2]->setGeometry(((W - 8) / 3) * 2 + 8, (H - P - 8) / 2 + P, (W - 8) / 3, (H - P - 8) / 2);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // Input reaches the window's QWindow once, before any of its widgets; dialogs and menus have
  // windows of their own, so their keys stay theirs. The plan floated as a window of its own is
  // still part of this one: its keys turn the distance and change the mode as well.
  const bool floatingPlan = GrundrissDock != nullptr && GrundrissDock->isFloating() &&
                            watched == static_cast<QObject*>(GrundrissDock->windowHandle());
  if (watched->isWindowType() &&
      (watched == static_cast<QObject*>(windowHandle()) || floatingPlan)) {
    switch (event->type()) {
      case QEvent::KeyPress:
        return FormKeyPreview(*static_cast<QKeyEvent*>(event));
      case QEvent::KeyRelease:
        FormKeyRelease(*static_cast<QKeyEvent*>(event));
        return false;
      case QEvent::Wheel:
        return FormWheel(*static_cast<QWheelEvent*>(event));
      default:
        break;
    }
  }
  if (StringGrid1 != nullptr && watched == StringGrid1->viewport() &&
      event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      // The row under the mouse is selected (and shown) before the context menu opens on it.
      Guarded([&] { StringGrid1MouseDown(mouse->button(), mouse->position().toPoint()); });
      return true;
    }
  }
  if (watched == centralWidget() && event->type() == QEvent::Resize) {
    Guarded([this] { FormResize(); });
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TForm1::FormKeyPreview(const QKeyEvent& key) {
  if (const std::optional<int> count = heldKey_.Continues(key)) s_.RepeatCount = *count;
  const int code = VirtualKeyCode(key);
  Guarded([&] { FormKeyDown(code, key.modifiers()); });
  // The focused control gets the key as well, but for the arrow keys while they aim: a list or
  // view that moved by them would move the aim on.
  return code >= VkLeft && code <= VkDown && PointerOverPanorama();
}

void TForm1::FormKeyRelease(const QKeyEvent& key) {
  // A held key repeats as release and press pairs marked as auto-repeat: not releases.
  if (key.isAutoRepeat()) return;
  heldKey_.Released(key, s_.RepeatCount);
  Guarded([&] { FormKeyUp(VirtualKeyCode(key), key.modifiers()); });
}

bool TForm1::FormWheel(const QWheelEvent& wheel) {
  const ZoomRouter::Wheel use = zoom_.Route(wheel);
  if (use == ZoomRouter::Wheel::NoZoom) Guarded([&] { FormMouseWheel(wheel.angleDelta().y()); });
  // Over the plan the wheel is the plan's; elsewhere it has no other use: no view or list
  // scrolls by it.
  return use != ZoomRouter::Wheel::Plan;
}

bool TForm1::PointerOverPanorama() const {
  return std::any_of(views.begin(), views.end(), [](const PanoramaView* view) {
    const QWidget* surface = view->viewport();
    return surface->rect().contains(surface->mapFromGlobal(QCursor::pos()));
  });
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery() && FormClose()) {
    event->accept();
  } else {
    event->ignore();
  }
}

bool TForm1::FormCloseQuery() {
  bool mayClose = false;
  return Guarded([this, &mayClose] { mayClose = SaveAtClose(context_); }) && mayClose;
}

bool TForm1::FormClose() {
  // A settings file that cannot be written is reported, but keeps no one from closing: in a
  // write-protected program folder the window could otherwise never close.
  Guarded([this] { WriteSettingsFile(context_); });
  context_.projectLock.Release();
  SaveWindowSettings();
  s_.Pano0 = PanoPicture();
  s_.Pano1 = PanoPicture();
  s_.Pano2 = PanoPicture();
  s_.Points.Clear();
  return true;
}

// The handlers.

void TForm1::PaintBoxMouseMove(int station, Qt::KeyboardModifiers Shift, Qt::MouseButtons buttons,
                               const MouseAt& at) {
  PanoramaMouseMove(context_, station, Shift & Qt::ShiftModifier, buttons & Qt::LeftButton, at);
}
void TForm1::PaintBoxMouseDown(Qt::MouseButton Button, const MouseAt& at) {
  PanoramaMouseDown(context_, Button == Qt::LeftButton, at.dragX, at.dragY);
}
void TForm1::PaintBoxClick(int station, Qt::KeyboardModifiers Shift, const MouseAt& at) {
  PanoramaClick(context_, station, at, Shift & Qt::ShiftModifier);
}
void TForm1::FormKeyDown(int Key, Qt::KeyboardModifiers Shift) {
  KeyDown(context_, Key, Shift & Qt::ControlModifier);
}
void TForm1::FormKeyUp(int, Qt::KeyboardModifiers) {
  KeyUp(context_);
}
void TForm1::FormMouseWheel(int angleDelta) {
  MouseWheel(context_, angleDelta);
}
void TForm1::StringGrid1SelectCell(int, int row) {
  SelectCell(context_, row);
}
void TForm1::StringGrid1MouseDown(Qt::MouseButton Button, QPoint position) {
  if (Button != Qt::RightButton) return;
  const QModelIndex cell = StringGrid1->indexAt(position);
  if (cell.isValid()) ::SelectRow(context_, cell.row());
}

// The window as the commands see it.

void TForm1::SetLabel(Label label, const QString& text) {
  QLabel* const labels[] = {LblCp,   LblP0zu1,    LblP0zu2,    LblP1zu0, LblP2zu0,
                            LblP0NP, LblPosition, LblStrength, LblPair};
  labels[static_cast<int>(label)]->setText(text);
}
void TForm1::EnableLoad(bool enabled) {
  Laden1->setEnabled(enabled);
}
void TForm1::EnableUndo(bool undo, bool redo) {
  Rckgngig1->setEnabled(undo);
  Wiederholen1->setEnabled(redo);
}

void TForm1::MarkViewForRepaint(int station) {
  views[station]->MarkForRepaint();
}
void TForm1::MarkMagnifierForRepaint(int station) {
  magnifiers[station]->MarkForRepaint();
}

// One paint of everything pending: each view and magnifier is painted once, and the screen is
// updated once, however many repaints were asked for.
void TForm1::PaintNow() {
  RefreshPlan();
  QEvent request(QEvent::UpdateRequest);
  QCoreApplication::sendEvent(this, &request);
  // A floating plan is a window of its own.
  if (GrundrissDock->isVisible() && GrundrissDock->isFloating()) {
    QCoreApplication::sendEvent(GrundrissDock, &request);
  }
}

void TForm1::EnableTable(bool enabled) {
  StringGrid1->setEnabled(enabled);
}
int TForm1::PointRows() const {
  return GridModel->PointRows();
}
void TForm1::AppendRows(std::vector<TableRow> rows) {
  Quietly([&] { GridModel->AppendRows(std::move(rows)); });
}
void TForm1::RemoveRow(int row) {
  Quietly([&] { GridModel->RemoveRow(row); });
}
void TForm1::InsertRow(int row, TableRow texts) {
  Quietly([&] { GridModel->InsertRow(row, std::move(texts)); });
}
void TForm1::ReplaceRow(int row, TableRow texts) {
  GridModel->ReplaceRow(row, std::move(texts));
}
int TForm1::SelectedRow() const {
  const QModelIndex current = StringGrid1->currentIndex();
  return current.isValid() ? current.row() : 0;
}
std::vector<int> TForm1::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : StringGrid1->selectionModel()->selectedRows())
    rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}
void TForm1::SelectRow(int row) {
  Quietly([&] { StringGrid1->setCurrentIndex(GridModel->index(row, 0)); });
}
