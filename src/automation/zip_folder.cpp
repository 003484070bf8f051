#include "automation/zip_folder.h"

#include <minizip/zip.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <vector>

#include "base/progress.h"
#include "base/run_control.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/translator.h"
#include "platform/files.h"

namespace trelvar {

namespace {

constexpr size_t kBlockSize = 8192;

struct TZipEntry {
  std::string file;   // the name in the folder
  std::string entry;  // the name in the archive
};

std::string LowerExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : LowerCase(name.substr(dot));
}

// The archive names of `files` (sorted, distinct): lower case, and
// distinct again (see the header).
std::vector<TZipEntry> EntryNames(const std::vector<std::string>& files) {
  std::vector<TZipEntry> entries(files.size());
  std::set<std::string> taken;
  for (size_t i = 0; i < files.size(); ++i) {
    entries[i].file = files[i];
    if (LowerCase(files[i]) == files[i]) {
      entries[i].entry = files[i];
      taken.insert(files[i]);
    }
  }
  for (TZipEntry& e : entries) {
    if (!e.entry.empty()) continue;
    const std::string lower = LowerCase(e.file);
    const size_t dot = lower.rfind('.');
    const bool has_ext = dot != std::string::npos && dot > 0;
    const std::string stem = has_ext ? lower.substr(0, dot) : lower;
    const std::string ext = has_ext ? lower.substr(dot) : "";
    std::string name = lower;
    for (int n = 2; taken.count(name) != 0; ++n) name = stem + "~" + std::to_string(n) + ext;
    e.entry = name;
    taken.insert(name);
  }
  return entries;
}

// The file's time as the archive keeps it (DOS dates run from 1980 to 2107).
tm_zip ZipTime(const std::string& path) {
  tm_zip t{};
  t.tm_mday = 1;
  t.tm_year = 1980;
  const auto local = platform::FileModifiedLocal(path);
  if (!local) return t;
  if (local->year < 1980) return t;
  if (local->year > 2107) {
    t = {58, 59, 23, 31, 11, 2107};
    return t;
  }
  t.tm_sec = static_cast<uInt>(local->second);
  t.tm_min = static_cast<uInt>(local->minute);
  t.tm_hour = static_cast<uInt>(local->hour);
  t.tm_mday = static_cast<uInt>(local->day);
  t.tm_mon = static_cast<uInt>(local->month - 1);
  t.tm_year = static_cast<uInt>(local->year);
  return t;
}

// The cause of a failed zip call; `error_number` is errno right after it.
std::string ZipCause(int code, int error_number) {
  if (code == ZIP_ERRNO && error_number != 0) return platform::SystemErrorText(error_number);
  return FormatText(Translate(1113, "the zip library failed with code %1"),
                    {std::to_string(code)});
}

void Paragraph(const std::string& text) { OutputLine("<P>" + text + "</P>"); }

// A path as part of one HTML line: a file name may hold line breaks.
std::string Shown(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return HtmlEscape(out);
}

// An open archive; removed when it goes unless it was closed completely.
class TArchive {
 public:
  explicit TArchive(std::string path) : path_(std::move(path)) {}
  ~TArchive() {
    if (zip_ != nullptr) zipClose(zip_, nullptr);
    if (created_ && !complete_) platform::RemoveFile(path_);
  }
  TArchive(const TArchive&) = delete;
  TArchive& operator=(const TArchive&) = delete;

  // False with `cause` set when the file cannot be created.
  bool Create(std::string& cause) {
    errno = 0;
    zip_ = zipOpen64(path_.c_str(), APPEND_STATUS_CREATE);
    if (zip_ == nullptr) {
      cause = errno != 0 ? platform::SystemErrorText(errno) : ZipCause(ZIP_PARAMERROR, 0);
      return false;
    }
    created_ = true;
    return true;
  }
  zipFile Handle() const { return zip_; }
  // Writes the archive's directory; false with `cause` set on failure.
  bool Close(std::string& cause) {
    errno = 0;
    const int rc = zipClose(zip_, nullptr);
    const int error_number = errno;
    zip_ = nullptr;
    if (rc != ZIP_OK) {
      cause = ZipCause(rc, error_number);
      return false;
    }
    complete_ = true;
    return true;
  }

