#include "logread/reject_log.h"

#include <string>

#include "base/run_control.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/translator.h"

namespace trelvar {

void TRejectLog::ScanStarting(const std::string& heading) {
  RunControl().SetMainWindowEnabled(false);
  RunControl().OutputHeading(heading);
}

void TRejectLog::Notice(const std::string& line) { OutputLine(line); }

void TRejectLog::Rejected(std::string_view reason, std::string_view raw) {
  ++count_;
  if (out_ == nullptr || count_ > kListed) return;
  *out_ << HtmlEscape(reason) << "<BR>\r\n" << HtmlEscape(raw) << "<BR>\r\n<BR>\r\n";
}

void TRejectLog::ScanFinished() {
  if (finished_) return;
  finished_ = true;
  if (out_ == nullptr || count_ <= kListed) return;
  *out_ << HtmlEscape(FormatText(Translate(1010, "%1 more rejected lines are not listed."),
                                 {std::to_string(count_ - kListed)}))
        << "<BR>\r\n";
}

}  // namespace trelvar
