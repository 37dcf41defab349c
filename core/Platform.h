#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// A file dialog's settings, kept between uses like the dialog components of the window: the
// remembered file name is proposed next time and holds the last confirmed path.
struct FileDialog {
  QString Title;
  QString Filter;      // "Description|*.ext"
  QString DefaultExt;  // "*.ext"
  QString FileName;
};

// Everything modal or outside the process. The program uses the Qt implementation; tests use a
// scripted one that answers from a queue and records what was shown.
class Platform {
 public:
  enum class Button { Yes, No, Ok, Cancel, Retry, Ignore, All, None };

  virtual ~Platform() = default;

  // Returns the edited text, or nothing when cancelled. The default text stands selected, so
  // that typing replaces it.
  virtual std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                          const QString& defaultText) = 0;
  // The same, but the default text stands with the cursor after it, so that typing goes on from
  // it.
  virtual std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                            const QString& defaultText) = 0;
  // Return true and set dialog.FileName when confirmed; false and leave it when cancelled.
  virtual bool ExecuteOpenDialog(FileDialog& dialog) = 0;
  virtual bool ExecuteSaveDialog(FileDialog& dialog) = 0;
  // A dialog of choices, each a label (with its "&" mnemonic) and a list of options: returns true
  // and sets each choice's `chosen` when confirmed; false and leaves them when cancelled.
  struct Choice {
    QString label;
    QStringList options;
    int chosen = 0;
  };
  virtual bool ExecuteChoiceDialog(const QString& title, std::vector<Choice>& choices) = 0;

  // A plain box with OK, titled with the application's title.
  virtual void ShowMessage(const QString& text) = 0;
  // An information box with the given buttons; reports the one that closed it (the escape
  // button for the close box).
  virtual Button InformationBox(const QString& text, const std::vector<Button>& buttons,
                                Button defaultButton, Button escapeButton) = 0;
  // The error box: application title, error icon, the text as given.
  virtual void ErrorBox(const QString& text) = 0;
  // The adjustment's report with the buttons "Übernehmen" and "Abbrechen": true when taken over.
  virtual bool ShowAdjustment(const QString& title, const QString& reportText) = 0;
  // Long work under a progress box with "Abbrechen": `work` tells each stage as it reaches it
  // (its text and the share done, in percent) and stops where the answer is false, once
  // "Abbrechen" is pressed.
  using Progress = std::function<bool(const QString& stage, int percent)>;
  virtual void WithProgress(const QString& title,
                            const std::function<void(const Progress&)>& work) = 0;

  // Moves the mouse pointer by screen pixels.
  virtual void MovePointer(int dx, int dy) = 0;
  virtual void SetClipboardText(const QString& text) = 0;
  // Starts a program file in a working directory, without arguments; false when it could not
  // be started.
  virtual bool StartProgram(const QString& file, const QString& workingDirectory) = 0;
  // Waits, without a time limit, until the program started last has ended. The clipboard is
  // served meanwhile (the program may be reading it); user input waits.
  virtual void WaitForProgram() = 0;
  // Starts a program with arguments as a process of its own, which goes on when this one ends;
  // false when it could not be started.
  virtual bool StartDetached(const QString& program, const QStringList& arguments) = 0;
  // The directory of the running executable, ending in the platform's separator.
  virtual QString ExeDir() = 0;
  // The running executable's own full path.
  virtual QString ExeFile() = 0;
  // Shows that the program is busy (the wait cursor) until called again with false.
  virtual void SetBusy(bool busy) = 0;
  // The user's configuration folder ($XDG_CONFIG_HOME, or ~/.config), ending in the separator.
  virtual QString ConfigDir() = 0;
  // Whether a new file can be made in the folder now, found by making one: permissions do not
  // bind root, and a read-only mount binds everyone.
  virtual bool FolderTakesNewFiles(const QString& folder) = 0;
};

// The busy indication for as long as it lives, for work the user waits for.
class Busy {
 public:
  explicit Busy(Platform& platform) : platform_(platform) { platform_.SetBusy(true); }
  ~Busy() { platform_.SetBusy(false); }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  Platform& platform_;
};