 private:
  std::string path_;
  zipFile zip_ = nullptr;
  bool created_ = false;
  bool complete_ = false;
};

enum class TAddResult { Added, Failed, Cancelled };

// Adds one file; on failure `cause` says why.
TAddResult AddFile(zipFile zip, const std::string& path, const std::string& entry,
                   TfrmProg* progress, std::string& cause) {
  platform::TReadOnlyFile in;
  if (!in.Open(path)) {
    cause = platform::SystemErrorText(in.Error());
    return TAddResult::Failed;
  }
  zip_fileinfo info{};
  info.tmz_date = ZipTime(path);
  const int zip64 = in.Size() >= 0xffffffffLL ? 1 : 0;
  errno = 0;
  int rc = zipOpenNewFileInZip64(zip, entry.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                 Z_DEFLATED, 9, zip64);
  if (rc != ZIP_OK) {
    cause = ZipCause(rc, errno);
    return TAddResult::Failed;
  }
  std::vector<char> block(kBlockSize);
  for (;;) {
    const int64_t n = in.Read(block.data(), block.size());
    if (n < 0) {
      cause = platform::SystemErrorText(in.Error());
      zipCloseFileInZip(zip);
      return TAddResult::Failed;
    }
    if (n == 0) break;
    errno = 0;
    rc = zipWriteInFileInZip(zip, block.data(), static_cast<unsigned>(n));
    if (rc != ZIP_OK) {
      cause = ZipCause(rc, errno);
      return TAddResult::Failed;
    }
    if (CancelRequested(progress)) return TAddResult::Cancelled;
  }
  errno = 0;
  rc = zipCloseFileInZip(zip);
  if (rc != ZIP_OK) {
    cause = ZipCause(rc, errno);
    return TAddResult::Failed;
  }
  return TAddResult::Added;
}

// Gives the main window back and hides the progress window however
// zipping ends.
class TZipSession {
 public:
  explicit TZipSession(TfrmProg* progress) : progress_(progress) {}
  ~TZipSession() {
    RunControl().SetMainWindowEnabled(true);
    if (progress_ != nullptr) progress_->Hide();
  }
  TZipSession(const TZipSession&) = delete;
  TZipSession& operator=(const TZipSession&) = delete;

 private:
  TfrmProg* progress_;
};

}  // namespace

bool ZipFolder(const std::string& folder_name, const std::string& archive_name,
               TfrmProg* progress) {
  TZipSession session(progress);
  const std::string folder = ToNativeDir(folder_name);
  const std::string archive_path = folder + archive_name;

  std::vector<platform::TFolderEntry> listing;
  int error_number = 0;
  if (folder.empty() || !platform::ListFolderChecked(folder, "*", listing, error_number)) {
    Paragraph(FormatText(Translate(1110, "The folder %1 cannot be read: %2"),
                         {Shown(folder_name),
                          platform::SystemErrorText(error_number != 0 ? error_number : ENOENT)}));
    return false;
  }
  std::vector<std::string> files;
  for (const platform::TFolderEntry& e : listing) {
    if (e.is_folder || e.name == archive_name || LowerExtension(e.name) == ".zip") continue;
    // Symbolic links to folders, devices and pipes are no report files.
    if (!platform::IsRegularFile(folder + e.name)) continue;
    files.push_back(e.name);
  }
  std::sort(files.begin(), files.end());
  std::vector<TZipEntry> entries = EntryNames(files);
  std::sort(entries.begin(), entries.end(),
            [](const TZipEntry& a, const TZipEntry& b) { return a.entry < b.entry; });

  const std::string caption = Translate(244, "Compressing reports...");
  if (progress != nullptr) {
    progress->SetInfoCaption(caption);
    progress->ClearFileName();
    progress->SetBarMaximum(static_cast<int64_t>(entries.size()));
    progress->SetBarPosition(0);
    progress->SetPosition(0);
    progress->SetUnitLabelVisible(false);
    progress->Show();
  }
  RunControl().OutputHeading("<P><b>" + caption + "</b></P>");

  TArchive archive(archive_path);
  std::string cause;
  if (!archive.Create(cause)) {
    Paragraph(FormatText(Translate(1111, "The archive %1 cannot be created: %2"),
                         {Shown(archive_path), cause}));
    return false;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (progress != nullptr) {
      progress->SetFileName(entries[i].file);
      progress->SetPosition(static_cast<int64_t>(i));
      progress->SetBarPosition(static_cast<int64_t>(i));
    }
    const std::string path = folder + entries[i].file;
    switch (AddFile(archive.Handle(), path, entries[i].entry, progress, cause)) {
      case TAddResult::Added:
        break;
      case TAddResult::Cancelled:
        Paragraph(Translate(235, "Aborted"));
        return false;
      case TAddResult::Failed:
        Paragraph(FormatText(
            Translate(1112, "The file %1 could not be added to the archive %2: %3"),
            {Shown(path), Shown(archive_path), cause}));
        return false;
    }
  }
  if (!archive.Close(cause)) {
    Paragraph(FormatText(Translate(1111, "The archive %1 cannot be created: %2"),
                         {Shown(archive_path), cause}));
    return false;
  }
  if (progress != nullptr) {
    progress->SetPosition(static_cast<int64_t>(entries.size()));
    progress->SetBarPosition(static_cast<int64_t>(entries.size()));
  }
  return true;
}

}  // namespace trelvar
