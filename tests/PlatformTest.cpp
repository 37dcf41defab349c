// Qt's real boxes, read as a screen reader reads them.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <functional>

#include "app/QtPlatform.h"

namespace {

// Opens a box through `show`, and reads the texts of its labels while it is open.
QStringList LabelsOf(const std::function<void()>& show) {
  QStringList texts;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    for (QLabel* label : box->findChildren<QLabel*>()) {
      if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label)) {
        texts << a->text(QAccessible::Name);
      }
    }
    box->close();
  });
  show();
  return texts;
}

TEST(QtBoxes, ShowTheirTextsAsTheyAreNotAsMarkup) {
  QtPlatform platform;
  const QString text = QStringLiteral("<b>x.txt</b> <i>1,6</i>");
  const std::function<void()> boxes[] = {
      [&] { platform.ErrorBox(text); },
      [&] { platform.ShowMessage(text); },
      [&] {
        platform.InformationBox(text, {Platform::Button::Ok}, Platform::Button::Ok,
                                Platform::Button::Ok);
      },
      [&] { platform.InputBox(QStringLiteral("Titel"), text, QStringLiteral("0")); },
  };
  for (const auto& box : boxes) {
    const QStringList labels = LabelsOf(box);
    EXPECT_TRUE(labels.contains(text)) << labels.join(QLatin1Char('|')).toStdString();
  }
}

}  // namespace
