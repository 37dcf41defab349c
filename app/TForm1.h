#pragma once

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTableView>
#include <exception>

#include "app/Platform.h"
#include "app/WorkingState.h"
#include "geometry/TorbelError.h"
#include "ui/Keys.h"

class PanoramaView;
class Magnifier;
class PointTableModel;

// The main window. It owns the working state and the components, and carries every command as a
// handler under its own name. The handlers are short; the work is done in geometry/, ui/ and io/.
// Components are public, as the window's parts are for the commands and the tests.
class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // decimalSeparator: the locale's, for every number shown or written.
  TForm1(Platform& platform, char decimalSeparator, QWidget* parent = nullptr);
  ~TForm1() override;

  WorkingState& State() { return s_; }
  char DecimalSeparator() const { return decimalSeparator_; }

  // Runs one command: an error stops it, is shown in the error box, and the program goes on with
  // the state as it stood. Every entry point from the event loop goes through here.
  template <typename Command>
  bool Guarded(Command&& command) {
    try {
      command();
      return true;
    } catch (const TorbelError& e) {
      ShowError(e.Message());
    } catch (const std::exception& e) {
      ShowError(e.what());
    }
    return false;
  }

  // Start-up, layout and closing.
  void FormCreate();
  void FormResize();
  bool FormCloseQuery();
  bool FormClose();
  void Beenden1Click();

  // The panorama views.
  void PaintBox1MouseMove(Qt::KeyboardModifiers Shift, Qt::MouseButtons buttons, int X, int Y);
  void PaintBox2MouseMove(Qt::KeyboardModifiers Shift, Qt::MouseButtons buttons, int X, int Y);
  void PaintBox3MouseMove(Qt::KeyboardModifiers Shift, Qt::MouseButtons buttons, int X, int Y);
  void PaintBoxMouseDown(Qt::MouseButton Button, int X, int Y);
  void CenterViews(bool ScrollP0);
  // Carries out the repaints asked for so far, before returning.
  void PaintNow();

  // Keys, modes and the wheel.
  void FormKeyDown(int Key, Qt::KeyboardModifiers Shift);
  void FormKeyUp(int Key, Qt::KeyboardModifiers Shift);
  void FormMouseWheel(int angleDelta);
  void LeaveMode();

  // The point table.
  void AddPoint();
  void StringGrid1SelectCell(int ACol, int ARow);
  void StringGrid1MouseDown(Qt::MouseButton Button, QPoint position);
  void Punktlschen1Click();
  int SelectedGridRow() const;  // counted with the header as row 0
  void SelectGridRow(int ARow);

  // Hand-over and about box.
  void PunktlisteabCursorerzeugen1Click();
  void InfoberTorbel1Click();

  // Panorama loading.
  void Standortpanoladen1Click();
  void Vermessungspano1laden1Click();
  void Vermessungspano2laden1Click();

  // Project file and settings file.
  void Laden1Click();
  void Speichern1Click();
  void ReadSettingsFile();
  void WriteSettingsFile();

  // Components.
  QWidget* Panel3;
  QFrame *Panel2, *Panel1, *Panel4, *Panel5;
  QLabel *LblCpI, *LblCp, *LblF9, *LblP0zu1, *LblF10, *LblP0zu2, *LblF11, *LblP1zu0, *LblF12,
      *LblP2zu0, *LblP0NP, *LblP1NP, *LblP2NP;
  QTableView* StringGrid1 = nullptr;
  PointTableModel* GridModel;
  QLineEdit* Edit1;
  PanoramaView *ScrollBox1, *ScrollBox2, *ScrollBox3;
  Magnifier *PaintBox4, *PaintBox5, *PaintBox6;
  QMenu *Datei1, *Hilfe1, *PopupMenu1;
  QAction *Laden1, *Speichern1, *Standortpanoladen1, *Vermessungspano1laden1,
      *Vermessungspano2laden1, *Beenden1, *InfoberTorbel1, *Punkteditieren1, *Punktlschen1,
      *PunktlisteabCursorerzeugen1;
  FileDialog OpenDialog1, SaveDialog1, OpenDialog2;
  QString Memo1;  // the text buffer of the last hand-over

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildComponents();
  void BuildMenus();
  QLabel* MakeLabel(const QString& text, const char* name, int x, int y);
  PanoramaView* View(int station) const;
  Magnifier* MagnifierOf(int station) const;
  void PanoramaMouseMove(int station, Qt::KeyboardModifiers Shift, Qt::MouseButtons buttons, int X,
                         int Y);
  void Drag(int station, int X, int Y);
  // Whether the mouse pointer is over a panorama, where the arrow keys aim.
  bool PointerOverPanorama() const;
  void LoadPanorama(int station, const QString& title);
  // CenterViews for a command that paints once at its end.
  void CentreViewsUnpainted(bool ScrollP0);
  QString Fix(Real x) const;
  // "hor° vert°", as the labels show a direction.
  QString DirectionText(Real hor, Real vert) const;
  void SetStationLabels();
  void ShowError(const std::string& message);
  void StartPointEntry();
  void StartAiming(int Key);
  void ConfirmMode();
  void DistanceKey(int sign);
  // F3: the distance at which the pictures of the three panoramas agree best.
  void FindDistance();
  QString CurrentPointText() const;

  Platform& platform_;
  const char decimalSeparator_;
  WorkingState s_;
  int wheelRest_ = 0;  // wheel turns short of a notch
  HeldKey heldKey_;
  bool ignoreSelection_ = false;  // while the program moves rows under the selection
};
