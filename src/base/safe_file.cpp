#include "base/safe_file.h"

#include "base/errors.h"
#include "platform/files.h"

namespace trelvar {

std::string ReadFileText(const std::string& path) {
  std::string text;
  if (!platform::ReadWholeFile(path, text)) throw EInOutError(CannotOpenFileMessage(path));
  return text;
}

void BackupFile(const std::string& path) {
  if (platform::IsRegularFile(path)) platform::CopyFile(path, path + ".bak");
}

void SaveTextFile(const std::string& path, const std::string& text, unsigned mode) {
  BackupFile(path);
  const std::string temp = path + ".tmp";
  if (!platform::WriteNewFile(temp, text, mode != 0 ? mode : 0644) ||
      !platform::RenameFile(temp, path)) {
    platform::RemoveFile(temp);
    throw EFCreateError(CannotCreateFileMessage(path));
  }
}

}  // namespace trelvar
