#include "reports/report_set.h"

#include <fstream>
#include <sstream>

#include "base/errors.h"
#include "base/progress.h"
#include "base/run_control.h"
#include "base/safe_file.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "logread/line_parser.h"
#include "logread/reject_log.h"
#include "platform/files.h"
#include "platform/system.h"
#include "reports/chart_service.h"
#include "reports/experimental_report.h"
#include "reports/report_params.h"
#include "reports/report_text.h"
#include "reports/report_types.h"
#include "reports/reports_cache.h"
#include "reports/run_context.h"
#include "reports/standard_reports.h"
#include "reports/web_model.h"

namespace trelvar {

namespace {

// At most this many basic reports count light enough for the driver to
// look the URLs up (see TLineParser::TNeeds): with one, the parsing thread
// was measured the slower of the two.
constexpr size_t kFewReports = 1;

const char kHeadHtml[] =
    "<HTML>\r\n<HEAD>\r\n<LINK HREF=\"zeb.css\" rel=STYLESHEET type=text/css>\r\n"
    "<META http-equiv=\"Pragma\" content=\"no-cache\">\r\n"
    "<META http-equiv=\"Cache-Control\" content=\"no-cache\">\r\n</HEAD>\r\n<BODY>\r\n";

// The project's own pages for the navigation bar and the developer line.
const char kHomePage[] = "https://trelvar.org/";
const char kDownloadPage[] = "https://trelvar.org/download/";
const char kFeedbackPage[] = "https://trelvar.org/feedback/";

const char* const kSupportFiles[] = {"zeb.css",   "progress.gif", "index.htm",
                                     "blank.gif", "minus.gif",    "plus.gif",
                                     "report.gif", "folder.gif",  "tree.js"};

// The user's cancel request; the main window comes back on when there is one.
bool Cancelled(TfrmProg* progress) {
  if (!CancelRequested(progress)) return false;
  RunControl().SetMainWindowEnabled(true);
  return true;
}

}  // namespace

TRepParser::TRepParser(TRunContext& app) : app_(app) {
  ctx_.folders = &app.folders;
  ctx_.settings = app.settings.get();
  ctx_.current = &app.current_line;
  ctx_.chart = app.chart.get();
  ctx_.random = &app.random;
  ctx_.page_head = kHeadHtml;
  visits_ = std::make_unique<TVisLine>(app.current_line);
  visits_->SetRobotFinder({[this](const std::string& agent) -> const std::string& {
                             return ctx_.robots.RobotOf(agent);
                           },
                           [this] { return ctx_.robots.Generation(); }});
  ctx_.visits = visits_.get();
  // Read when a report first asks for a country: most passes of a few
  // reports never do.
  std::string db = FindGeoIpDatabase(app.folders.Program());
  if (!db.empty()) {
    geoip_ = std::make_unique<TGeoIP>();
    geoip_->OpenOnFirstUse(std::move(db));
  }
  ctx_.geoip = geoip_.get();
  ctx_.robots.Use(&robots_);
}

TRepParser::~TRepParser() { Clear(); }

void TRepParser::SetOutputFolder(const std::string& folder) {
  ctx_.output_folder = ToNativeDir(folder);
  if (ctx_.chart != nullptr) ctx_.chart->SetOutputFolder(ctx_.output_folder);
}

std::string TRepParser::CachePath() const {
  return CacheFilePath(app_.folders.Data(), ctx_.site_name);
}

// --- report definitions -------------------------------------------------------

void TRepParser::CreateReport(const std::string& type_key, const std::string& block) {
  if (block.empty()) return;
  const TReportType* type = FindReportType(type_key);
  if (type == nullptr) return;
  std::unique_ptr<TCustomWReport> r = type->create(ctx_);
  r->LoadParams(block);
  if (auto* exp = dynamic_cast<TExpRep*>(r.get())) {
    exp->web_model = nullptr;
    exp_report = nullptr;  // the last experiment read is the set's
  }
  LinkExperiment(*r);
  reports.push_back(std::move(r));
}

void TRepParser::LinkExperiment(TCustomWReport& report) {
  auto* exp = dynamic_cast<TExpRep*>(&report);
  if (exp == nullptr) return;
  // The experiment measures the first web model already in the set.
  if (exp->web_model == nullptr)
    for (auto& other : reports)
      if (other->report_type == "web_model") {
        exp->web_model = dynamic_cast<TWebModel*>(other.get());
        if (exp->web_model != nullptr) break;
      }
  if (exp_report == nullptr) exp_report = exp;
}

void TRepParser::LoadFromText(const std::string& text) {
  std::string type_key, block;
  bool open = false;
  for (const std::string& line : SplitTextLines(text)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("category=", 0) == 0) {
      AddCategory(line.substr(9));
    } else if (line.rfind("type=", 0) == 0) {
      if (open) CreateReport(type_key, block);
      type_key = line.substr(5);
      block.clear();
      open = true;
    } else if (open) {
      block += (block.empty() ? "" : "\r\n") + line;
    }
  }
  if (open) CreateReport(type_key, block);
}

