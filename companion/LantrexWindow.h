#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <vector>

#include "companion/ClipboardReader.h"

// One point of the list Torbel hands over: "index:hor vert dist", decimal points.
struct HandedPoint {
  QString index, hor, vert, dist;
};

// The points of a handed-over list; empty when the text is not such a list (another program's
// clipboard, or nothing).
std::vector<HandedPoint> ParsePointList(const QString& text);

// Lantrex: shows the list Torbel put on the clipboard and copies it point by point, each as
// "hor<TAB>vert<TAB>dist", for pasting into the next program.
class LantrexWindow : public QWidget {
  Q_OBJECT

 public:
  explicit LantrexWindow(const ClipboardText& clipboard, QWidget* parent = nullptr);
  explicit LantrexWindow(const QString& clipboardText, QWidget* parent = nullptr)
      : LantrexWindow(ClipboardText{clipboardText, ClipboardTrouble::None, 0}, parent) {}

  // Puts the next point on the clipboard and moves on.
  void CopyNext();

  QListWidget* List;
  QLabel* Next;
  QPushButton* Copy;

 private:
  void ShowNext();

  ClipboardTrouble trouble_;
  std::vector<HandedPoint> points_;
  std::size_t next_ = 0;
};
