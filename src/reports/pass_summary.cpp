#include "reports/pass_summary.h"

#include <cmath>
#include <cstring>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/translator.h"
#include "platform/files.h"
#include "reports/byte_sums.h"
#include "reports/report_text.h"

namespace trelvar {

namespace {

constexpr char kMagic[] = "Trelvar summary 1\n";
// A logged address is one field of a line; anything longer is damage.
constexpr uint32_t kMaxAddress = 10240;

void PutInt(std::string& out, int64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>(static_cast<uint64_t>(v) >> (8 * i));
}

// Reads from a file's bytes; every read checks that the bytes are there.
struct TReader {
  const std::string& in;
  size_t pos = 0;
  bool ok = true;

  uint64_t Raw(int bytes) {
    if (!ok || in.size() - pos < static_cast<size_t>(bytes)) {
      ok = false;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
      v |= static_cast<uint64_t>(static_cast<unsigned char>(in[pos + i])) << (8 * i);
    pos += static_cast<size_t>(bytes);
    return v;
  }
  // A count: never negative.
  int64_t Count() {
    const auto v = static_cast<int64_t>(Raw(8));
    if (v < 0) ok = false;
    return v;
  }
};

std::string Number(int64_t n) { return std::to_string(n); }

}  // namespace

void TPassSummary::Clear() {
  lines_ = {};
  counted_ = hits_ = pages_ = visits_ = robot_visits_ = bytes_ = 0;
  status_ = {};
  clients_ = {};  // afresh: the order of a saved summary follows the buckets
  recent_ = {};
  missing_earlier_ = false;
}

bool TPassSummary::CountLine(const TCurrentLine& line) {
  ++hits_;
  // The bytes sent, exactly; a field that is no count of bytes counts
  // nothing here (the reports that read it say so on the error page).
  try {
    const int64_t bytes = BytesOfField(line.fields[kFieldBytes]);
    if (bytes > 0) bytes_ = AddBytes(bytes_, bytes);
  } catch (const EConvertError&) {
  }
  const std::string& status = line.fields[kFieldStatus];
  const int status_class =
      status.size() == 3 && status[0] >= '1' && status[0] <= '5' ? status[0] - '0' : 0;
  ++status_[static_cast<size_t>(status_class)];

  // Clients by address, or by host name in logs that have no address.
  const std::string& client =
      !line.fields[kFieldIp].empty() ? line.fields[kFieldIp] : line.fields[kFieldHost];
  if (client.empty()) return false;
  auto*& recent = recent_[RecentTextHash(client) >> (64 - kRecentBits)];
  if (recent == nullptr || recent->first != client)
    recent = &*clients_.try_emplace(client, kNoVisit).first;
  if (!line.line.is_hit) return false;
  ++pages_;
  // A page hit 30 minutes or more after the client's last one (or its
  // first) starts a visit; an earlier time goes on with it, as in the
  // tracker.
  const int64_t t = std::llround(line.line.timestamp * 86400000.0);
  int64_t& last = recent->second;
  const bool starts = last == kNoVisit || t - last >= 30 * 60 * 1000;
  last = t;
  if (starts) ++visits_;
  return starts;
}

void TPassSummary::EndPass(const TLineCounts& lines, int64_t counted) {
  lines_ = lines;
  counted_ = counted;
}

std::vector<std::pair<std::string, std::string>> TPassSummary::Rows(const std::string& from,
                                                                   const std::string& to) const {
  std::vector<std::pair<std::string, std::string>> rows = {
      {Translate(1016, "Time range"), from + " - " + to},
      {Translate(1017, "Lines read"), Number(lines_.read)},
      {Translate(1018, "Lines counted"), Number(counted_)},
      {Translate(1019, "Lines rejected"), Number(lines_.rejected)},
  };
  if (lines_.filtered > 0) rows.push_back({Translate(1020, "Lines filtered out"), Number(lines_.filtered)});
  if (lines_.outside > 0)
    rows.push_back({Translate(1021, "Lines outside the period"), Number(lines_.outside)});
  if (lines_.already > 0)
    rows.push_back({Translate(1022, "Lines counted in an earlier analysis"), Number(lines_.already)});
  rows.push_back({Translate(287, "Hits"), Number(hits_)});
  rows.push_back({Translate(1023, "Page views"), Number(pages_)});
  rows.push_back({Translate(1024, "Visits"), Number(Visits())});
  rows.push_back({Translate(1030, "Of them, visits by robots"), Number(RobotVisits())});
  rows.push_back({Translate(1025, "Distinct client addresses"),
                  Number(static_cast<int64_t>(clients_.size()))});
  // Whole kilobytes, rounded once from the exact sum.
  rows.push_back({Translate(1026, "Kilobytes sent"),
                  Number(static_cast<int64_t>(std::nearbyint(static_cast<double>(bytes_) / 1024)))});
  for (int c = 2; c <= 5; ++c)
    rows.push_back({FormatText(Translate(1027, "Hits with status %1"), {std::to_string(c) + "xx"}),
                    Number(status_[static_cast<size_t>(c)])});
  if (status_[0] + status_[1] > 0)
    rows.push_back({Translate(1028, "Hits with another status or none"),
                    Number(status_[0] + status_[1])});
  return rows;
}

void TPassSummary::Html(TPageSink& page, const std::string& from, const std::string& to) const {
  page.Line("<BR><a name=\"_summary\"></a><h2>" + Translate(1015, "Summary") + "</h2>");
  if (missing_earlier_)
    page.Line("<P>" +
              Translate(1029, "The cache of earlier analyses kept no summary: the figures below "
                              "are of this analysis only.") +
              "</P>");
  THtmlTable table(page, "<P>");
  for (const auto& [caption, value] : Rows(from, to))
    page.Line(table.NextRow() + "<TD WIDTH=\"100%\">" + HtmlEscape(caption) +
              "</TD><TD align=\"right\" nowrap>" + HtmlEscape(value) + "</TD></TR>");
  table.Close("</P>");
}

std::string TPassSummary::Csv(const std::string& from, const std::string& to) const {
  std::string out = Translate(1015, "Summary") + "\r\n";
  for (const auto& [caption, value] : Rows(from, to)) out += caption + ";" + value + "\r\n";
  return out;
}

bool TPassSummary::Load(const std::string& path) {
  std::string in;
  if (!platform::ReadWholeFile(path, in) || in.compare(0, std::strlen(kMagic), kMagic) != 0) {
    missing_earlier_ = true;
    return false;
  }
  TReader r{in, std::strlen(kMagic)};
  TPassSummary kept;
  kept.hits_ = r.Count();
  kept.pages_ = r.Count();
  kept.visits_ = r.Count();
  kept.robot_visits_ = r.Count();
  kept.bytes_ = r.Count();
  int64_t status_sum = 0;
  for (int64_t& s : kept.status_) status_sum += (s = r.Count());
  const int64_t addresses = r.Count();
  // The figures must agree with each other, or the file is damaged.
  bool ok = r.ok && kept.pages_ <= kept.hits_ && status_sum == kept.hits_ &&
            addresses <= kept.hits_ && kept.robot_visits_ <= kept.visits_;
  for (int64_t i = 0; ok && i < addresses; ++i) {
    const auto size = static_cast<uint32_t>(r.Raw(4));
    if (!r.ok || size > kMaxAddress || in.size() - r.pos < size) {
      ok = false;
      break;
    }
    kept.clients_.emplace(in.substr(r.pos, size), kNoVisit);
    r.pos += size;
  }
  if (!ok || r.pos != in.size()) {
    missing_earlier_ = true;
    return false;
  }
  hits_ += kept.hits_;
  pages_ += kept.pages_;
  visits_ += kept.visits_;
  robot_visits_ += kept.robot_visits_;
  bytes_ += kept.bytes_;
  for (size_t i = 0; i < status_.size(); ++i) status_[i] += kept.status_[i];
  // Clients of the kept analysis have no open visit in this one.
  clients_.merge(kept.clients_);
  return true;
}

void TPassSummary::Save(const std::string& path) const {
  std::string out = kMagic;
  PutInt(out, hits_);
  PutInt(out, pages_);
  PutInt(out, visits_);
  PutInt(out, robot_visits_);
  PutInt(out, bytes_);
  for (int64_t s : status_) PutInt(out, s);
  PutInt(out, static_cast<int64_t>(clients_.size()));
  for (const auto& [a, last] : clients_) {
    const auto size = static_cast<uint32_t>(a.size());
    for (int i = 0; i < 4; ++i) out += static_cast<char>(size >> (8 * i));
    out += a;
  }
  WriteOutputFile(path, out);
}

}  // namespace trelvar