void TRepParser::LoadReportFile(const std::string& name) {
  const std::string path = app_.folders.DataPath(name.empty() ? "reports.ini" : name);
  const std::string spiders = app_.folders.Data() + "spiders.ini";
  app_.folders.EnsureDataFile(spiders);
  robots_.LoadFromFile(spiders);  // missing or unreadable: no robots
  ctx_.robots.Use(&robots_);      // forgets the answers of an older list
  app_.folders.EnsureDataFile(path);
  LoadFromText(ReadFileText(path));
  loaded_file_ = name;
}

std::string TRepParser::SaveToText() {
  std::string out = "\r\n";
  for (const TRepCategory& c : categories) out += "category=" + c.name + "\r\n";
  out += "\r\n";
  for (auto& r : reports) out += "\r\n" + r->SaveParams(false);
  return out;
}

void TRepParser::SaveReportFile(const std::string& name) {
  const std::string path = app_.folders.DataPath(name.empty() ? "reports.ini" : name);
  SaveTextFile(path, SaveToText());
}

// --- the list of reports ------------------------------------------------------

int TRepParser::FindPrRep(int n) const {
  for (size_t i = 0; i < reports.size(); ++i)
    if (dynamic_cast<const TPrRep*>(reports[i].get()) != nullptr && n-- == 0)
      return static_cast<int>(i);
  return -1;
}

void TRepParser::Clear() {
  ctx_.details.Clear();
  for (auto& r : reports) r->Clear();
  reports.clear();
  categories.clear();
  exp_report = nullptr;
}

TCustomWReport* TRepParser::GetReportByName(const std::string& name) const {
  const int i = GetReportIndex(name);
  return i < 0 ? nullptr : reports[static_cast<size_t>(i)].get();
}

TCustomWReport* TRepParser::GetReportByIndex(int index) const {
  return index < 0 || static_cast<size_t>(index) >= reports.size()
             ? nullptr
             : reports[static_cast<size_t>(index)].get();
}

int TRepParser::GetReportIndex(const std::string& name) const {
  for (size_t i = 0; i < reports.size(); ++i)
    if (reports[i]->report_name == name) return static_cast<int>(i);
  return -1;
}

void TRepParser::RemoveReport(const std::string& name) { RemoveReportByIndex(GetReportIndex(name)); }

void TRepParser::RemoveReportByIndex(int index) {
  TCustomWReport* r = GetReportByIndex(index);
  if (r == nullptr) return;
  if (r == exp_report) exp_report = nullptr;
  // No experiment may keep measuring a web model that is gone.
  for (auto& other : reports)
    if (auto* exp = dynamic_cast<TExpRep*>(other.get()); exp != nullptr && exp->web_model == r)
      exp->web_model = nullptr;
  r->Clear();
  reports.erase(reports.begin() + index);
}

std::string TRepParser::AddNewReport() {
  const std::string base = Translate(386, "New report");
  int n = 1;
  while (GetReportIndex(base + " " + std::to_string(n)) >= 0) ++n;
  auto r = std::make_unique<TPrRep>(ctx_);
  r->report_name = base + " " + std::to_string(n);
  reports.push_back(std::move(r));
  return base + " " + std::to_string(n);
}

void TRepParser::AddReport(std::unique_ptr<TCustomWReport> report) {
  auto taken = [&](const std::string& name) {
    for (auto& r : reports)
      if (SameText(r->report_name, name)) return true;
    return false;
  };
  if (taken(report->report_name)) {
    const std::string base = report->report_name;
    int n = 1;
    while (taken(base + std::to_string(n))) ++n;
    report->report_name = base + std::to_string(n);
  }
  LinkExperiment(*report);
  reports.push_back(std::move(report));
}

