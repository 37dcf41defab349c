#pragma once

#include "core/Platform.h"

// A platform that answers nothing: the benchmarks never open a dialog.
struct BenchPlatform : Platform {
  std::optional<QString> InputBox(const QString&, const QString&, const QString&) override {
    return std::nullopt;
  }
  std::optional<QString> InputQuery(const QString&, const QString&, const QString&) override {
    return std::nullopt;
  }
  // File dialogs answer `fileAnswer`, or are cancelled when it is empty.
  bool ExecuteOpenDialog(FileDialog& d) override { return Answer(d); }
  bool ExecuteSaveDialog(FileDialog& d) override { return Answer(d); }
  bool Answer(FileDialog& d) {
    if (fileAnswer.isEmpty()) return false;
    d.FileName = fileAnswer;
    return true;
  }
  QString fileAnswer;
  bool ExecuteChoiceDialog(const QString&, std::vector<Choice>&) override { return false; }
  void ShowMessage(const QString&) override {}
  Button InformationBox(const QString&, const std::vector<Button>&, Button, Button b) override {
    return b;
  }
  void ErrorBox(const QString&) override {}
  bool ShowAdjustment(const QString&, const QString&) override { return false; }
  void WithProgress(const QString&, const std::function<void(const Progress&)>& work) override {
    work([](const QString&, int) { return true; });
  }
  void MovePointer(int, int) override {}
  void SetClipboardText(const QString&) override {}
  QString ExeDir() override { return {}; }
  bool StartProgram(const QString&, const QString&) override { return false; }
  void WaitForProgram() override {}
  bool StartDetached(const QString&, const QStringList&) override { return false; }
  QString ExeFile() override { return {}; }
  void SetBusy(bool) override {}
  QString ConfigDir() override { return {}; }
  bool FolderTakesNewFiles(const QString&) override { return true; }
};
