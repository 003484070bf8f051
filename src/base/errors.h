// The error classes of Trelvar.
//
// Every error is a C++ exception that carries a message and knows the name
// of its own class, because error lines print both: "message class-name".
// The hierarchy is deliberately small; callers catch `Exception` and print
// `Message()` and `ClassName()`.
#pragma once

#include <stdexcept>
#include <string>

namespace trelvar {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
  virtual const char* ClassName() const { return "Exception"; }
};

#define TRELVAR_ERROR_CLASS(Name)                                    \
  class Name : public Exception {                                    \
   public:                                                           \
    using Exception::Exception;                                      \
    const char* ClassName() const override { return #Name; }         \
  }

// A value that does not convert (number, boolean, date).
TRELVAR_ERROR_CLASS(EConvertError);
// A file that cannot be opened or read.
TRELVAR_ERROR_CLASS(EInOutError);
// A file that cannot be created.
TRELVAR_ERROR_CLASS(EFCreateError);
// An operation that is not allowed in the current state.
TRELVAR_ERROR_CLASS(EInvalidOperation);
// An index or name that does not exist in a list.
TRELVAR_ERROR_CLASS(EListError);

#undef TRELVAR_ERROR_CLASS

// The messages that no text id covers; each takes the offending text.
std::string InvalidIntegerMessage(const std::string& text);
std::string InvalidBooleanMessage(const std::string& text);
std::string InvalidFloatMessage(const std::string& text);
std::string InvalidDateTimeMessage(const std::string& text);
std::string CannotOpenFileMessage(const std::string& path);
std::string CannotCreateFileMessage(const std::string& path);
std::string ListIndexMessage(long long index);

// The error line of a run: "<P>" + message + " " + class name + "</P>".
std::string ErrorLine(const Exception& e);

}  // namespace trelvar
