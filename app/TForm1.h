#pragma once

#include <QMainWindow>
#include <utility>

#include "app/CentredPanoramaView.h"
#include "app/TForm1Ui.h"
#include "commands/Context.h"
#include "commands/Views.h"
#include "commands/Window.h"
#include "core/Guarded.h"
#include "core/Platform.h"
#include "core/WorkingState.h"
#include "ui/Keys.h"
#include "ui/ZoomRouter.h"

class QAction;
class QKeyEvent;
class QWheelEvent;
class QMenu;

// The main window. It builds the components (TForm1Ui lays them out), and carries a handler for
// every event under its own name; each handler forwards to its command in commands/, which works
// on the working state through the narrow window interface this class implements. The menus come
// from one table of actions and their commands. The components are found by their object names
// ("LblCp", "StringGrid1", "ScrollBox1", ...).
class TForm1 : public QMainWindow, private TForm1Ui, private Window {
  Q_OBJECT

 public:
  // decimalSeparator: the locale's, for every number shown or written. project: one named on the
  // command line, loaded at start without a dialog in place of the one the settings offer.
  TForm1(Platform& platform, char decimalSeparator, const QString& project = {},
         QWidget* parent = nullptr);
  ~TForm1() override;

  WorkingState& State() { return s_; }
  // The commands' view of the window, with the dialogs' remembered settings.
  Context& Commands() { return context_; }

  // Runs one command: an error stops it, is shown in the error box, and the program goes on with
  // the state as it stood. Every entry point from the event loop goes through here.
  template <typename Command>
  bool Guarded(Command&& command) {
    const bool done = ::Guarded(platform_, std::forward<Command>(command));
    // Whatever the command changed, the plan and the mode's words show it.
    RefreshPlan();
    ShowMode();
    return done;
  }

  // Start-up, layout and closing.
  void FormCreate(const QString& project);
  void FormResize();
  bool FormCloseQuery();
  bool FormClose();

  // The panorama views: the mouse over a station's view (PaintBox1 to PaintBox3).
  void PaintBoxMouseMove(int station, Qt::KeyboardModifiers Shift, Qt::MouseButtons buttons,
                         const MouseAt& at);
  void PaintBoxMouseDown(Qt::MouseButton Button, const MouseAt& at);
  void PaintBoxClick(int station, Qt::KeyboardModifiers Shift, const MouseAt& at);
  // The same over the surface pixel X, Y of a view at 1:1.
  void PaintBox1MouseMove(Qt::KeyboardModifiers Shift, Qt::MouseButtons buttons, int X, int Y) {
    PaintBoxMouseMove(0, Shift, buttons, At(X, Y));
  }
  void PaintBox2MouseMove(Qt::KeyboardModifiers Shift, Qt::MouseButtons buttons, int X, int Y) {
    PaintBoxMouseMove(1, Shift, buttons, At(X, Y));
  }
  void PaintBox3MouseMove(Qt::KeyboardModifiers Shift, Qt::MouseButtons buttons, int X, int Y) {
    PaintBoxMouseMove(2, Shift, buttons, At(X, Y));
  }
  void PaintBoxMouseDown(Qt::MouseButton Button, int X, int Y) {
    PaintBoxMouseDown(Button, At(X, Y));
  }
  static MouseAt At(int X, int Y) { return {Real{0} + X, Real{0} + Y, X, Y}; }

  // Keys and the wheel.
  void FormKeyDown(int Key, Qt::KeyboardModifiers Shift);
  void FormKeyUp(int Key, Qt::KeyboardModifiers Shift);
  void FormMouseWheel(int angleDelta);
  // The window's input before its controls: keys, their releases and the wheel. A true result
  // keeps the event from the control it was meant for.
  bool FormKeyPreview(const QKeyEvent& key);
  void FormKeyRelease(const QKeyEvent& key);
  bool FormWheel(const QWheelEvent& wheel);

  // The point table.
  void StringGrid1SelectCell(int column, int row);
  void StringGrid1MouseDown(Qt::MouseButton Button, QPoint position);

  // The plan.
  void PlanPointClicked(int index, bool ctrl);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Window
  void SetLabel(Label label, const QString& text) override;
  QString Caption() const override { return windowTitle(); }
  void SetCaption(const QString& caption) override { setWindowTitle(caption); }
  void EnableLoad(bool enabled) override;
  void EnableUndo(bool undo, bool redo) override;
  CentredView& View(int station) override { return centred_[station]; }
  void MarkViewForRepaint(int station) override;
  void MarkMagnifierForRepaint(int station) override;
  void PaintNow() override;
  void EnableTable(bool enabled) override;
  int PointRows() const override;
  void AppendRows(std::vector<TableRow> rows) override;
  void RemoveRow(int row) override;
  void InsertRow(int row, TableRow texts) override;
  void ReplaceRow(int row, TableRow texts) override;
  int SelectedRow() const override;
  std::vector<int> SelectedRows() const override;
  void SelectRow(int row) override;
  void Minimise() override { showMinimized(); }
  void Maximise() override { showMaximized(); }

  // Connects the components to their handlers.
  void ConnectComponents();
  void BuildMenus();
  void RefreshPlan();
  void ShowMode();
  // Where the window keeps the plan (docked or floating, shown or not) between starts.
  QString WindowSettingsPath();
  void RestoreWindowSettings();
  void SaveWindowSettings();
  // Whether the mouse pointer is over a panorama, where the arrow keys aim.
  bool PointerOverPanorama() const;

  Platform& platform_;
  WorkingState s_;
  Context context_;
  HeldKey heldKey_;
  bool ignoreSelection_ = false;  // while the program moves the table's selection
  ZoomRouter zoom_;

  // Changes the table as the program does: the selection it moves raises no selection command.
  template <typename Change>
  void Quietly(Change&& change) {
    struct Restore {
      bool& flag;
      bool was;
      ~Restore() { flag = was; }
    } restore{ignoreSelection_, std::exchange(ignoreSelection_, true)};
    change();
  }

  CentredPanoramaView centred_[3];
  QMenu* PopupMenu1;
  QAction *Laden1, *Rckgngig1, *Wiederholen1, *Punkteditieren1;
};
