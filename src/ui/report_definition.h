// TReportDefinition: one report's definition lines as the report editor
// shows them, and the report made again from the edited lines.
//
// The editor knows a few keys by themselves (name, category, remarks,
// filters); every other line a report writes is one parameter row of key
// and value, kept exactly as written, in order, so that a value the editor
// does not understand goes back to the report unchanged. Applying makes a
// new report of the same type from the edited lines (nothing of the old
// report's loaded state can linger) and tells which values the report did
// not take as they were typed. No Qt; not thread-safe.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace trelvar {
class TCustomWReport;
struct TReportContext;
}  // namespace trelvar

namespace trelvar::ui {

struct TDefinitionRow {
  std::string key;    // as written (the key text before the first "=")
  std::string value;  // everything after it, untrimmed
  bool operator==(const TDefinitionRow&) const = default;
};

struct TFilterRow {
  std::string param;      // the parameter's key ("referrer")
  std::string condition;  // the condition's name ("includes")
  std::string value;
  bool operator==(const TFilterRow&) const = default;
};

struct TReportDefinition {
  std::string type_key;
  std::string name;
  int category_no = 0;
  std::vector<TDefinitionRow> params;  // footer and the type's own keys
  std::vector<std::string> remarks;    // one line each
  std::vector<TFilterRow> filters;
  bool has_filters = false;  // the report type takes filters

  // What the report writes (its long form).
  static TReportDefinition Of(TCustomWReport& report);
  // The definition block, "type=" line first, lines ended by CR LF.
  std::string Text() const;
  bool operator==(const TReportDefinition&) const = default;
};

// The result of making a report again from an edited definition.
struct TAppliedReport {
  std::unique_ptr<TCustomWReport> report;  // null when the definition was refused
  std::string error;                       // why it was refused
  // Parameter rows whose value the report took otherwise: key, typed
  // value, value taken.
  struct TChange {
    std::string key, typed, taken;
  };
  std::vector<TChange> changed;
};

// Line breaks cannot live in a definition line: they become spaces.
std::string OneLine(std::string text);

// A new report of the definition's type with its lines loaded. A type that
// does not exist, or a value the report refuses (a category or number that
// is not an integer), gives no report and the error's message.
TAppliedReport MakeReport(const TReportDefinition& definition, TReportContext& ctx);

}  // namespace trelvar::ui
