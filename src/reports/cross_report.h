// TCrossRep ("cross"): a cross table of two values of the lines. For every
// value of a parent parameter (say, the search engine) it counts the values
// of a child parameter seen on the same lines (say, the search phrases),
// and writes the table on a page of its own, AnchorName() + ".htm", linked
// from the details page.
//
// The report owns its parents and each parent its children, kept in the
// order they first came until a sort; both are found through hash indexes,
// so a line costs the same however many values there are. Clear drops the
// parents (filters, remarks and settings stay). Every logged text is
// HTML-escaped on the page.
//
// Errors: the own page that cannot be written raises EFCreateError; a
// damaged cache block raises EInOutError after emptying the report. Main
// thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "reports/report_base.h"
#include "reports/report_keys.h"

namespace trelvar {

// The cross parameters (their own numbering).
enum CrossParam : uint8_t {
  kCrossNone = 0, kCrossHost = 1, kCrossIp = 2, kCrossHref = 3, kCrossSite = 4,
  kCrossPath = 5, kCrossReferrer = 6, kCrossRefSite = 7, kCrossRefPath = 8,
  kCrossRefDomain = 9, kCrossYear = 10, kCrossMonthName = 16, kCrossDayOfWeek = 17,
  kCrossAgent = 18, kCrossBrowser = 19, kCrossBrowserVersion = 20, kCrossPlatform = 21,
  kCrossPlatformVersion = 22, kCrossMethod = 23, kCrossUriQuery = 24, kCrossFileExt = 25,
  kCrossBytes = 26, kCrossCookie = 27, kCrossStatus = 28, kCrossUserName = 29,
  kCrossSearchEngines = 30, kCrossSearchPhrases = 31, kCrossSearchWords = 32,
  kCrossUserDomain = 33, kCrossUserSite = 34,
};
inline constexpr int kCrossParamCount = 35;

// "host" .. "usersite"; "none" for any other code.
std::string CrossKey(uint8_t code);
// "Host" .. "User site" (not translated); "none" for any other code.
std::string CrossCaption(uint8_t code);
// Trimmed, any case; unknown keys give 0.
uint8_t CrossFromKey(std::string_view key);

struct TCrossRepChild {
  std::string text;
  int32_t count = 0;
};

struct TCrossRepParent {
  std::string text;
  int32_t total = 0;        // the children's counts summed
  int32_t shown_total = 0;  // the shown children's counts, set by Display
  std::vector<std::unique_ptr<TCrossRepChild>> children;
  std::unordered_map<std::string_view, TCrossRepChild*> by_text;  // views into the children

  // Counts one more of the text (nothing for an empty text).
  void Count(const std::string& child);
  void Reindex();
};

// A copy (Clone) takes the base settings, filters, both parameters, sort
// flags and limits.
class TCrossRep : public TReportOf<TCrossRep, TCustomFiltredRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"cross", 351, "Cross report"};
  static constexpr int32_t kDefaultLimit = 10;

  explicit TCrossRep(TReportContext& ctx);
  static const TReportKeys<TCrossRep>& DefinitionKeys();

  void ProcessLine() override;
  void Display() override;
  void Clear() override;
  bool UsesReverseDns() const override;
  // With approximate analysis: long child and parent lists are cut to
  // their best entries.
  void Compact() override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;

  // Counts the child under the parent (a new parent when there is none).
  void AddPair(const std::string& parent, const std::string& child);
  // The value of a cross parameter in the current line.
  std::string CrossValue(uint8_t code);
  // Children of every parent, then the parents, by the sort settings.
  void SortAll();
  using TParents = std::vector<std::unique_ptr<TCrossRepParent>>;
  const TParents& Parents() const { return parents_; }

  uint8_t parent_param = kCrossSearchEngines;
  uint8_t child_param = kCrossSearchPhrases;
  bool parent_by_value = true;
  bool child_by_value = true;
  int32_t parent_limit = kDefaultLimit;
  int32_t child_limit = kDefaultLimit;
  bool pages_only = true;
  bool show_percent = true;

 private:
  void SortChildren(TCrossRepParent& parent) const;
  void SortParents();
  void ReindexParents();

  TParents parents_;
  std::unordered_map<std::string_view, TCrossRepParent*> by_text_;  // views into the parents
};

}  // namespace trelvar
