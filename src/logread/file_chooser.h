// TFileChooser: a site's log path as one stream of lines.
//
// SetLogPath expands a ";" list of files, folders ("dir/") and wildcard
// patterns, with date patterns in "<...>" and "(...)", into a list of
// files; StartFiles opens the first, ReadLine hands out the lines of one
// file after the other and sets AllDone when none is left. The first piece
// of the list is taken from the data folder unless it is absolute (begins
// with "/"); "\" in the pieces is read as "/". Before each file is opened
// the OnFileStart handler may look at it and refuse it. With more than one
// file, the start of each is announced as "Processing file (i of n):
// path". ProgressKB counts kilobytes read for
// the progress display.
//
// The chooser owns its list and its reader. Failure: the stream goes on
// without what cannot be read, and says so: a listed file that is missing
// when its turn comes ("Log file <path> not found"), a file that cannot be
// opened or read, a damaged gzip file (with how many of its lines were
// read) and a piece of the log path that matches no file each become an
// input problem, written as a warning line and kept in InputProblems()
// (a damaged gzip file is also announced as "GZ stream error"). Lines go
// to the reporter given (the line parser's), else to the output channel. A folder that exists but cannot be searched raises
// EInOutError "#errno: message:\n pattern" from SetLogPath. Not
// thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "config/folders.h"
#include "logread/file_parser.h"
#include "logread/line_reporter.h"

namespace trelvar {

class TFileChooser {
 public:
  // Called before a file is opened; clearing `accept` skips the file.
  using TFileStartEvent =
      std::function<void(TFileChooser& chooser, const std::string& path, bool& accept)>;

  // `folders` gives the data folder for a relative first piece.
  explicit TFileChooser(TFolders folders);
  ~TFileChooser();
  TFileChooser(const TFileChooser&) = delete;
  TFileChooser& operator=(const TFileChooser&) = delete;

  // Builds the file list; date patterns take the local time `now`.
  void SetLogPath(const std::string& list);
  void SetLogPath(const std::string& list, TDateTime now);

  void StartFiles();
  // The next line of the stream, reusing the capacity of `line` (the fast
  // form); empty once AllDone is set.
  void ReadLine(std::string& line);
  std::string ReadLine();
  // The same as a view, valid until the next read (see TFileParser).
  std::string_view ReadLineView(std::string& spare);

  // Kilobytes of the finished files plus those read of the current one.
  int64_t ProgressKB() const;

  void SetOnFileStart(TFileStartEvent handler) { on_file_start_ = std::move(handler); }
  // Who hears of announcements and problems (not owned; null: the output
  // channel).
  void SetReporter(TLineReporter* reporter) { reporter_ = reporter; }

  bool AllDone() const { return all_done_; }
  const std::vector<std::string>& Files() const { return files_; }
  int Count() const { return static_cast<int>(files_.size()); }
  int CurrentIndex() const { return index_; }  // -1 before the first file
  const std::string& CurrentPath() const { return current_path_; }
  int64_t TotalKB() const { return total_kb_; }
  // The reader of the current file, or null before StartFiles.
  const TFileParser* CurrentReader() const { return reader_.get(); }

  // What of the log path could not be read, one text per problem.
  const std::vector<std::string>& InputProblems() const { return problems_; }
  // Lines dropped for being too long, in the files finished so far and the
  // current one.
  int64_t LongLinesDropped() const;

 private:
  void AddPiece(const std::string& piece);
  void AddFile(const std::string& path);
  bool Accepts(const std::string& path);
  // Opens the next file that exists, is accepted and can be opened; false
  // when no file is left.
  bool OpenNext();
  // Counts the current file as done and notes it when it was damaged.
  void FinishFile();
  void Notice(const std::string& line) const;
  void Problem(const std::string& text);
  void Announce() const;

  TFolders folders_;
  int index_ = -1;
  std::unique_ptr<TFileParser> reader_;
  TLineReporter* reporter_ = nullptr;
  int64_t total_kb_ = 1;  // never 0: it is a progress bar's maximum
  int64_t finished_kb_ = 0;
  TFileStartEvent on_file_start_;
  bool all_done_ = false;
  std::vector<std::string> files_;
  std::string current_path_;
  std::vector<std::string> problems_;
  int64_t finished_long_lines_ = 0;
};

}  // namespace trelvar
