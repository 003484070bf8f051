#include "logread/file_chooser.h"

#include <cerrno>

#include "base/errors.h"
#include "base/run_control.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/translator.h"
#include "platform/files.h"

namespace trelvar {

TFileChooser::TFileChooser(TFolders folders) : folders_(std::move(folders)) {}

TFileChooser::~TFileChooser() = default;

void TFileChooser::SetLogPath(const std::string& list) { SetLogPath(list, Now()); }

void TFileChooser::SetLogPath(const std::string& list, TDateTime now) {
  files_.clear();
  reader_.reset();
  total_kb_ = 1;
  finished_kb_ = 0;
  index_ = -1;
  all_done_ = false;
  current_path_.clear();
  problems_.clear();
  finished_long_lines_ = 0;

  std::string rest = list;
  bool first = true;
  while (!rest.empty() || first) {
    std::string piece = Trim(SplitFirst(rest, ";"));
    const bool is_first = first;
    first = false;
    // An empty piece (a stray ";") would otherwise list the working folder.
    if (piece.empty()) continue;
    piece = ExpandDatePatterns(piece, now, '<', '>');
    piece = ExpandDatePatterns(piece, now, '(', ')');
    AddPiece(is_first ? folders_.DataPath(piece) : ToNativeSeparators(piece));
  }
}

void TFileChooser::AddPiece(const std::string& piece) {
  const std::string name = ExtractFileName(piece);
  const std::string folder = ExtractFileDir(piece);
  if (!name.empty() && name.find_first_of("*?") == std::string::npos) {
    AddFile(piece);
    return;
  }
  const std::string pattern = name.empty() ? "*" : name;
  std::vector<platform::TFolderEntry> entries;
  int error = 0;
  // A folder that is not there (yet) holds no match, like an empty one.
  if (!platform::ListFolderChecked(folder, pattern, entries, error) && error != ENOENT) {
    throw EInOutError("#" + std::to_string(error) + ": " + platform::SystemErrorText(error) +
                      ":" + "\n" + folder + pattern);
  }
  const size_t before = files_.size();
  for (const platform::TFolderEntry& e : entries) {
    if (e.is_folder || e.name == "debug.log") continue;
    const std::string path = folder + e.name;
    // FIFOs, sockets and devices are no log files and could block a read.
    if (!platform::IsRegularFile(path)) continue;
    AddFile(path);
  }
  if (files_.size() == before)
    Problem(FormatText(Translate(1003, "The log path %1 matches no file."), {folder + pattern}));
}

void TFileChooser::AddFile(const std::string& path) {
  files_.push_back(path);
  const int64_t size = platform::FileSize(path);
  if (size > 0) total_kb_ += size / 1024;
}

bool TFileChooser::Accepts(const std::string& path) {
  bool accept = true;
  if (on_file_start_) on_file_start_(*this, path, accept);
  return accept;
}

void TFileChooser::Notice(const std::string& line) const {
  if (reporter_ != nullptr) {
    reporter_->Notice(line);
  } else {
    OutputLine(line);
  }
}

void TFileChooser::Problem(const std::string& text) {
  problems_.push_back(text);
  Notice("<P>" + Translate(1002, "Warning:") + " " + text + "</P>");
}

void TFileChooser::Announce() const {
  Notice(Translate(260, "Processing file") + " (" + std::to_string(index_ + 1) + " of " +
         std::to_string(Count()) + "): " + current_path_);
}

bool TFileChooser::OpenNext() {
  while (index_ + 1 < Count()) {
    ++index_;
    const std::string& path = files_[static_cast<size_t>(index_)];
    current_path_ = path;
    if (!platform::PathExists(path)) {
      Problem(Translate(258, "Log file") + " " + path + " " + Translate(259, "not found"));
      continue;
    }
    if (!Accepts(path)) continue;
    if (Count() > 1) Announce();
    std::unique_ptr<TFileParser> reader = CreateFileParser(path);
    try {
      reader->Open(path);
    } catch (const EInOutError& e) {
      Problem(e.Message());
      continue;
    }
    reader_ = std::move(reader);
    return true;
  }
  return false;
}

void TFileChooser::FinishFile() {
  finished_kb_ += reader_->Size() / 1024;
  finished_long_lines_ += reader_->LongLinesDropped();
  if (reader_->Damaged()) {
    Notice("<p>GZ stream error</p>");
    Problem(FormatText(Translate(1004, "The log file %1 is damaged: %2 of its lines were read."),
                       {reader_->Path(), std::to_string(reader_->LinesRead())}));
  }
  // An empty stand-in, so that the finished file is counted once.
  reader_ = std::make_unique<TFileParser>();
}

void TFileChooser::StartFiles() {
  reader_.reset();
  all_done_ = false;
  index_ = -1;
  finished_kb_ = 0;
  finished_long_lines_ = 0;
  if (!OpenNext()) {
    all_done_ = true;
    reader_ = std::make_unique<TFileParser>();
  }
}

void TFileChooser::ReadLine(std::string& line) {
  line.clear();
  while (!all_done_) {
    if (reader_ == nullptr) {
      all_done_ = true;
      return;
    }
    if (!reader_->AtEnd()) {
      try {
        reader_->ReadLine(line);
        return;
      } catch (const EInOutError& e) {
        // A file that fails while it is read ends there; the next follows.
        line.clear();
        Problem(e.Message());
        reader_->Close();
      }
    }
    FinishFile();
    if (!OpenNext()) all_done_ = true;
  }
}

std::string_view TFileChooser::ReadLineView(std::string& spare) {
  // Past the end of a file, the next file is opened as ReadLine does.
  if (!all_done_ && reader_ != nullptr && !reader_->AtEnd()) {
    try {
      return reader_->ReadLineView(spare);
    } catch (const EInOutError& e) {
      // As in ReadLine: a file that fails while it is read ends there.
      Problem(e.Message());
      reader_->Close();
      FinishFile();
      if (!OpenNext()) all_done_ = true;
    }
  }
  ReadLine(spare);
  return spare;
}

std::string TFileChooser::ReadLine() {
  std::string line;
  ReadLine(line);
  return line;
}

int64_t TFileChooser::LongLinesDropped() const {
  return finished_long_lines_ + (reader_ != nullptr ? reader_->LongLinesDropped() : 0);
}

int64_t TFileChooser::ProgressKB() const {
  // The current file counts until it is added to the finished ones, also
  // at its end, so that the count never steps back between two files.
  int64_t kb = finished_kb_;
  if (reader_ != nullptr) kb += reader_->Position() / 1024;
  return kb;
}

}  // namespace trelvar
