#pragma once

#include <QCursor>
#include <QGuiApplication>
#include <QProcess>
#include <QStringList>
#include <memory>

#include "core/Platform.h"

// The platform as the user meets it: Qt's dialogs, message boxes, pointer and clipboard.
class QtPlatform : public Platform {
 public:
  QtPlatform();
  ~QtPlatform() override;

  std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                  const QString& defaultText) override;
  std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                    const QString& defaultText) override;
  bool ExecuteOpenDialog(FileDialog& dialog) override;
  bool ExecuteSaveDialog(FileDialog& dialog) override;
  bool ExecuteChoiceDialog(const QString& title, std::vector<Choice>& choices) override;
  void ShowMessage(const QString& text) override;
  Button InformationBox(const QString& text, const std::vector<Button>& buttons,
                        Button defaultButton, Button escapeButton) override;
  void ErrorBox(const QString& text) override;
  bool ShowAdjustment(const QString& title, const QString& reportText) override;
  void WithProgress(const QString& title,
                    const std::function<void(const Progress&)>& work) override;
  void MovePointer(int dx, int dy) override;
  void SetClipboardText(const QString& text) override;
  bool StartProgram(const QString& file, const QString& workingDirectory) override;
  void WaitForProgram() override;
  bool StartDetached(const QString& program, const QStringList& arguments) override;
  QString ExeDir() override;
  QString ExeFile() override;
  void SetBusy(bool busy) override;
  QString ConfigDir() override;
  bool FolderTakesNewFiles(const QString& folder) override;

 private:
  std::unique_ptr<QProcess> program_;
};

// Qt's form of a "Description|*.a;*.b|Other|*.c" filter list: one "Description (*.a *.b)" each.
QStringList QtNameFilters(const QString& filter);
