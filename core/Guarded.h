#pragma once

#include <QString>
#include <exception>

#include "core/Errors.h"
#include "core/Platform.h"

// Runs one command: an error stops it and is shown in the error box, and the program goes on
// with the state as it stood. Every entry point from the event loop goes through here; it is the
// one place that catches. Returns whether the command ran to its end.
template <typename Command>
bool Guarded(Platform& platform, Command&& command) {
  try {
    command();
    return true;
  } catch (const TorbelError& e) {
    platform.ErrorBox(QString::fromStdString(ErrorBoxText(e.Message())));
  } catch (const std::exception& e) {
    platform.ErrorBox(QString::fromStdString(ErrorBoxText(e.what())));
  }
  return false;
}
