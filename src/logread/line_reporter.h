// TLineReporter: what the line parser tells of its scan.
//
// The parser is a source of lines and nothing else: it does not write to
// pages or to the output channel. Whatever the user is to hear of a scan
// (its start, notices such as a recognised format or a file that mostly
// does not fit, every line that could not be counted, its end) goes to the
// reporter it is given, which decides where it goes (TRejectLog: the
// analysis error page and the output channel). Called on the parser's
// thread.
#pragma once

#include <string>
#include <string_view>

namespace trelvar {

class TLineReporter {
 public:
  virtual ~TLineReporter() = default;

  // The scan begins; `heading` names it ("Scanning log file(s)  ..").
  virtual void ScanStarting(const std::string& heading) = 0;
  // A line for the user (HTML markup allowed; log text in it is escaped).
  virtual void Notice(const std::string& line) = 0;
  // A line that is not counted: `reason` is plain text (it may quote the
  // line), `raw` the line as read (may be empty).
  virtual void Rejected(std::string_view reason, std::string_view raw) = 0;
  // The last line of the last file has been handed out.
  virtual void ScanFinished() = 0;
};

}  // namespace trelvar
