#pragma once

#include <QApplication>
#include <QTranslator>

class TForm1;

// The start of the program, shared by main() and the start-up benchmark: the application's name
// and German texts, the locale's decimal separator, and the main window shown maximised.
class Startup {
 public:
  explicit Startup(QApplication& app);
  char DecimalSeparator() const { return separator_; }
  static void ShowMaximised(TForm1& form);
  // The project named on the command line ("Torbel PATH", as the desktop entry starts it), made
  // absolute; empty when none is named. Qt's own options are taken out of argv by then.
  static QString ProjectArgument(int argc, char** argv);

 private:
  QTranslator qtTexts_;
  char separator_;
};
