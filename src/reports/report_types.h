// The report types: the "type=" key of a definition block, its caption
// and how to make a report of it. The table answers with and without an
// instance (captions for the report editor, new reports for the loader).
// Immutable; thread-safe.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trelvar {

class TCustomWReport;
struct TReportContext;

struct TReportType {
  const char* key;  // "basic", "terminal", ...
  std::string (*caption)();
  std::unique_ptr<TCustomWReport> (*create)(TReportContext& ctx);
};

const std::vector<TReportType>& ReportTypes();
// Exact (case-sensitive) key; null when unknown.
const TReportType* FindReportType(std::string_view key);
// The caption of a key, or "" for an unknown key.
std::string GetReportTypeName(std::string_view key);
// The key of a caption, or "" for an unknown caption.
std::string GetReportType(std::string_view caption);

}  // namespace trelvar
