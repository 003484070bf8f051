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

}  // namespace

const std::vector<TReportType>& ReportTypes() {
  static const std::vector<TReportType> kTypes = {
      {"basic", &TPrRep::StaticTypeCaption, &Make<TPrRep>},
      {"search_phrases", &TSearchPhrases::StaticTypeCaption, &Make<TSearchPhrases>},
      {"search_words", &TSearchWords::StaticTypeCaption, &Make<TSearchWords>},
      {"search_engines", &reports::TSearchEngines::StaticTypeCaption,
       &Make<reports::TSearchEngines>},
      {"terminal", &TTerminalRep::StaticTypeCaption, &Make<TTerminalRep>},
      {"time_report", &TCustomTimeReport::StaticTypeCaption, &Make<TCustomTimeReport>},
      {"time_taken", &TTimeTaken::StaticTypeCaption, &Make<TTimeTaken>},
      {"cross", &TCrossRep::StaticTypeCaption, &Make<TCrossRep>},
      {"timeonsite", &TTimeonsiteRep::StaticTypeCaption, &Make<TTimeonsiteRep>},
      {"visitor_path", &TVisPathRep::StaticTypeCaption, &Make<TVisPathRep>},
      {"common_path", &TCommonPathRep::StaticTypeCaption, &Make<TCommonPathRep>},
      {"ref_analysis", &TRefAn::StaticTypeCaption, &Make<TRefAn>},
      {"indirect_ref_analysis", &TIndirectRefAn::StaticTypeCaption, &Make<TIndirectRefAn>},
      {"web_model", &TWebModel::StaticTypeCaption, &Make<TWebModel>},
      {"user_model", &TUserModel::StaticTypeCaption, &Make<TUserModel>},
      {"user_profile", &TUserProfile::StaticTypeCaption, &Make<TUserProfile>},
      {"exp_rep", &TExpRep::StaticTypeCaption, &Make<TExpRep>},
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
