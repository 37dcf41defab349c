#include "core/Errors.h"

#include <cerrno>

TorbelError NotANumberError(std::string_view text) {
  // A damaged file can hand over a line of megabytes; the message box shows its start.
  constexpr std::size_t kShown = 60;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) {
    // Not in the middle of a UTF-8 sequence.
    while (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0xC0) == 0x80) {
      shown.pop_back();
    }
    if (!shown.empty() && static_cast<unsigned char>(shown.back()) >= 0xC0) shown.pop_back();
    shown += "…";
  }
  return TorbelError("'" + shown + "' ist kein gültiger Gleitkommawert");
}

TorbelError FileError(int errnum) {
  switch (errnum) {
    case ENOENT:
      return TorbelError(kMsgFileNotFound);
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
      return TorbelError(kMsgInvalidFileName);
    case EMFILE:
    case ENFILE:
      return TorbelError(kMsgTooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EROFS:
      return TorbelError(kMsgAccessDenied);
    case EISDIR:
      return TorbelError(kMsgFolder);
    case ENOSPC:
    case EDQUOT:
      return TorbelError(kMsgDiskFull);
    default:
      return TorbelError("E/A-Fehler " + std::to_string(errnum));
  }
}

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
    return message + ".";
  }
  return message;
}
