// File-system services. Paths are native ("/" separated) byte strings.
//
// Functions report failure through their results and never throw; callers
// turn a failure into the error their rule asks for. Thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace trelvar::platform {

bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
bool IsRegularFile(const std::string& path);

// Size in bytes, or -1 for a folder or a path that does not exist.
int64_t FileSize(const std::string& path);

// Local modification time, or nothing when the path does not exist.
std::optional<TLocalTime> FileModifiedLocal(const std::string& path);

// Creates a folder and every missing parent. A trailing "/" is ignored and
// paths of two characters or fewer are left alone. True when the folder
// exists afterwards.
bool ForceFolders(const std::string& path);

// Called after every copied block with source, target, bytes of this block,
// total size and bytes copied so far; returning false stops the copy.
using TCopyProgress = std::function<bool(const std::string& source, const std::string& target,
                                         int64_t block, int64_t total, int64_t copied)>;

// Copies `source` to `target` block by block, replacing the target or, with
// `append`, adding to its end. On success the target gets the source's
// modification time and mode. False for a missing source, a target that
// cannot be opened, a short write or a copy stopped by `progress`.
bool CopyFile(const std::string& source, const std::string& target, bool append = false,
              const TCopyProgress& progress = nullptr);

// One entry of a folder listing.
struct TFolderEntry {
  std::string name;  // file name without folder
  bool is_folder = false;
};

// Whether a file name matches a wildcard pattern ("*", "?", "[...]"),
// letter case counting: the one rule for local and remote log masks.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

// The entries of `folder` whose names match the wildcard `pattern` ("*",
// "?", "[...]"), sorted by name; "." and ".." are left out. An empty list
// for a folder that does not exist.
std::vector<TFolderEntry> ListFolder(const std::string& folder, const std::string& pattern);

// The same listing for callers that must tell a failed search from an
// empty one: false, with the errno in `error_number`, when the folder
// cannot be opened or read; `entries` then holds what was read so far.
bool ListFolderChecked(const std::string& folder, const std::string& pattern,
                       std::vector<TFolderEntry>& entries, int& error_number);

// The system's text for an errno value ("Permission denied").
std::string SystemErrorText(int error_number);

// A regular file opened for reading only, read in caller-sized blocks
// straight from the descriptor. Folders, FIFOs and devices are refused, so
// that opening never blocks. Not thread-safe; closed when it goes.
class TReadOnlyFile {
 public:
  TReadOnlyFile() = default;
  ~TReadOnlyFile();
  TReadOnlyFile(const TReadOnlyFile&) = delete;
  TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;

  // False, with Error() set, when the path cannot be opened or is not a
  // regular file (EISDIR for a folder, EINVAL for other kinds).
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // Up to `capacity` bytes into `dest`: the count, 0 at the end, -1 on a
  // read error (Error() set).
  int64_t Read(char* dest, size_t capacity);
  int64_t Size() const { return size_; }          // bytes when it was opened
  int64_t Position() const { return position_; }  // bytes read so far
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int64_t size_ = 0;
  int64_t position_ = 0;
  int error_ = 0;
};

// Reads the whole file into `out`; false when it cannot be opened or read
// (a folder cannot).
bool ReadWholeFile(const std::string& path, std::string& out);

// Creates or truncates `path` with the permission bits `mode` and writes
// `data` to disk; false on any failure.
// `durable`: flushed to the disk before the answer (settings); report pages,
// which every analysis writes again, skip the flush.
bool WriteNewFile(const std::string& path, const std::string& data, unsigned mode,
                  bool durable = true);

// Creates a new, empty file named `prefix` + a unique part + `suffix` in
// `folder` (which ends in "/") with the permission bits 0600 and returns
// its path, or "" when none can be created.
std::string CreateUniqueFile(const std::string& folder, const std::string& prefix,
                             const std::string& suffix);

bool RemoveFile(const std::string& path);
// Renames atomically within one file system, replacing the target.
bool RenameFile(const std::string& from, const std::string& to);
// Sets the permission bits of a file (such as 0600).
bool SetFileMode(const std::string& path, unsigned mode);

}  // namespace trelvar::platform
