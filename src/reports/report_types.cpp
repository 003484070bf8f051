#include "reports/report_types.h"

#include "reports/cross_report.h"
#include "reports/experimental_report.h"
#include "reports/referrer_reports.h"
#include "reports/standard_reports.h"
#include "reports/time_report.h"
#include "reports/time_taken_report.h"
#include "reports/user_models.h"
#include "reports/visit_reports.h"
#include "reports/web_model.h"

namespace trelvar {

namespace {

template <typename T>
std::unique_ptr<TCustomWReport> Make(TReportContext& ctx) {
  return std::make_unique<T>(ctx);
}

// A report type as its class declares it.
template <typename T>
TReportType TypeOf() {
  return {T::kIdentity.key, &T::StaticTypeCaption, &Make<T>};
}

}  // namespace

const std::vector<TReportType>& ReportTypes() {
  static const std::vector<TReportType> kTypes = {
      TypeOf<TPrRep>(),         TypeOf<TSearchPhrases>(), TypeOf<TSearchWords>(),
      TypeOf<reports::TSearchEngines>(), TypeOf<TTerminalRep>(),
      TypeOf<TCustomTimeReport>(), TypeOf<TTimeTaken>(), TypeOf<TCrossRep>(),
      TypeOf<TTimeonsiteRep>(), TypeOf<TVisPathRep>(), TypeOf<TCommonPathRep>(),
      TypeOf<TRefAn>(), TypeOf<TIndirectRefAn>(), TypeOf<TWebModel>(), TypeOf<TUserModel>(),
      TypeOf<TUserProfile>(), TypeOf<TExpRep>(),
  };
  return kTypes;
}

const TReportType* FindReportType(std::string_view key) {
  for (const TReportType& t : ReportTypes())
    if (key == t.key) return &t;
  return nullptr;
}

std::string GetReportTypeName(std::string_view key) {
  const TReportType* t = FindReportType(key);
  return t == nullptr ? "" : t->caption();
}

std::string GetReportType(std::string_view caption) {
  for (const TReportType& t : ReportTypes())
    if (caption == t.caption()) return t.key;
  return "";
}

}  // namespace trelvar
