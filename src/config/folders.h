// The three folders of a run and the rules that place data files in them.
//
//  - program folder:  where the executable lies (language files, GeoIP.dat,
//                     the pie-chart module, the defaults folder)
//  - data folder:     the user's settings, definitions, cache and samples
//  - defaults folder: program folder + "Default/", first-use copies of the
//                     data files
//
// A TFolders value is resolved once at the start of a run and handed to
// whoever needs it. Every path ends in "/". Immutable and thread-safe.
#pragma once

#include <string>

#include "base/datetime.h"

namespace trelvar {

class TFolders {
 public:
  // From the platform: the executable's folder and the data folder
  // (TRELVAR_DATA_DIR or the documents folder). Nothing is created. Raises
  // EInvalidOperation, saying how to name one, when there is no data folder.
  static TFolders Resolve();
  TFolders(std::string program_folder, std::string data_folder);

  const std::string& Program() const { return program_; }
  const std::string& Data() const { return data_; }
  const std::string& Defaults() const { return defaults_; }

  // When `path` does not exist, copies the defaults folder's file of the
  // same name (from `sub_folder` of it when given) to `path`, creating the
  // missing folders. Nothing happens when the default is missing too.
  void EnsureDataFile(const std::string& path, const std::string& sub_folder = "") const;

  // Writes `text` over the data file `path` through SaveTextFile (backup,
  // temporary file, `mode` or 0644). A file whose reading stopped early is never
  // overwritten: `read_completely` false raises EInvalidOperation, which
  // names what was read (`what`: "The settings", "The sites", ...).
  void SaveDataFile(const std::string& path, const std::string& text, bool read_completely,
                    const std::string& what, unsigned mode = 0) const;

  // A user-given file name as a path: absolute names ("/...") stay as they
  // are; otherwise one leading "\" is dropped and the data folder put in
  // front. "\" in the name becomes "/".
  std::string DataPath(const std::string& name) const;

 private:
  std::string program_;
  std::string data_;
  std::string defaults_;
};

// `path` when it is absolute; otherwise `path` without its leading "\" and
// "/" behind `base` (which gets a final "/").
std::string AbsolutePath(const std::string& path, const std::string& base);

// The name after the last "/", and the folder up to and including it.
std::string ExtractFileName(const std::string& path);
std::string ExtractFileDir(const std::string& path);

// The local modification time of a file, or -1 when it does not exist.
TDateTime FileAge(const std::string& path);

}  // namespace trelvar
