#include "config/folders.h"

#include "base/errors.h"
#include "base/safe_file.h"
#include "base/text_helpers.h"
#include "platform/files.h"
#include "platform/system.h"

namespace trelvar {

TFolders TFolders::Resolve() {
  const std::string data = platform::DataFolder();
  if (data.empty())
    throw EInvalidOperation(
        "No data folder: set TRELVAR_DATA_DIR to the folder for Trelvar's settings, sites and "
        "reports (for instance in the web server's environment), or give the program a "
        "writable HOME folder");
  return TFolders(platform::ProgramFolder(), data);
}

TFolders::TFolders(std::string program_folder, std::string data_folder)
    : program_(ToNativeDir(std::move(program_folder))),
      data_(ToNativeDir(std::move(data_folder))),
      defaults_(program_ + "Default/") {}

void TFolders::EnsureDataFile(const std::string& path, const std::string& sub_folder) const {
  if (platform::PathExists(path)) return;
  std::string source = defaults_;
  if (!sub_folder.empty()) source += ToNativeDir(sub_folder);
  source += ExtractFileName(path);
  if (!platform::IsRegularFile(source)) return;
  platform::ForceFolders(ExtractFileDir(path));
  platform::CopyFile(source, path);
}

std::string TFolders::DataPath(const std::string& name) const {
  if (!name.empty() && name[0] == '/') return name;
  if (name.rfind("\\\\", 0) == 0) return ToNativeSeparators(name);
  std::string rest = name;
  if (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
  return data_ + ToNativeSeparators(rest);
}

std::string AbsolutePath(const std::string& path, const std::string& base) {
  if (!path.empty() && path[0] == '/') return path;
  // A Windows-style name with a leading backslash has no drive: relative.
  const std::string p = ToNativeSeparators(path);
  size_t i = 0;
  while (i < p.size() && p[i] == '/') ++i;
  return ToNativeDir(base) + p.substr(i);
}

std::string ExtractFileName(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

std::string ExtractFileDir(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

TDateTime FileAge(const std::string& path) {
  auto t = platform::FileModifiedLocal(path);
  return t ? FromLocalTime(*t) : -1;
}

void TFolders::SaveDataFile(const std::string& path, const std::string& text,
                            bool read_completely, const std::string& what, unsigned mode) const {
  if (!read_completely)
    throw EInvalidOperation(what + " were read incompletely from " + path +
                            "; it is not overwritten until it has been read completely");
  EnsureDataFile(path);
  platform::ForceFolders(ExtractFileDir(path));
  SaveTextFile(path, text, mode);
}

}  // namespace trelvar
