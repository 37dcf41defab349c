#include "app/Errors.h"

#include <cerrno>

TorbelError NotANumberError(std::string_view text) {
  return TorbelError("'" + std::string(text) + "' ist kein gültiger Gleitkommawert");
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
    case EISDIR:
      return TorbelError(kMsgAccessDenied);
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