void TRepParser::ReplaceReport(int index, std::unique_ptr<TCustomWReport> report) {
  TCustomWReport* old = GetReportByIndex(index);
  if (old == nullptr) throw EListError(ListIndexMessage(index));
  auto* model = dynamic_cast<TWebModel*>(report.get());
  for (auto& other : reports)
    if (auto* exp = dynamic_cast<TExpRep*>(other.get()); exp != nullptr && exp->web_model == old)
      exp->web_model = model;
  if (auto* exp = dynamic_cast<TExpRep*>(report.get()); exp != nullptr) {
    if (auto* was = dynamic_cast<TExpRep*>(old); was != nullptr && exp->web_model == nullptr)
      exp->web_model = was->web_model;
  }
  if (exp_report == old) exp_report = nullptr;
  old->Clear();
  reports[static_cast<size_t>(index)] = std::move(report);
  LinkExperiment(*reports[static_cast<size_t>(index)]);
}

void TRepParser::MoveReport(const std::string& name, const std::string& target_name) {
  const int from = GetReportIndex(name);
  const int to = GetReportIndex(target_name);
  if (from < 0) throw EListError(ListIndexMessage(from));
  if (to < 0) throw EListError(ListIndexMessage(to));
  auto r = std::move(reports[static_cast<size_t>(from)]);
  reports.erase(reports.begin() + from);
  reports.insert(reports.begin() + to, std::move(r));
}

void TRepParser::SetNewRepCatNo(int old_no, int new_no) {
  for (auto& r : reports)
    if (r->category_no == old_no) r->category_no = new_no;
}

void TRepParser::LoadValueFiles() {
  if (app_.sites != nullptr) app_.sites->PrepareSiteValueFiles();
  for (auto& r : reports) {
    if (auto* f = dynamic_cast<TCustomFiltredRep*>(r.get())) {
      try {
        f->LoadFilterLists();
      } catch (const std::exception&) {
        OutputLine("<P>" + Translate(387, "Error in report:") + " " + r->report_name + "</P>");
      }
    }
    RunControl().ProcessMessages();
  }
}

// --- the pass -----------------------------------------------------------------

std::unique_ptr<TVisitWorker> TRepParser::StartVisitWorker() {
  inline_reports_.clear();
  std::vector<TVisitWorker::TReport> aside;
  for (size_t i = 0; i < reports.size(); ++i) {
    // The experiment walks its web model while the pass runs.
    if (exp_report == nullptr && reports[i]->CountsVisitsOnly())
      aside.push_back({reports[i].get(), i});
    else
      inline_reports_.push_back(i);
  }
  if (aside.empty()) return nullptr;
  return std::make_unique<TVisitWorker>(std::move(aside));
}

void TRepParser::SettleVisitWorker() {
  if (visit_worker_ == nullptr) return;
  for (std::string& e : visit_worker_->Finish()) visit_errors_.push_back(std::move(e));
}

