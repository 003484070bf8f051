#include "config/main_settings.h"

#include "base/errors.h"
#include "base/password_scrambler.h"
#include "base/safe_file.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "platform/files.h"

namespace trelvar {

namespace {

const char kFileName[] = "main.ini";
const char kDefaultPageExtensions[] =
    ".htm.html.asp.aspx.jsp.php.php3.php4.stm.jhtml.cfm.shtm.shtml.dll";

// A number is true when not 0; otherwise "true" or "false" (lower case,
// since values are lower-cased before).
bool TryReadBool(const std::string& value, bool& out) {
  int64_t n = 0;
  if (TryStrToInt64(value, n)) {
    out = n != 0;
    return true;
  }
  if (value == "true" || value == "false") {
    out = value == "true";
    return true;
  }
  return false;
}

std::string BoolNumber(bool b) { return b ? "-1" : "0"; }

}  // namespace

TMainSettings::TMainSettings(const TFolders& folders, TFormatLines& formats,
                             TLangTranslator* translator)
    : analyze_period_from(Today() - 30),
      analyze_period_to(Today()),
      mail_subject(Translate(245, "Reports")),
      web_page_extensions(kDefaultPageExtensions),
      vis_path_extensions(std::string(".zip.exe") + kDefaultPageExtensions),
      folders_(folders),
      formats_(formats),
      translator_(translator) {
  Load();
}

void TMainSettings::Load() { Load(folders_.Data() + kFileName); }

void TMainSettings::Load(const std::string& path) {
  folders_.EnsureDataFile(folders_.Data() + "ex0012.log");
  folders_.EnsureDataFile(path);
  LoadFromText(ReadFileText(path));
}

void TMainSettings::LoadFromText(const std::string& text) {
  complete_ = false;  // until the last line is read
  mail_message.clear();
  int mail_lines = 0;
  for (const std::string& line : SplitTextLines(text)) {
    if (line.empty() || line[0] == '#') continue;
    const TKeyValue kv = SplitKeyValue(line);
    const std::string& key = kv.key;
    if (key.empty()) continue;

    // Values taken as they stand.
    if (key == "default_site") { default_site = kv.value; continue; }
    if (key == "mailsubject") { mail_subject = kv.value; continue; }
    // Scrambled text is case-sensitive.
    if (key == "mailpassword") { mail_password = UnscramblePassword(Trim(kv.value)); continue; }
    if (key == "mailmessage") {
      if (mail_lines++ > 0) mail_message += "\r\n";
      mail_message += kv.value;
      continue;
    }
    if (key == "logformat") { formats_.AddFormatLine(kv.value); continue; }
    if (key == "searchengine") { engines_.AddEngineLine(kv.value); continue; }
    if (key == "language") {
      if (translator_ != nullptr) translator_->SetLanguage(kv.value);
      continue;
    }

    const std::string value = LowerCase(kv.value);
    // Numbers, booleans and dates tolerate blanks around them.
    const std::string number = Trim(value);
    bool b = false;
    int n = 0;
    TDateTime d = 0;
    // Booleans that turn false when they do not convert.
    if (key == "autostartbrowser") { auto_start_browser = TryReadBool(number, b) && b; continue; }
    if (key == "shownavigationbar") { show_navigation_bar = TryReadBool(number, b) && b; continue; }
    // Values that keep their previous value when they do not convert.
    if (key == "reversednslookup") { if (TryReadBool(number, b)) reverse_dns_lookup = b; continue; }
    if (key == "analyzeperiodlast") { if (TryStrToInt(number, n)) analyze_period_last = n; continue; }
    if (key == "dnslookupthreads") { if (TryStrToInt(number, n)) dns_lookup_threads = n; continue; }
    if (key == "approximatetolerance") {
      if (TryStrToInt(number, n)) approximate_tolerance = n < 0 ? 100 : n;
      continue;
    }
    if (key == "smtpport") { if (TryStrToInt(number, n)) smtp_port = n; continue; }
    if (key == "analyzeperiodfrom") { if (TryStrToDateTime(number, d)) analyze_period_from = d; continue; }
    if (key == "analyzeperiodto") { if (TryStrToDateTime(number, d)) analyze_period_to = d; continue; }
    if (key == "analyzeperiodtype") { analyze_period_type = PeriodTypeFromText(value); continue; }
    if (key == "analyzeperiodmeasure") {
      for (int u = 0; u < 4; ++u)
        if (value == PeriodUnitWord(u)) analyze_period_measure = u;
      continue;
    }
    if (key == "smtpserver") { smtp_server = value; continue; }
    if (key == "mailsender") { mail_sender = value; continue; }
    if (key == "maildefreciever") { mail_def_reciever = value; continue; }
    if (key == "mailuserid") { mail_user_id = value; continue; }
    if (key == "webpageextensions") { web_page_extensions = value; continue; }
    if (key == "vispathextensions") { vis_path_extensions = value; continue; }
    // Values whose conversion error ends the reading.
    if (key == "timeoffset") { time_offset = StrToInt(number); continue; }
    bool* strict = key == "showtimerange"              ? &show_time_range
                   : key == "showdeveloperinformation" ? &show_developer_information
                   : key == "autorecognizelogformat"   ? &auto_recognize_log_format
                   : key == "approximateanalysis"      ? &approximate_analysis
                   : key == "cleanoutputfolder"        ? &clean_output_folder
                   : key == "incrementalanalysis"      ? &incremental_analysis
                   : key == "autoexportintoexcel"      ? &auto_export_into_excel
                   : key == "showreportcategories"     ? &show_report_categories
                   : key == "showresultsinbrowser"     ? &show_results_in_browser
                   : key == "casesensitiveurls"        ? &case_sensitive_urls
                                                       : nullptr;
    if (strict != nullptr) {
      if (!TryReadBool(number, b)) throw EConvertError(InvalidBooleanMessage(kv.value));
      *strict = b;
    }
  }
  complete_ = true;
}

std::string TMainSettings::SaveToText() const {
  std::string out;
  auto line = [&](const char* key, const std::string& value) {
    out += std::string(key) + "=" + value + "\r\n";
  };
  line("default_site", default_site);
  line("AutoStartBrowser", BoolNumber(auto_start_browser));
  line("ShowNavigationBar", BoolNumber(show_navigation_bar));
  for (const std::string& value : formats_.FormatLines()) line("LogFormat", value);
  for (size_t i = 0; i < engines_.EngineCount(); ++i) out += engines_.EngineLine(i) + "\r\n";
  line("AnalyzePeriodType", PeriodTypeWord(analyze_period_type));
  line("AnalyzePeriodFrom", DateToStr(analyze_period_from));
  line("AnalyzePeriodTo", DateToStr(analyze_period_to));
  line("AnalyzePeriodLast", std::to_string(analyze_period_last));
  line("AnalyzePeriodMeasure", PeriodUnitWord(analyze_period_measure));
  line("ReverseDNSLookup", BoolNumber(reverse_dns_lookup));
  line("DNSLookupThreads", std::to_string(dns_lookup_threads));
  line("ShowReportCategories", BoolNumber(show_report_categories));
  line("ShowTimeRange", BoolNumber(show_time_range));
  line("ShowDeveloperInformation", BoolNumber(show_developer_information));
  line("AutoRecognizeLogFormat", BoolNumber(auto_recognize_log_format));
  line("IncrementalAnalysis", BoolNumber(incremental_analysis));
  line("ApproximateAnalysis", BoolNumber(approximate_analysis));
  line("ApproximateTolerance", std::to_string(approximate_tolerance));
  line("ShowResultsInBrowser", BoolNumber(show_results_in_browser));
  line("CleanOutputFolder", BoolNumber(clean_output_folder));
  line("SmtpServer", smtp_server);
  line("SmtpPort", std::to_string(smtp_port));
  line("MailSender", mail_sender);
  line("MailDefReciever", mail_def_reciever);
  line("MailUserID", mail_user_id);
  // Only when set, so that files without a password read back unchanged.
  if (!mail_password.empty()) line("MailPassword", ScramblePassword(mail_password));
  line("MailSubject", mail_subject);
  // One line per body line, the empty ones included (a final empty line
  // too, so that the body reads back as it was); any break splits.
  for (size_t at = 0;;) {
    const size_t brk = mail_message.find_first_of("\r\n", at);
    line("MailMessage", mail_message.substr(at, brk == std::string::npos ? brk : brk - at));
    if (brk == std::string::npos) break;
    at = brk + (mail_message.compare(brk, 2, "\r\n") == 0 ? 2 : 1);
  }
  line("AutoExportIntoExcel", BoolNumber(auto_export_into_excel));
  line("WebPageExtensions", web_page_extensions);
  line("VisPathExtensions", vis_path_extensions);
  line("Language", translator_ != nullptr ? translator_->CurrentLanguage() : "");
  line("TimeOffset", std::to_string(time_offset));
  line("CaseSensitiveURLs", BoolNumber(case_sensitive_urls));
  return out;
}

void TMainSettings::Save() { Save(folders_.Data() + kFileName); }

void TMainSettings::Save(const std::string& path) {
  // A file with a password is for its owner's eyes only.
  folders_.SaveDataFile(path, SaveToText(), complete_, "The settings",
                        mail_password.empty() ? 0 : 0600);
}

}  // namespace trelvar
