#pragma once

#include "app/Platform.h"

// A platform that answers nothing: the benchmarks never open a dialog.
struct BenchPlatform : Platform {
  QString InputBox(const QString&, const QString&, const QString& d) override { return d; }
  bool ExecuteOpenDialog(FileDialog&) override { return false; }
  bool ExecuteSaveDialog(FileDialog&) override { return false; }
  void ShowMessage(const QString&) override {}
  Button InformationBox(const QString&, const std::vector<Button>&, Button, Button b) override {
    return b;
  }
  void ErrorBox(const QString&) override {}
  void MovePointer(int, int) override {}
  void SetClipboardText(const QString&) override {}
  QString ExeDir() override { return {}; }
};