void TRepParser::CheckReports() {
  // The reports' support changes here: the worker must not be reading it.
  SettleVisitWorker();
  const std::vector<int> fields =
      line_parser_ != nullptr ? line_parser_->FieldCodes() : std::vector<int>{};
  bool dns = false;
  for (auto& r : reports) {
    r->CheckLogFields(fields);
    if (!r->is_supported) OutputLine(r->unsupported_text);
    else if (r->UsesReverseDns()) dns = true;
  }
  if (line_parser_ != nullptr) {
    line_parser_->SetDnsNeeded(dns);
    // Basic reports say exactly which line values they read; every other
    // report may read them all.
    TLineParser::TNeeds needs;
    needs.request_split = needs.referrer_split = needs.agent = false;
    needs.fields.fill(false);
    auto reads = [&](ReportParam param) {
      if (param == ReportParam::kSite || param == ReportParam::kPath ||
          param == ReportParam::kFileExt)
        needs.request_split = true;
      if (param == ReportParam::kRefSite || param == ReportParam::kRefPath ||
          param == ReportParam::kRefDomain)
        needs.referrer_split = true;
      if (param >= ReportParam::kBrowser && param <= ReportParam::kPlatformVersion)
        needs.agent = true;
      if (const int field = TLineValues::FieldRead(param); field != kFieldNone)
        needs.fields[static_cast<size_t>(field)] = true;
    };
    // The summary counts the bytes, the status and the clients, and asks
    // for the robot of a line that starts a visit.
    for (ReportParam param : {ReportParam::kIp, ReportParam::kHost, ReportParam::kBytes,
                              ReportParam::kStatus, ReportParam::kRobot})
      reads(param);
    // A lone basic report leaves the driver time to spare: it looks the
    // URLs up itself, off the parsing thread.
    needs.few_reports = reports.size() <= kFewReports;
    for (auto& r : reports) {
      const auto* basic = dynamic_cast<const TPrRep*>(r.get());
      if (basic == nullptr) {
        needs = TLineParser::TNeeds();
        break;
      }
      reads(basic->param);
      for (const TReportFilter& f : basic->filters) reads(f.kind);
      if (basic->CountsKilobytes()) reads(ReportParam::kBytes);
      // Countries count the visitors of finished visits, which the visit
      // tracker forms from the line's own fields.
      if (basic->param == ReportParam::kCountry) {
        for (ReportParam param : {ReportParam::kHref, ReportParam::kReferrer,
                                  ReportParam::kUserName})
          reads(param);
        needs.request_split = true;
      }
    }
    line_parser_->SetNeeds(needs);
  }
  if (app_.settings->reverse_dns_lookup && !dns)
    OutputLine("<p>" + Translate(369,
                                 "Reverse DNS lookup is not used in this analysis because there "
                                 "are no reports using it.</p>"));
}

void TRepParser::ProcessReports(std::ostream& errors) {
  visits_->SetDone(false);
  ctx_.values.NextLine();
  if (summary_.CountLine(*ctx_.current) && !ctx_.values.Text(ReportParam::kRobot).empty())
    summary_.RobotVisit();
  for (size_t i : inline_reports_) {
    TCustomWReport& r = *reports[i];
    if (!r.is_supported) continue;
    try {
      r.ProcessLine();
    } catch (const std::exception& e) {
      // Messages quote log fields: escaped like every page.
      errors << "PROCREP (#" << i << ") " << HtmlEscape(e.what()) << "<BR>\r\n";
    }
  }
  if (visit_worker_ != nullptr) {
    visits_->EnsureUpdated();
    visit_worker_->Add(visits_->FinishedVisits());
  }
}

