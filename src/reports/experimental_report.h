// TExpRep ("exp_rep"): how well the web model predicts navigation.
//
// The first 80 % of the log (by bytes read) trains the linked web model;
// on every later finished visit of more than one page, two independent
// random walks through the model start at the visit's first page and try
// to reach the visit's target pages (its last page, all its pages, or the
// page with the longest time). The report counts how often and after how
// many steps they succeed and writes "exp_results.htm" in the
// Windows-1251 code page, with two JPEG charts, "results.jpg" and
// "dist_bar.jpg". Pages are compared by their web model key, so that
// letter case and queries do not keep a walk from its target.
//
// The web model is not owned: the report set links the first "web_model"
// report of the set when it loads an "exp_rep" block and unlinks it when
// that report goes. Without a link every walk ends at its first page.
// Writing the page or a chart raises EFCreateError. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reports/report_base.h"
#include "reports/report_keys.h"

namespace trelvar {

class TWebModel;

// No definition keys; a copy (Clone) takes the settings, the visit
// counter and the web model.
class TExpRep : public TReportOf<TExpRep, TCustomWReport> {
 public:
  static constexpr TReportIdentity kIdentity = {"exp_rep", TReportIdentity::kUntranslated,
                                                "Experimental report"};

  explicit TExpRep(TReportContext& ctx);
  static const TReportKeys<TExpRep>& DefinitionKeys();

  void ProcessLine() override;
  void Display() override;
  void Clear() override;

  // Counts of one kind of walk.
  struct TWalkStats {
    int32_t found = 0;  // walks that reached all targets
    int32_t length_sum = 0, length_square_sum = 0;
    int32_t found_length_sum = 0, found_length_square_sum = 0;
  };
  static constexpr int kHistogramSize = 21;  // walk lengths 0 to 20

  TWebModel* web_model = nullptr;  // not owned
  int target_mode = 0;  // 0 last page, 1 every page, 2 longest time
  int walk_length_limit = 20;
  int top_count = 5;
  int32_t trained_visits = 200;

  int32_t Visits() const { return visits_; }
  const TWalkStats& WalkA() const { return a_; }
  const TWalkStats& WalkB() const { return b_; }
  // Walks of length L: (A, B).
  const std::array<std::array<double, 2>, kHistogramSize>& Histogram() const {
    return histogram_;
  }

 private:
  void SetTargets();
  void Walk(TWalkStats& stats, std::vector<std::string>& walk, int histogram_column);
  // Removes the first target with this key; true when one was removed.
  bool RemoveTarget(const std::string& key);
  // The page file text (UTF-8, converted when written).
  std::string PageText();
  void DrawCharts(TPageSink& page);

  int32_t visits_ = 0;
  TWalkStats a_, b_;
  std::array<std::array<double, 2>, kHistogramSize> histogram_{};
  // The visit being tested: its pages, remaining targets (keys), the walks.
  std::vector<std::string> visit_pages_, targets_, walk_a_, walk_b_;
  std::string longest_page_;
};

}  // namespace trelvar
