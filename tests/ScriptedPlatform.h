#pragma once

#include <QCursor>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "core/Platform.h"

// The user's answers, queued by a test before it runs a command, and what the program showed.
// A dialog with no queued answer counts as cancelled.
struct ScriptedPlatform : Platform {
  struct Prompt {
    QString caption, prompt, defaultText;
  };

  std::deque<std::optional<QString>> inputAnswers;  // nullopt: cancelled
  std::deque<std::optional<QString>> fileAnswers;   // nullopt: cancelled
  std::deque<Button> boxAnswers;
  std::deque<std::optional<std::vector<int>>> choiceAnswers;  // nullopt: cancelled

  std::vector<Prompt> inputs;
  std::vector<FileDialog> fileDialogs;             // as they were when shown
  std::vector<std::vector<Choice>> choiceDialogs;  // as they were when shown
  std::vector<QString> messages, informations, errors;
  QString clipboard;
  QString exeDir = QStringLiteral("/opt/torbel/");
  int pointerDx = 0, pointerDy = 0;
  bool movesRealPointer = false;  // for keys from the X server, which aim with the real pointer
  bool programStarts = true;
  std::vector<std::pair<QString, QString>> started;  // program file, working directory
  int waits = 0;

  std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                  const QString& defaultText) override {
    return InputQuery(caption, prompt, defaultText);
  }
  std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                    const QString& defaultText) override {
    inputs.push_back({caption, prompt, defaultText});
    std::optional<QString> answer;
    if (!inputAnswers.empty()) {
      answer = inputAnswers.front();
      inputAnswers.pop_front();
    }
    return answer;
  }
  bool ExecuteOpenDialog(FileDialog& dialog) override { return FileAnswer(dialog); }
  bool ExecuteSaveDialog(FileDialog& dialog) override { return FileAnswer(dialog); }
  bool ExecuteChoiceDialog(const QString&, std::vector<Choice>& choices) override {
    choiceDialogs.push_back(choices);
    if (choiceAnswers.empty()) return false;
    const std::optional<std::vector<int>> answer = choiceAnswers.front();
    choiceAnswers.pop_front();
    if (!answer) return false;
    for (std::size_t i = 0; i < choices.size() && i < answer->size(); ++i) {
      choices[i].chosen = (*answer)[i];
    }
    return true;
  }
  void ShowMessage(const QString& text) override { messages.push_back(text); }
  Button InformationBox(const QString& text, const std::vector<Button>&, Button,
                        Button escapeButton) override {
    informations.push_back(text);
    if (boxAnswers.empty()) return escapeButton;
    const Button b = boxAnswers.front();
    boxAnswers.pop_front();
    return b;
  }
  void ErrorBox(const QString& text) override { errors.push_back(text); }
  // Each report shown, and whether "Übernehmen" closes it (none queued: "Abbrechen").
  std::vector<QString> adjustments;
  std::deque<bool> adjustmentAnswers;
  bool ShowAdjustment(const QString&, const QString& reportText) override {
    adjustments.push_back(reportText);
    if (adjustmentAnswers.empty()) return false;
    const bool taken = adjustmentAnswers.front();
    adjustmentAnswers.pop_front();
    return taken;
  }
  // Each stage a long work told, and the one at which "Abbrechen" is pressed (-1: none).
  std::vector<QString> stages;
  int cancelAtStage = -1;
  void WithProgress(const QString&, const std::function<void(const Progress&)>& work) override {
    work([this](const QString& stage, int) {
      stages.push_back(stage);
      return static_cast<int>(stages.size()) - 1 != cancelAtStage;
    });
  }
  void MovePointer(int dx, int dy) override {
    pointerDx += dx;
    pointerDy += dy;
    if (movesRealPointer) QCursor::setPos(QCursor::pos() + QPoint(dx, dy));
  }
  void SetClipboardText(const QString& text) override { clipboard = text; }
  QString ExeDir() override { return exeDir; }
  bool StartProgram(const QString& file, const QString& workingDirectory) override {
    started.push_back({file, workingDirectory});
    return programStarts;
  }
  void WaitForProgram() override { ++waits; }
  std::vector<std::pair<QString, QStringList>> detached;  // program, arguments
  bool StartDetached(const QString& program, const QStringList& arguments) override {
    detached.push_back({program, arguments});
    return programStarts;
  }
  QString ExeFile() override { return exeDir + QStringLiteral("Torbel"); }
  void SetBusy(bool busy) override { busyNow = busy; }
  bool busyNow = false;
  QString ConfigDir() override { return configDir; }
  bool FolderTakesNewFiles(const QString& folder) override {
    return !readOnlyFolders.contains(folder);
  }
  QString configDir = QStringLiteral("/home/user/.config/");
  QStringList readOnlyFolders;

 private:
  bool FileAnswer(FileDialog& dialog) {
    fileDialogs.push_back(dialog);
    if (fileAnswers.empty() || !fileAnswers.front()) {
      if (!fileAnswers.empty()) fileAnswers.pop_front();
      return false;
    }
    dialog.FileName = *fileAnswers.front();
    fileAnswers.pop_front();
    return true;
  }
};