TRepParser::TPassOutcome TRepParser::Parse() {
  const std::string error_path = ctx_.output_folder + "err_rep.htm";
  std::ofstream errors(error_path, std::ios::binary | std::ios::trunc);
  if (!errors) throw EFCreateError(CannotCreateFileMessage(error_path));

  const TMainSettings& settings = *app_.settings;
  TfrmProg* progress = app_.progress.get();
  start_time = Now();
  first_line_time = last_line_time = cache_first_time = cache_last_time = 0;
  visits_->Clear();
  summary_.Clear();
  ctx_.fraction_done = 0;
  ctx_.values.Forget();

  // The settings the cache must share; the line times come with the save.
  TCacheHeader header;
  header.use_period = use_period;
  header.period_from = period_from;
  header.period_to = period_to;
  header.approximate = settings.approximate_analysis;
  header.tolerance = settings.approximate_tolerance;
  if (settings.incremental_analysis) {
    TReportsCache cache(progress);
    if (cache.Load(CachePath(), reports, header)) {
      cache_first_time = first_line_time = cache.Stored().first_line_time;
      cache_last_time = last_line_time = cache.Stored().last_line_time;
      summary_.Load(CachePath() + "_summary");
    }
  }

  TLineParser::TEnvironment env;
  env.folders = &app_.folders;
  env.settings = &settings;
  env.formats = app_.formats.get();
  env.site = app_.sites != nullptr ? app_.sites->Current() : nullptr;
  env.progress = progress;
  env.current = &app_.current_line;
  env.resolver = app_.reverse_lookup;
  // Declared before the parser, which reports to it until it goes.
  TRejectLog reject_log(&errors);
  auto parser = std::make_unique<TLineParser>(env);
  line_parser_ = parser.get();
  parser->SetReporter(&reject_log);
  parser->SetSiteTemplate(log_format);
  parser->SetPeriod(use_period, period_from, period_to);
  parser->SetDoneRange(cache_first_time, cache_last_time);
  parser->SetOnFileStart([this](const std::string&) { CheckReports(); });
  if (!settings.auto_recognize_log_format) {
    parser->ResetTemplate();
    CheckReports();
  }

  TPassOutcome result = TPassOutcome::Done;
  pass_ = TPassReport();
  int64_t counted = 0;
  visit_errors_.clear();
  visit_worker_ = StartVisitWorker();
  try {
    app_.current_line.Clear();
    parser->BeginScan(log_path);
    int64_t approximate_count = 0;
    while (!parser->Finished()) {
      const bool got = parser->GetLine();
      if (progress != nullptr && progress->IsCancelled()) {
        RunControl().SetMainWindowEnabled(true);
        result = TPassOutcome::Cancelled;
        break;
      }
      if (!got) continue;
      if (progress != nullptr && progress->BarMaximum() > 0)
        progress->SetFraction(static_cast<double>(progress->Position()) / progress->BarMaximum());
      if (progress != nullptr) ctx_.fraction_done = progress->Fraction();

      const TDateTime t = app_.current_line.line.timestamp;
      if (settings.incremental_analysis && cache_last_time != 0 && t < cache_first_time) {
        line_parser_ = nullptr;
        visit_worker_.reset();
        return TPassOutcome::OlderThanCache;
      }
      // The first new line after a cache widens the range too, or the next
      // incremental pass would count it again.
      if (first_line_time == 0 || t < first_line_time) first_line_time = t;
      if (last_line_time == 0 || t > last_line_time) last_line_time = t;
      ++counted;
      try {
        ProcessReports(errors);
        if (settings.approximate_analysis && ++approximate_count >= settings.approximate_tolerance) {
          approximate_count = 0;
          for (auto& r : reports)
            if (visit_worker_ == nullptr || !r->CountsVisitsOnly()) r->Compact();
          if (visit_worker_ != nullptr) visit_worker_->Compact();
        }
      } catch (const std::exception& e) {
        errors << "PROCREP" << HtmlEscape(e.what()) << "<BR>\r\n";
      }
    }
  } catch (...) {
    line_parser_ = nullptr;
    visit_worker_.reset();
    throw;
  }
  line_parser_ = nullptr;
  if (result == TPassOutcome::Done) {
    pass_.counted = counted;
    ReportPass(*parser);
    summary_.EndPass(pass_.lines, counted);
  }
  parser.reset();
  SettleVisitWorker();
  visit_worker_.reset();
  visits_->ReleaseSpares();  // the finished visits are back
  for (const std::string& e : visit_errors_) errors << e << "<BR>\r\n";

  if (settings.incremental_analysis && result != TPassOutcome::Cancelled) {
    OutputLine(Translate(370, "Saving cache..."));
    TReportsCache cache(progress);
    header.first_line_time = first_line_time;
    header.last_line_time = last_line_time;
    if (cache.Save(CachePath(), reports, header)) {
      try {
        summary_.Save(CachePath() + "_summary");
      } catch (const Exception&) {
        // Without it the next summary says it covers that analysis only.
        platform::RemoveFile(CachePath() + "_summary");
      }
    }
  }
  return result;
}

void TRepParser::ReportPass(const TLineParser& parser) {
  pass_.lines = parser.Counts();
  pass_.problems = parser.Chooser().InputProblems();
  const TLineCounts& n = pass_.lines;
  OutputLine("<P>Lines: " + std::to_string(n.read) + " read, " + std::to_string(pass_.counted) +
             " counted, " + std::to_string(n.rejected) + " rejected, " +
             std::to_string(n.filtered) + " filtered, " + std::to_string(n.outside) +
             " outside the period, " + std::to_string(n.already) + " already counted</P>");
  // Pages of nothing are no analysis; lines all in the cache already are.
  if (pass_.counted == 0 && n.already == 0) {
    const std::string text =
        n.read == 0 ? Translate(1011, "No line of the log was counted: it holds no log line.")
                    : FormatText(Translate(1012, "No line of the log was counted: of %1 lines "
                                                 "read, %2 were rejected, %3 filtered and %4 "
                                                 "outside the period."),
                                 {std::to_string(n.read), std::to_string(n.rejected),
                                  std::to_string(n.filtered), std::to_string(n.outside)});
    OutputLine("<P>" + Translate(1002, "Warning:") + " " + text + "</P>");
    pass_.problems.push_back(text);
  }
}

