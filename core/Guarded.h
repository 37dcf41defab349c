#pragma once

#include <QString>
#include <exception>
#include <new>
#include <stdexcept>

#include "core/Errors.h"
#include "core/Platform.h"

// Runs one command: an error stops it and is shown in the error box, and the program goes on
// with the state as it stood. Only German texts reach the box. Every entry point from the event
// loop goes through here; it is the one place that catches. Returns whether the command ran to its
// end.
template <typename Command>
bool Guarded(Platform& platform, Command&& command) {
  try {
    command();
    return true;
  } catch (const TorbelError& e) {
    platform.ErrorBox(QString::fromStdString(ErrorBoxText(e.Message())));
  } catch (const std::bad_alloc&) {
    platform.ErrorBox(QString::fromUtf8(ErrorBoxText(kMsgOutOfMemory)));
  } catch (const std::length_error&) {  // a container asked for more than memory can hold
    platform.ErrorBox(QString::fromUtf8(ErrorBoxText(kMsgOutOfMemory)));
  } catch (const std::exception&) {
    // The library's own texts are English and name its internals.
    platform.ErrorBox(QString::fromUtf8(ErrorBoxText(kMsgUnexpected)));
  }
  return false;
}
