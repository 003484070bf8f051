#include "reports/reports_cache.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/errors.h"
#include "base/progress.h"
#include "base/run_control.h"
#include "base/safe_file.h"
#include "config/folders.h"
#include "platform/files.h"
#include "reports/report_base.h"

namespace trelvar {

namespace {

template <typename T>
void AppendLittleEndian(std::string& out, T value) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));  // the machine is little-endian (x86-64, arm64)
  out.append(reinterpret_cast<const char*>(bytes), sizeof(T));
}

// Writes `text` to `path` through a temporary file; false on failure.
bool WriteTemp(const std::string& path, const std::string& text) {
  return platform::WriteNewFile(path + ".tmp", text, 0644);
}

}  // namespace

void TReportsCache::WriteInteger(int32_t value) {
  AppendLittleEndian(out_, value);
  written_ += 4;
}

void TReportsCache::WriteByte(uint8_t value) {
  out_ += static_cast<char>(value);
  written_ += 1;
}

void TReportsCache::WriteReal(double value) {
  AppendLittleEndian(out_, value);
  written_ += 8;
}

void TReportsCache::WriteString(std::string_view value) {
  WriteInteger(static_cast<int32_t>(value.size()));
  out_ += value;
  written_ += value.size();
}

void TReportsCache::Need(size_t bytes) const {
  if (bytes > limit_ - pos_) throw EInOutError("Cache data ends too soon");
}

template <typename T>
T TReportsCache::ReadLittleEndian() {
  Need(sizeof(T));
  T v;
  std::memcpy(&v, in_.data() + pos_, sizeof(T));
  pos_ += sizeof(T);
  return v;
}

int32_t TReportsCache::ReadInteger() { return ReadLittleEndian<int32_t>(); }

uint8_t TReportsCache::ReadByte() {
  Need(1);
  return static_cast<uint8_t>(in_[pos_++]);
}

int32_t TReportsCache::ReadInteger(int32_t lowest, int32_t highest) {
  const int32_t n = ReadInteger();
  if (n < lowest || n > highest) throw EInOutError("Cache data holds a number out of range");
  return n;
}

int32_t TReportsCache::ReadCount() {
  const int32_t n = ReadInteger();
  if (n < 0) throw EInOutError("Cache block holds a negative count");
  return n;
}

bool TReportsCache::ReadBool() {
  const uint8_t b = ReadByte();
  if (b > 1) throw EInOutError("Cache data holds a flag that is neither 0 nor 1");
  return b == 1;
}

double TReportsCache::ReadReal(double lowest, double highest) {
  const double v = ReadReal();
  // NaN fails the comparison; infinities lie outside every stated range.
  if (!(v >= lowest && v <= highest) || !std::isfinite(v))
    throw EInOutError("Cache data holds a real out of range");
  return v;
}

TDateTime TReportsCache::ReadDateTime() {
  const TDateTime t = ReadReal();
  if (!IsValidDateTime(t)) throw EInOutError("Cache data holds a date-time out of range");
  return t;
}

double TReportsCache::ReadReal() { return ReadLittleEndian<double>(); }

std::string TReportsCache::ReadString() {
  const int32_t n = ReadInteger();
  if (n < 0) throw EInOutError("Cache data holds a negative length");
  Need(static_cast<size_t>(n));
  std::string s = in_.substr(pos_, static_cast<size_t>(n));
  pos_ += static_cast<size_t>(n);
  return s;
}