// --- the output folder ----------------------------------------------------------

void TRepParser::PrepareOutputDir() {
  const std::string& folder = ctx_.output_folder;
  if (!platform::IsFolder(folder)) {
    if (!platform::ForceFolders(folder)) throw EFCreateError(CannotCreateFileMessage(folder));
    OutputLine("<P>" + Translate(373, "Output directory") + " (" + folder + ") " +
               Translate(374, "was automatically created") + "</P>");
  }
  if (app_.settings->clean_output_folder) {
    for (const platform::TFolderEntry& e : platform::ListFolder(folder, "*")) {
      if (e.is_folder) continue;
      const std::string lower = LowerCase(e.name);
      bool keep = lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".log") == 0;
      for (const char* kept : {"zeb.css", "progress.gif", "index.htm", "blank.gif", "minus.gif",
                               "report.gif", "folder.gif", "tree.js"})
        if (lower == kept) keep = true;
      if (!keep) platform::RemoveFile(folder + e.name);
    }
    OutputLine("<P>" + Translate(373, "Output directory") + " (" + folder + ") " +
               Translate(375, "was automatically cleaned") + "</P>");
  }
  for (const char* name : kSupportFiles) {
    const std::string target = folder + name;
    const std::string source = app_.folders.Defaults() + "zeb_out/" + name;
    if (platform::PathExists(target) || !platform::IsRegularFile(source)) continue;
    if (platform::CopyFile(source, target))
      OutputLine("<P>" + Translate(371, "Needed file") + " " + name + " " +
                 Translate(372, "was automatically copied into output directory") + "</P>");
  }
}

std::pair<std::string, std::string> TRepParser::TimeRange() const {
  const TDateTime from = use_period ? period_from : first_line_time;
  const TDateTime to = use_period ? period_to : last_line_time;
  return {DateTimeText(from), DateTimeText(to)};
}

std::string TRepParser::TimeRangeText() const {
  const auto [from, to] = TimeRange();
  return "<p align=center>" + Translate(378, "Time range:") + " " + from + " - " + to + "<br>" +
         Translate(379, "Generated at") + " " + DateTimeText(Now()) + "</p>";
}

