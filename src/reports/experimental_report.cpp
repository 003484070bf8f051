#include "reports/experimental_report.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "base/cp1251.h"
#include "config/translator.h"
#include "logread/visit_tracker.h"
#include "reports/chart_service.h"
#include "reports/report_text.h"
#include "reports/web_model.h"

namespace trelvar {

namespace {

constexpr const char* kPageFile = "exp_results.htm";
constexpr double kTrainingShare = 0.8;

// "<TD>" + F(d) + "% </TD>", or "<TD>-</TD>" when d has no divisor.
std::string DifferenceCell(double numerator, double divisor) {
  if (divisor == 0 || !std::isfinite(divisor) || !std::isfinite(numerator)) return "<TD>-</TD>";
  return "<TD>" + Fixed(numerator * 100 / divisor) + "% </TD>";
}

std::string Cell(const std::string& value) { return "<TD>" + value + "</TD>"; }

// Quotients of counts; a zero divisor gives a value that prints as "-".
double Ratio(double a, double b) { return b == 0 ? std::nan("") : a / b; }

}  // namespace

TExpRep::TExpRep(TReportContext& ctx) : TReportOf(ctx) {
  report_name = "Результаты эксперимента";
  Clear();
}

const TReportKeys<TExpRep>& TExpRep::DefinitionKeys() {
  using R = TExpRep;
  using K = TKeys<R>;
  static const TReportKeys<R> keys = {
      K::Copied(&R::target_mode),
      K::Copied(&R::visits_),
      K::Copied(&R::top_count),
      K::Copied(&R::walk_length_limit),
      K::Copied(&R::trained_visits),
      // A copy in the same set measures the same model.
      K::Copied([](const R& from, R& to) { to.web_model = from.web_model; }),
  };
  return keys;
}

void TExpRep::Clear() {
  visits_ = 0;
  a_ = TWalkStats{};
  b_ = TWalkStats{};
  for (auto& entry : histogram_) entry = {0, 0};
}

bool TExpRep::RemoveTarget(const std::string& key) {
  auto it = std::find(targets_.begin(), targets_.end(), key);
  if (it == targets_.end()) return false;
  targets_.erase(it);
  return true;
}

void TExpRep::SetTargets() {
  targets_.clear();
  if (visit_pages_.empty()) return;
  switch (target_mode) {
    case 0:
      targets_.push_back(TWebModel::PageKey(visit_pages_.back()));
      break;
    case 1: {
      std::unordered_set<std::string> seen;
      for (const std::string& page : visit_pages_) {
        std::string key = TWebModel::PageKey(page);
        if (seen.insert(key).second) targets_.push_back(std::move(key));
      }
      break;
    }
    case 2:
      targets_.push_back(TWebModel::PageKey(longest_page_));
      break;
    default:
      break;
  }
}

void TExpRep::Walk(TWalkStats& stats, std::vector<std::string>& walk, int histogram_column) {
  walk.clear();
  walk.push_back(visit_pages_.front());
  RemoveTarget(TWebModel::PageKey(walk.front()));
  const std::string not_found = Translate(259, "not found");
  // Reached at once (no target left, or nothing to walk): the found counts
  // stay as they are.
  if (!targets_.empty() && visit_pages_.size() > 1) {
    while (static_cast<int>(walk.size()) < walk_length_limit) {
      const std::string next =
          web_model != nullptr ? web_model->GuessNextPage(walk.back(), top_count, false) : not_found;
      if (next == not_found) break;
      walk.push_back(next);
      RemoveTarget(TWebModel::PageKey(next));
      if (targets_.empty()) {
        const int32_t l = static_cast<int32_t>(walk.size());
        ++stats.found;
        stats.found_length_sum += l;
        stats.found_length_square_sum += l * l;
        break;
      }
    }
  }
  const int32_t l = static_cast<int32_t>(walk.size());
  stats.length_sum += l;
  stats.length_square_sum += l * l;
  if (l >= 0 && l < kHistogramSize) histogram_[static_cast<size_t>(l)][histogram_column] += 1;
}

void TExpRep::ProcessLine() {
  if (!ctx_.current->line.is_hit) return;
  if (web_model != nullptr && !web_model->HasData()) web_model->ProcessLine();
  visit_pages_.clear();
  targets_.clear();
  if (ctx_.visits == nullptr) return;
  ctx_.visits->EnsureUpdated();
  for (const auto& visit : ctx_.visits->FinishedVisits()) {
    if (visit->hits.size() == 1 || visit->hits.empty()) continue;
    ++visits_;
    if (ctx_.fraction_done <= kTrainingShare) {
      trained_visits = visits_;
      continue;
    }
    visit_pages_.clear();
    longest_page_ = "none";
    TDateTime longest = 0;
    for (const TVisPageTable& hit : visit->hits) {
      visit_pages_.push_back(hit.url);
      if (hit.time_spent > longest) {
        longest = hit.time_spent;
        longest_page_ = hit.url;
      }
    }
    SetTargets();
    Walk(a_, walk_a_, 0);
    SetTargets();
    Walk(b_, walk_b_, 1);
    SetTargets();
  }
}

void TExpRep::DrawCharts(TPageSink& page) {
  TfrmTempChart* chart = ctx_.chart;
  const double n = visits_ - trained_visits;
  const double limit = walk_length_limit;
  if (chart != nullptr) {
    chart->BeginChart(report_name, "bar", true, 3);
    chart->SetBarMarks(true);
    const std::pair<const char*, std::pair<double, double>> points[] = {
        {"Найдено целей", {a_.found * 100 / n, b_.found * 100 / n}},
        {"Средняя длина пути",
         {Ratio(a_.length_sum, n) * 100 / limit, Ratio(b_.length_sum, n) * 100 / limit}},
        {"Ср длина пути для найденных целей",
         {Ratio(a_.found_length_sum, a_.found) * 100 / limit,
          Ratio(b_.found_length_sum, b_.found) * 100 / limit}},
    };
    for (const auto& [label, values] : points) {
      chart->AddChartPoint(label, values.first);
      chart->AddSecondBarPoint(label, values.second);
    }
    chart->FinishChartJpeg("results.jpg");
  }
  page.Line("<P><IMG SRC=\"results.jpg\"></P>");
  const std::string title = "Диаграмма распределения длин пути";
  page.Line("<h3>" + title + "</h3>");
  if (chart != nullptr) {
    chart->BeginChart(title, "bar", true, kHistogramSize - 1);
    chart->SetBarMarks(false);
    for (int l = 0; l + 1 < kHistogramSize; ++l) {
      chart->AddChartPoint(std::to_string(l), histogram_[static_cast<size_t>(l)][0]);
      chart->AddSecondBarPoint(std::to_string(l), histogram_[static_cast<size_t>(l)][1]);
    }
    chart->FinishChartJpeg("dist_bar.jpg");
  }
  page.Line("<P><IMG SRC=\"dist_bar.jpg\"></P>");
}

std::string TExpRep::PageText() {
  const int32_t tested = visits_ - trained_visits;
  const double n = tested;
  TPageSink page;
  page.Append("<HTML><BODY>");
  page.Line("<BR><H1>" + report_name + "</H1>");
  page.Line("<TABLE>");
  page.Line("<TR><TD>Всего</TD><TD>" + std::to_string(visits_) + " посетителей</TD></TR>");
  page.Line("<TR><TD>Тренирована на</TD><TD>" + std::to_string(trained_visits) +
       " посетителей</TD></TR>");
  page.Line("<TR><TD>Тестировалась на</TD><TD>" + std::to_string(tested) + " посетителей</TD></TR>");
  page.Line("</TABLE>");
  page.Line("<H2>Результаты</H2>");
  page.Line("<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">");
  page.Line("<TR>");
  page.Line("<TH>Параметр</TH>");
  page.Line("<TH>Оптимально</TH>");
  page.Line("<TH>Рекомендовано</TH>");
  page.Line("<TH>Разница</TH>");
  auto row = [&](const char* name, const std::string& a, const std::string& b,
                 const std::string& difference) {
    page.Line("</TR>");
    page.Line("<TR>");
    page.Line(std::string("<TD>") + name + "</TD>");
    page.Line(Cell(a));
    page.Line(Cell(b));
    page.Line(difference);
  };
  row("Найдено целей", std::to_string(a_.found), std::to_string(b_.found),
      DifferenceCell(static_cast<double>(a_.found) - b_.found, a_.found));

  // Walk B's values are shown as measured.
  const double ma = Ratio(a_.length_sum, n), mb = Ratio(b_.length_sum, n);
  row("Средняя длина пути", Fixed(ma), Fixed(mb),
      DifferenceCell(static_cast<double>(a_.length_sum) - b_.length_sum, a_.length_sum));

  const double va = Ratio(a_.length_square_sum, n) - ma * ma;
  const double vb = Ratio(b_.length_square_sum, n) - mb * mb;
  row("Дисперсия cредней длины пути", Fixed(va), Fixed(vb), DifferenceCell(va - vb, va));

  const double ga = Ratio(a_.found_length_sum, a_.found);
  const double gb = Ratio(b_.found_length_sum, b_.found);
  row("Средняя длина пути для найденных целей", Fixed(ga), Fixed(gb),
      DifferenceCell(static_cast<double>(a_.found_length_sum) - b_.found_length_sum,
                     a_.found_length_sum));

  const double wa = Ratio(a_.found_length_square_sum, a_.found) - ga * ga;
  const double wb = Ratio(b_.found_length_square_sum, b_.found) - gb * gb;
  row("Дисперсия cредней длины пути для найденных целей", Fixed(wa), Fixed(wb),
      DifferenceCell(wa - wb, wa));
  page.Line("</TR>");
  page.Line("</TABLE>");
  DrawCharts(page);
  page.Line("</BODY></HTML>");
  return page.Text();
}

void TExpRep::Display() {
  AppendDetails(std::string("<A HREF=\"") + kPageFile + "\"><h2>" + report_name + "</h2>" +
                "</A>");
  WriteOutputFile(ctx_.output_folder + kPageFile, Utf8ToWindows1251(PageText()));
}

}  // namespace trelvar
