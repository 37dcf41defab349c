#pragma once

#include <exception>
#include <string>
#include <utility>

// The one exception type of the program. Its message is the exact German text the user sees
// (UTF-8); the error box around every command adds the caption, the icon and the final full stop.
class TorbelError : public std::exception {
 public:
  explicit TorbelError(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Messages of the arithmetic faults, raised by the checked operations in Real.h.
inline constexpr char kMsgZeroDivide[] = "Gleitkommadivision durch Null";
inline constexpr char kMsgInvalidOp[] = "Ungültige Gleitkommaoperation";
inline constexpr char kMsgOverflow[] = "Gleitkommaüberlauf";
inline constexpr char kMsgRangeCheck[] = "Fehler bei Bereichsprüfung";