bool TRepParser::Display() {
  const TMainSettings& settings = *app_.settings;
  TfrmProg* progress = app_.progress.get();
  TPageSink& details = ctx_.details;
  details.Line("");
  details.Line(kHeadHtml);

  const std::string bar =
      "<p align=\"center\"><table width=\"77%\" border=\"0\" cellspacing=\"2\" align=\"center\" "
      "cellpadding=\"1\" bgcolor=\"#000000\">  <tr class=\"PageHeader\">    <td width=\"25%\"><a "
      "class=\"headerlink\" href=\"index.htm\">" +
      Translate(261, "Home") + "</a></td>" +
      "    <td width=\"25%\"><a class=\"headerlink\" href=\"" + kDownloadPage + "\">" +
      Translate(263, "Download") + "</a></td>" +
      "    <td width=\"25%\"><a class=\"headerlink\" href=\"" + kFeedbackPage + "\">" +
      Translate(264, "Feedback") + "</a></td>" + "    </tr>" + "  </table>";
  std::string page_end = "</BODY></HTML>";
  if (settings.show_navigation_bar) {
    details.Line(bar);
    page_end = bar + page_end;
  }
  ctx_.page_foot = page_end;
  const TWebSite* site = app_.sites != nullptr ? app_.sites->Current() : nullptr;
  details.Line("<H1><CENTER>Trelvar</CENTER></H1>");
  details.Line("<H1><CENTER>" + Translate(376, "Site:") + " " +
                     HtmlEscape(site != nullptr ? site->name : ctx_.site_name) + "</CENTER></H1>");
  if (settings.show_developer_information)
    details.Line("<P><CENTER>" + Translate(377, "Developer:") + " <a href=\"" + kHomePage +
                       "\">Trelvar</a></CENTER><P>");
  if (settings.show_time_range) details.Line(TimeRangeText());
  {
    const auto [from, to] = TimeRange();
    summary_.Html(ctx_.details, from, to);
  }

  const std::string caption = Translate(380, "Creating tables...");
  if (progress != nullptr) {
    progress->SetInfoCaption(caption);
    progress->ClearFileName();
    progress->SetBarMaximum(static_cast<int64_t>(reports.size()));
    progress->SetUnitLabelVisible(false);
    progress->SetPosition(0);
  }
  RunControl().OutputHeading("<p><b>" + caption + "</b></p>");

  std::string list = kHeadHtml;
  for (size_t i = 0; i < reports.size(); ++i) {
    if (Cancelled(progress)) return false;
    TCustomWReport& r = *reports[i];
    if (!r.is_supported) continue;
    if (progress != nullptr) progress->SetFileName(r.report_name);
    try {
      r.Display();
    } catch (const std::exception& e) {
      OutputLine("<P>Error in report: " + r.report_name + " - " + e.what() + "</P>");
    }
    if (!settings.show_report_categories)
      list += "<p class=\"listlink\"><img src=\"report.gif\" ALIGN=\"middle\" alt=\"\" "
              "style=\"border: 0px none;\" >&nbsp;<A HREF=\"" +
              HtmlEscape(r.DetailsLink()) + "\" target=\"details\">" + HtmlEscape(r.report_name) +
              "</A></p>\n";
    if (progress != nullptr) progress->SetPosition(static_cast<int64_t>(i));
  }
  if (settings.show_report_categories) {
    list += "<script src=\"tree.js\"></script><script language=\"JavaScript\">reportstree = new "
            "CTree(\"reportstree\");reportstree.bAutoClose = false;reportstree.stTarget = "
            "\"details\";";
    for (size_t k = 0; k < categories.size(); ++k) {
      const std::string node = "f" + std::to_string(k);
      list += node + " = reportstree.AddNode(null, \"" + JsEscape(categories[k].name) + "\", \"\");";
      for (auto& r : reports)
        if (r->is_supported && r->category_no == static_cast<int>(k))
          list += "reportstree.AddNode(" + node + ", \"" + JsEscape(r->report_name) + "\", \"" +
                  JsEscape(r->DetailsLink()) + "\");";
    }
    list += "document.write(reportstree.GetHTMLCode());</script>";
  }
  list += "</BODY></HTML>";

  const std::string folder = ctx_.output_folder;
  if (platform::FileSize(folder + "err_rep.htm") > 0)
    details.Line("<A HREF=\"err_rep.htm\">" + Translate(381, "Errors in log file") + "</A>");
  details.Line(page_end);
  ctx_.details.WriteTo(folder + "indexdetails.htm");
  WriteOutputFile(folder + "indexlist.htm", list);

  if (progress != nullptr) progress->StopTimer();
  if (settings.auto_export_into_excel && !ExcelExport()) return false;

  OutputLine("<P>" + Translate(382, "Processed in") + " " + DurationText(Now() - start_time) +
             "</P>");
  const std::string index = platform::PathExists(folder + "index.htm") ? "index.htm"
                                                                       : "indexdetails.htm";
  if (progress != nullptr) progress->Hide();
  RunControl().AnalysisFinished(
      TFinishedPages{folder, web_path_, index, settings.auto_start_browser});
  return true;
}

bool TRepParser::ExcelExport() {
  TfrmProg* progress = app_.progress.get();
  const std::string caption = Translate(388, "Exporting reports into MS Excel...");
  if (progress != nullptr) {
    progress->SetInfoCaption(caption);
    progress->SetBarMaximum(static_cast<int64_t>(reports.size()));
    progress->SetUnitLabelVisible(false);
  }
  OutputLine("<p>" + caption + "</p>");
  {
    const auto [from, to] = TimeRange();
    WriteOutputFile(ctx_.output_folder + "summary.csv", summary_.Csv(from, to));
  }
  for (size_t i = 0; i < reports.size(); ++i) {
    if (progress != nullptr) progress->SetPosition(static_cast<int64_t>(i));
    if (Cancelled(progress)) return false;
    try {
      reports[i]->ExportCsv();
    } catch (const std::exception& e) {
      OutputLine("<P>Error in report: " + reports[i]->report_name + " - " + e.what() + "</P>");
    }
  }
  return true;
}

}  // namespace trelvar
