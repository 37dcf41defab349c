#include "companion/LantrexWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QVBoxLayout>

std::vector<HandedPoint> ParsePointList(const QString& text) {
  static const QRegularExpression kLine(
      QStringLiteral(R"(^(\d+):(-?\d+\.\d+(?:E[+-]\d+)?) (-?\d+\.\d+(?:E[+-]\d+)?) )"
                     R"((-?\d+\.\d+(?:E[+-]\d+)?)$)"));
  std::vector<HandedPoint> points;
  for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
    const QRegularExpressionMatch m = kLine.match(line);
    if (!m.hasMatch()) return {};
    points.push_back({m.captured(1), m.captured(2), m.captured(3), m.captured(4)});
  }
  return points;
}

LantrexWindow::LantrexWindow(const ClipboardText& clipboard, QWidget* parent)
    : QWidget(parent), trouble_(clipboard.trouble), points_(ParsePointList(clipboard.text)) {
  setWindowTitle(QStringLiteral("Lantrex"));
  auto* layout = new QVBoxLayout(this);
  List = new QListWidget(this);
  Next = new QLabel(this);
  Copy = new QPushButton(QStringLiteral("Punkt &kopieren"), this);
  layout->addWidget(List);
  layout->addWidget(Next);
  layout->addWidget(Copy);
  for (const HandedPoint& p : points_) {
    List->addItem(p.index + QStringLiteral(":  ") + p.hor + QStringLiteral("   ") + p.vert +
                  QStringLiteral("   ") + p.dist);
  }
  connect(Copy, &QPushButton::clicked, this, &LantrexWindow::CopyNext);
  ShowNext();
  resize(320, 360);
}

void LantrexWindow::CopyNext() {
  if (next_ >= points_.size()) return;
  const HandedPoint& p = points_[next_];
  QGuiApplication::clipboard()->setText(p.hor + QLatin1Char('\t') + p.vert + QLatin1Char('\t') +
                                        p.dist);
  ++next_;
  ShowNext();
}

void LantrexWindow::ShowNext() {
  if (points_.empty()) {
    const QString why =
        trouble_ == ClipboardTrouble::TooLarge
            ? QStringLiteral(
                  "Die Zwischenablage ist zu groß (über 64 MB); sie enthält keine "
                  "Punktliste von Torbel.")
        : trouble_ == ClipboardTrouble::NoAnswer
            ? QStringLiteral(
                  "Die Zwischenablage antwortet nicht: das Programm, das sie hält, "
                  "gibt ihren Inhalt nicht heraus.")
            : QStringLiteral("Die Zwischenablage enthält keine Punktliste von Torbel.");
    Next->setText(why +
                  QStringLiteral("\nBitte in Torbel \"Punktliste ab Cursor erzeugen\" wählen."));
    Copy->setEnabled(false);
    return;
  }
  if (next_ >= points_.size()) {
    Next->setText(QStringLiteral("Alle %1 Punkte kopiert.").arg(points_.size()));
    Copy->setEnabled(false);
    List->clearSelection();
    return;
  }
  Next->setText(QStringLiteral("Nächster Punkt: ") + points_[next_].index);
  List->setCurrentRow(static_cast<int>(next_));
}
