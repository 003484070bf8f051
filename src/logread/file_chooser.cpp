#include "logread/file_chooser.h"

#include "app/output.h"
#include "config/errors.h"
#include "config/text_helpers.h"
#include "config/translator.h"
#include "config/web_helpers.h"
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
  if (!platform::ListFolderChecked(folder, pattern, entries, error)) {
    throw EInOutError("#" + std::to_string(error) + ": " + platform::SystemErrorText(error) +
                      ":" + "\n" + folder + pattern);
  }
  for (const platform::TFolderEntry& e : entries) {
    if (e.is_folder || e.name == "debug.log") continue;
    const std::string path = folder + e.name;
    // FIFOs, sockets and devices are no log files and could block a read.
    if (!platform::IsRegularFile(path)) continue;
    AddFile(path);
  }
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

void TFileChooser::CheckExists(const std::string& path) const {
  if (!platform::PathExists(path)) {
    throw EInOutError(Translate(258, "Log file") + " " + path + " " + Translate(259, "not found"));
  }
}

void TFileChooser::Announce() const {
  OutputLine(Translate(260, "Processing file") + " (" + std::to_string(index_ + 1) + " of " +
             std::to_string(Count()) + "): " + current_path_);
}

void TFileChooser::StartFiles() {
  reader_.reset();
  all_done_ = false;
  if (files_.empty()) {
    all_done_ = true;
    return;
  }
  index_ = -1;
  finished_kb_ = 0;
  while (index_ + 1 < Count()) {
    ++index_;
    current_path_ = files_[static_cast<size_t>(index_)];
    CheckExists(current_path_);
    reader_ = CreateFileParser(current_path_);
    if (!Accepts(current_path_)) continue;
    if (Count() > 1) Announce();
    reader_->Open(current_path_);
    break;
  }
}

void TFileChooser::ReadLine(std::string& line) {
  line.clear();
  if (all_done_) return;
  if (reader_ == nullptr) {
    all_done_ = true;
    return;
  }
  if (!reader_->AtEnd()) {
    reader_->ReadLine(line);
    return;
  }
  finished_kb_ += reader_->Size() / 1024;
  // An empty stand-in, so that the finished file is counted once also when
  // the next file's error is raised below.
  reader_ = std::make_unique<TFileParser>();
  while (index_ + 1 < Count()) {
    ++index_;
    const std::string& path = files_[static_cast<size_t>(index_)];
    CheckExists(path);
    if (!Accepts(path)) continue;
    reader_ = CreateFileParser(path);
    reader_->Open(path);
    current_path_ = path;
    Announce();
    reader_->ReadLine(line);
    return;
  }
  all_done_ = true;
}

std::string TFileChooser::ReadLine() {
  std::string line;
  ReadLine(line);
  return line;
}

int64_t TFileChooser::ProgressKB() const {
  // The current file counts until it is added to the finished ones, also
  // at its end, so that the count never steps back between two files.
  int64_t kb = finished_kb_;
  if (reader_ != nullptr) kb += reader_->Position() / 1024;
  return kb;
}

}  // namespace trelvar
