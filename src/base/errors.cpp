#include "base/errors.h"

namespace trelvar {

std::string InvalidIntegerMessage(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}
std::string InvalidBooleanMessage(const std::string& text) {
  return "'" + text + "' is not a valid boolean value";
}
std::string InvalidFloatMessage(const std::string& text) {
  return "'" + text + "' is not a valid floating point value";
}
std::string InvalidDateTimeMessage(const std::string& text) {
  return "'" + text + "' is not a valid date and time";
}
std::string CannotOpenFileMessage(const std::string& path) {
  return "Cannot open file \"" + path + "\"";
}
std::string CannotCreateFileMessage(const std::string& path) {
  return "Cannot create file \"" + path + "\"";
}
std::string ListIndexMessage(long long index) {
  return "List index out of bounds (" + std::to_string(index) + ")";
}

std::string ErrorLine(const Exception& e) {
  return "<P>" + e.Message() + " " + e.ClassName() + "</P>";
}

}  // namespace trelvar