bool TReportsCache::Save(const std::string& path, TReports& reports, const TCacheHeader& header) {
  try {
    out_.clear();
    WriteString(kMagic);
    WriteReal(header.first_line_time);
    WriteReal(header.last_line_time);
    WriteBool(header.use_period);
    WriteReal(header.period_from);
    WriteReal(header.period_to);
    WriteBool(header.approximate);
    WriteInteger(header.tolerance);
    WriteInteger(static_cast<int32_t>(reports.size()));
    for (auto& r : reports) WriteString(r->SaveParams(true));

    if (progress_ != nullptr) {
      progress_->Start("Saving cache...", static_cast<int64_t>(reports.size()));
      progress_->ClearFileName();
      progress_->SetUnitLabelVisible(false);
    }
    std::string index;
    for (size_t i = 0; i < reports.size(); ++i) {
      if (progress_ != nullptr) progress_->SetPosition(static_cast<int64_t>(i));
      if (CancelRequested(progress_)) return false;
      written_ = 0;
      reports[i]->SaveToCache(*this);
      AppendLittleEndian(index, static_cast<int32_t>(written_));
    }
    platform::ForceFolders(ExtractFileDir(path));
    // Both files are complete before either replaces its old copy.
    if (!WriteTemp(path, out_) || !WriteTemp(path + "_", index) ||
        !platform::RenameFile(path + "_.tmp", path + "_") ||
        !platform::RenameFile(path + ".tmp", path)) {
      platform::RemoveFile(path + ".tmp");
      platform::RemoveFile(path + "_.tmp");
      return false;
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TReportsCache::Load(const std::string& path, TReports& reports,
                         const TCacheHeader& wanted) {
  if (!platform::IsRegularFile(path) || !platform::IsRegularFile(path + "_")) {
    OutputLine("Cache not found. Analysis started from beginning");
    return false;
  }
  auto clear_all = [&] {
    for (auto& r : reports) r->Clear();
  };
  try {
    OutputLine("Loading cache...");
    in_ = ReadFileText(path);
    const std::string index = ReadFileText(path + "_");
    pos_ = 0;
    limit_ = in_.size();
    const auto mismatch = [] {
      OutputLine("<p>Cache does not match. Analysis started from beginning.</p>");
      return false;
    };
    if (ReadString() != kMagic) return mismatch();
    TCacheHeader stored;
    stored.first_line_time = ReadDateTime();
    stored.last_line_time = ReadDateTime();
    stored.use_period = ReadBool();
    stored.period_from = ReadDateTime();
    stored.period_to = ReadDateTime();
    stored.approximate = ReadBool();
    stored.tolerance = ReadInteger();
    if (stored.use_period != wanted.use_period || stored.approximate != wanted.approximate)
      return mismatch();
    if (wanted.use_period &&
        (stored.period_from != wanted.period_from || stored.period_to > wanted.period_to))
      return mismatch();
    if (wanted.approximate && stored.tolerance != wanted.tolerance) return mismatch();
    const int32_t count = ReadInteger();
    if (count < 0 || static_cast<size_t>(count) > reports.size() ||
        static_cast<size_t>(count) * 4 > index.size())
      return mismatch();
    std::vector<std::string> definitions;
    for (int32_t j = 0; j < count; ++j) definitions.push_back(ReadString());

    if (progress_ != nullptr) {
      progress_->Start("Loading cache...", count);
      progress_->ClearFileName();
      progress_->SetUnitLabelVisible(false);
    }
    std::vector<std::string> current;
    for (auto& r : reports) current.push_back(r->SaveParams(true));
    for (int32_t j = 0; j < count; ++j) {
      if (progress_ != nullptr) progress_->SetPosition(j);
      if (CancelRequested(progress_)) {
        clear_all();
        return false;
      }
      int32_t length;
      std::memcpy(&length, index.data() + 4 * static_cast<size_t>(j), 4);
      if (length < 0 || static_cast<size_t>(length) > in_.size() - pos_)
        throw EInOutError("Cache index does not fit its data");
      const size_t block_end = pos_ + static_cast<size_t>(length);
      for (size_t i = 0; i < reports.size(); ++i) {
        if (current[i] != definitions[static_cast<size_t>(j)]) continue;
        limit_ = block_end;
        reports[i]->LoadFromCache(*this);
        limit_ = in_.size();
        break;
      }
      pos_ = block_end;
    }
    stored_ = stored;
    return true;
  } catch (const std::exception&) {
    OutputLine("Cache load error. Analysis started from beginning");
    clear_all();
    return false;
  }
}

std::string CacheFileBase(std::string_view site_name) {
  // "." and ".." name folders, not files: every dot of them is written out.
  const bool dots_only = site_name == "." || site_name == "..";
  std::string base;
  base.reserve(site_name.size());
  for (const char c : site_name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '%' || c == '/' || c == '\\' || (dots_only && c == '.')) {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", u);
      base += code;
    } else {
      base += c;
    }
  }
  return base;
}

std::string CacheFilePath(const std::string& data_folder, std::string_view site_name) {
  return data_folder + TReportsCache::kFolder + CacheFileBase(site_name) + ".cache";
}

}  // namespace trelvar
