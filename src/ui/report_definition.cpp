#include "ui/report_definition.h"

#include <algorithm>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "reports/report_base.h"
#include "reports/report_types.h"
#include "sites/conditions.h"

namespace trelvar::ui {

namespace {

// The pieces of a text cut at each CR LF, as LoadParams cuts it; the empty
// piece after the last CR LF is no line.
std::vector<std::string> DefinitionLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      if (start < text.size()) lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace

std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

TReportDefinition TReportDefinition::Of(TCustomWReport& report) {
  TReportDefinition d;
  d.type_key = report.report_type;
  d.name = report.report_name;
  d.category_no = report.category_no;
  auto* filtered = dynamic_cast<TCustomFiltredRep*>(&report);
  d.has_filters = filtered != nullptr;
  if (filtered != nullptr)
    for (const TReportFilter& f : filtered->filters)
      d.filters.push_back({ParamKey(f.kind), ConditionName(f.condition), f.value});
  for (const std::string& line : DefinitionLines(report.SaveParams(false))) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string written = line.substr(0, eq);
    const std::string key = LowerCase(Trim(written));
    const std::string value = line.substr(eq + 1);
    // The report's own fields say these better than their lines.
    if (key == "type" || key == "name" || key == "categoryno") continue;
    if (key == "filter" && filtered != nullptr) continue;
    if (key == "rem")
      d.remarks.push_back(value);
    else
      d.params.push_back({written, value});
  }
  return d;
}

std::string TReportDefinition::Text() const {
  std::string text = "type=" + type_key + "\r\n";
  text += "name=" + OneLine(name) + "\r\n";
  text += "categoryno=" + std::to_string(category_no) + "\r\n";
  for (const TDefinitionRow& row : params) text += row.key + "=" + OneLine(row.value) + "\r\n";
  for (const std::string& line : remarks) text += "rem=" + OneLine(line) + "\r\n";
  for (const TFilterRow& f : filters)
    text += "filter=" + f.param + ";" + f.condition + ";" + OneLine(f.value) + "\r\n";
  return text;
}

TAppliedReport MakeReport(const TReportDefinition& definition, TReportContext& ctx) {
  TAppliedReport result;
  const TReportType* type = FindReportType(definition.type_key);
  if (type == nullptr) {
    result.error = FormatText(Translate(2290, "\"%1\" is not a known report type."),
                              {definition.type_key});
    return result;
  }
  std::unique_ptr<TCustomWReport> report = type->create(ctx);
  try {
    report->LoadParams(definition.Text());
  } catch (const Exception& e) {
    result.error = e.Message();
    return result;
  }
  const TReportDefinition taken = TReportDefinition::Of(*report);
  // Rows pair by key in order: the n-th row of a key with the n-th row the
  // report wrote under it.
  std::vector<bool> used(taken.params.size(), false);
  for (const TDefinitionRow& row : definition.params) {
    const std::string key = LowerCase(Trim(row.key));
    const TDefinitionRow* match = nullptr;
    for (size_t i = 0; i < taken.params.size(); ++i)
      if (!used[i] && LowerCase(Trim(taken.params[i].key)) == key) {
        used[i] = true;
        match = &taken.params[i];
        break;
      }
    const std::string typed = OneLine(row.value);
    if (match == nullptr)
      result.changed.push_back({row.key, typed, ""});
    else if (match->value != typed)
      result.changed.push_back({row.key, typed, match->value});
  }
  for (size_t i = 0; i < definition.filters.size() && i < taken.filters.size(); ++i) {
    const TFilterRow& typed = definition.filters[i];
    const TFilterRow& got = taken.filters[i];
    if (typed.param != got.param)
      result.changed.push_back({"filter", typed.param, got.param});
    if (typed.condition != got.condition)
      result.changed.push_back({"filter", typed.condition, got.condition});
  }
  result.report = std::move(report);
  return result;
}

}  // namespace trelvar::ui
