// TReportsCache: the saved state of an incremental analysis.
//
// A site's cache is two files in the data folder's "Cache" folder: the
// data file (a header saying under which settings the data was collected,
// the short definitions of the reports, then one block per report written
// by the report itself) and the index file (the byte length of each
// block). All numbers are little-endian: integers 4 bytes, reals IEEE
// doubles, strings a 4-byte count and the bytes.
//
// Save builds both files in memory and replaces them together through
// temporary names and renames, so a cancelled or failed save leaves the
// previous pair as it was. Load reads both files whole, refuses a cache
// from other settings, and gives each report only its own block: reading
// past a block or past the index is an error, after which every report is
// cleared. A value out of its range (a negative count, a real that is not
// finite, a date-time outside the years 1 to 9999) is damage too: the
// checked reads below raise EInOutError for it, so that nothing read from
// a damaged cache reaches a page. One object serves one load or one save.
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"

namespace trelvar {

class TCustomWReport;
class TfrmProg;

// The header of a cache: the time range of the lines its data holds and
// the settings they were counted under, which a later analysis must share
// to use it.
struct TCacheHeader {
  TDateTime first_line_time = 0;
  TDateTime last_line_time = 0;
  bool use_period = false;
  TDateTime period_from = 0;
  TDateTime period_to = 0;
  bool approximate = false;
  int32_t tolerance = 0;
};

class TReportsCache {
 public:
  using TReports = std::vector<std::unique_ptr<TCustomWReport>>;

  explicit TReportsCache(TfrmProg* progress = nullptr) : progress_(progress) {}

  void WriteInteger(int32_t value);
  void WriteByte(uint8_t value);
  void WriteBool(bool value) { WriteByte(value ? 1 : 0); }
  void WriteReal(double value);
  void WriteString(std::string_view value);
  // Raise EInOutError when the block or the file ends too soon.
  int32_t ReadInteger();
  uint8_t ReadByte();
  double ReadReal();
  std::string ReadString();
  // The checked reads: each also raises EInOutError for a value outside
  // its range.
  // An integer from lowest to highest.
  int32_t ReadInteger(int32_t lowest, int32_t highest);
  // A count of records or events: 0 or more.
  int32_t ReadCount();
  // A byte 0 (false) or 1 (true).
  bool ReadBool();
  // A finite real from lowest to highest.
  double ReadReal(double lowest, double highest);
  // A date-time of the years 1 to 9999.
  TDateTime ReadDateTime();

  // Ranges of the reals that blocks hold: a span between two date-times
  // (days), and a sum of such spans over as many visits as a count holds.
  static constexpr double kLongestSpan = kMaxDateTime - kMinDateTime;
  static constexpr double kLongestSpanSum = kLongestSpan * 2147483647.0;

  // Fills `reports` from the cache when its header matches the settings
  // of `wanted` (whose line times are not looked at); the header read is
  // Stored() afterwards.
  bool Load(const std::string& path, TReports& reports, const TCacheHeader& wanted);
  bool Save(const std::string& path, TReports& reports, const TCacheHeader& header);

  // The header of the cache the last Load took.
  const TCacheHeader& Stored() const { return stored_; }

  static constexpr const char* kMagic = "ZEB 1.4 cache";
  // The folder of the cache files under the data folder.
  static constexpr const char* kFolder = "Cache/";

 private:
  void Need(size_t bytes) const;
  // The next sizeof(T) bytes of the block, as AppendLittleEndian wrote them.
  template <typename T>
  T ReadLittleEndian();

  TfrmProg* progress_;
  std::string out_;        // the data file being written
  size_t written_ = 0;     // bytes written since the last reset
  std::string in_;         // the data file being read
  size_t pos_ = 0;
  size_t limit_ = 0;       // end of the block being read
  TCacheHeader stored_;
};

// What the reports' blocks have in common.

// A list: its count, then each entry as `write` writes it.
template <typename List, typename Write>
void WriteList(TReportsCache& cache, const List& list, Write write) {
  cache.WriteInteger(static_cast<int32_t>(list.size()));
  for (const auto& entry : list) write(entry);
}

// A list that WriteList wrote: reads its count and calls `read` once per
// entry; answers the count.
template <typename Read>
int32_t ReadList(TReportsCache& cache, Read read) {
  const int32_t count = cache.ReadCount();
  // No reservation by the stored count: a damaged count must not allocate.
  for (int32_t i = 0; i < count; ++i) read();
  return count;
}

// Loads a report's block with `load`: the report is cleared first, and
// again when the block fails, so that nothing half-read stays in it.
template <typename Report, typename Load>
void LoadCleared(Report& report, Load load) {
  report.Clear();
  try {
    load();
  } catch (...) {
    report.Clear();
    throw;
  }
}

// The base of a site's cache file names: the site name, with "%", "/",
// "\" and control characters written as "%XX" (and the names "." and ".."
// written all as "%2E"), so that the files always lie inside the cache
// folder and two sites never share them. Names without such characters
// stay as they are.
std::string CacheFileBase(std::string_view site_name);
// The data file of a site's cache: data folder + "Cache/" + base + ".cache"
// (the index file is that name + "_").
std::string CacheFilePath(const std::string& data_folder, std::string_view site_name);

}  // namespace trelvar
