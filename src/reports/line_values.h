// TLineValues: the values of the current line that reports count and
// filter on, worked out once per line and numbered.
//
// Many reports read the same parameters of every line (the robot of the
// agent, the referrer's site, the country of the client...). Each is
// worked out here the first time a report asks for it after NextLine, and
// shared by every report until the next line. Each distinct text of a
// parameter also gets a number, equal for equal texts, so that reports can
// keep what they know of a value (its row, a filter's answer) in flat
// tables indexed by the number instead of hashing the text on every line.
//
// Numbers are dense from 0, per parameter. A parameter that has numbered
// kLimit texts forgets them all and starts again, so memory stays bounded
// on logs with endless distinct values; its Epoch then moves on, and tables
// kept by number (TByValueNumber) empty themselves. Owned by the report
// context; the analysis thread only.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "logread/log_line.h"
#include "reports/report_params.h"

namespace trelvar {

class TMainSettings;
struct TReportContext;

// What a report keeps per number of one parameter's values: default
// values until set, and all of them forgotten when the numbers are.
template <typename T>
class TByValueNumber {
 public:
  // The entry of `number` in `epoch` (from TLineValues::Epoch).
  T& At(uint32_t number, uint64_t epoch) {
    if (epoch != epoch_) {
      items_.clear();
      epoch_ = epoch;
    }
    if (number >= items_.size()) items_.resize(std::max<size_t>(number + 1, items_.size() * 2));
    return items_[number];
  }
  void Clear() {
    items_.clear();
    epoch_ = 0;
  }

 private:
  std::vector<T> items_;
  uint64_t epoch_ = 0;
};

class TLineValues {
 public:
  static constexpr size_t kLimit = 100000;
  // The most serials of an epoch numbered by place (of a parameter).
  static constexpr size_t kKeyWindow = 4 * kLimit;
  static constexpr uint32_t kNoNumber = UINT32_MAX;

  explicit TLineValues(TReportContext& ctx) : ctx_(ctx) {}
  TLineValues(const TLineValues&) = delete;
  TLineValues& operator=(const TLineValues&) = delete;

  // The context's current line is a new one: the values of the last go.
  void NextLine();
  // The text of `param` in the current line; valid until the next line.
  const std::string& Text(ReportParam param) {
    const TCurrent& c = current_[ParamIndex(param)];
    return c.line == line_ ? *c.text : WorkOutText(param);
  }
  // The number of that text among the texts of `param` in this epoch.
  uint32_t Number(ReportParam param) {
    const TCurrent& c = current_[ParamIndex(param)];
    return c.line == line_ && c.numbered ? c.number : WorkOutNumber(param);
  }
  // Moves on whenever the numbers of `param` are forgotten; never 0.
  uint64_t Epoch(ReportParam param) const { return tables_[ParamIndex(param)].epoch; }
  // Forgets every number (a new pass).
  void Forget();
  // The field of the current line that the value of `param` is worked out
  // from; kFieldNone for values of the line's time, split or visit alone.
  static int FieldRead(ReportParam param);

  // The search phrase in the referrer's query (for the search engine of
  // its site, decoded and in lower case; empty when there is none) and the
  // search engine of its site: worked out once per referrer. Valid until
  // the next line.
  const std::string& SearchPhrase();
  const std::string& SearchEngine();

 private:
  // One parameter's numbered texts: an open-addressing table of numbers,
  // at most half full, found by hash and then compared by text. A
  // parameter worked out from another one's text (the robot from the
  // agent, the country from the address...) also keeps its number by the
  // number of that text, so that it costs no hashing of its own.
  // A place of an open-addressing table of texts: the high half of the
  // text's hash, which spares most comparisons, and the number + 1 (0:
  // empty).
  struct TPlace {
    uint32_t key = 0;
    uint32_t number = 0;
    uint32_t Hash() const { return key; }
  };
  // The same for values known by a whole key (the parser's serial of a
  // split or an agent): one look per line.
  struct TKeyPlace {
    uint64_t key = 0;
    uint32_t number = 0;
    uint32_t Hash() const { return High(Mix(key)); }
  };
  struct TTable {
    // By number; references stay valid. Texts numbered by a key are never
    // compared, so they are kept empty.
    std::deque<std::string> texts;
    std::vector<TPlace> places;
    // URLs and agents are also numbered by the parser's serials, which it
    // never gives to another text: no hashing of the text. Serials come
    // dense and rising, so most find their number + 1 by place in by_key,
    // from key_base (the first serial of the epoch; 0 before it) within
    // kKeyWindow; the others through key_places.
    std::vector<uint32_t> by_key;
    uint64_t key_base = 0;
    std::vector<TKeyPlace> key_places;
    uint64_t epoch = 1;
    TByValueNumber<uint32_t> by_source;  // number + 1 by the source's number
    uint32_t last = kNoNumber;  // the number Intern gave last
  };
  struct TCurrent {
    uint64_t line = 0;        // the line `text` and `number` belong to
    const std::string* text = nullptr;
    std::string own;          // the text when it is not a field of the line
    bool numbered = false;
    uint32_t number = 0;
  };

  const std::string& WorkOutText(ReportParam param);
  uint32_t WorkOutNumber(ReportParam param);
  const std::string& WorkOut(ReportParam param, std::string& own);
  uint32_t Intern(ReportParam param, const std::string& text);
  // Numbers a value by its key.
  uint32_t InternKey(ReportParam param, uint64_t key);
  // The mixed hash of a key: its low bits pick the place where the search
  // starts, its high half is kept in the place.
  static uint64_t Mix(uint64_t key) { return key * 0x9E3779B97F4A7C15ULL; }
  static uint32_t High(uint64_t mixed) { return static_cast<uint32_t>(mixed >> 32); }
  // Where the search for a key starts.
  static size_t Start(uint32_t key, size_t mask) { return key & mask; }
  // Grows `places` to hold one more than `size` at most half full.
  template <typename Place>
  static void MakeRoom(std::vector<Place>& places, size_t size);
  void Empty(ReportParam param);

  // A referrer's search phrase and engine, as places in search_texts_
  // (kUnknown until worked out): thousands of referrers share a few texts.
  static constexpr uint32_t kUnknown = UINT32_MAX;
  struct TSearchOf {
    uint32_t phrase = kUnknown, engine = kUnknown;
  };
  const std::string& SearchText(uint32_t& place, std::string text);
  void ForgetSearches();
  TSearchOf& SearchOfReferrer();

  TReportContext& ctx_;
  TByValueNumber<TSearchOf> search_;  // by the referrer's number
  std::deque<std::string> search_texts_;  // distinct phrases and engines
  std::unordered_map<std::string_view, uint32_t> search_places_;  // into search_texts_
  const TMainSettings* search_settings_ = nullptr;  // whose engines search_ holds
  uint64_t line_ = 1;
  uint64_t epochs_ = 1;  // the last epoch handed out
  uint64_t robots_generation_ = 0;  // of the robot memo the robots came from
  std::array<TCurrent, kParamCount> current_{};
  std::array<TTable, kParamCount> tables_{};
};

}  // namespace trelvar
