// Realistic access logs for the analysis benchmark: one month of traffic of
// a shop-and-blog site, made from a fixed seed so that every run analyses
// the same bytes.
//
// The traffic model: tens of thousands of clients (a fixed share of them
// crawlers) come back in visits of several pages; pages are drawn from a few
// thousand by a Zipf law and pull their style sheets, scripts and images;
// first pages of visits come from search engines (Google, Bing, Yahoo,
// DuckDuckGo, Yandex, with URL-encoded phrases, non-ASCII ones included),
// from other sites or directly; statuses are mostly 200 with some 304, 404,
// 301 and 500; timestamps increase through May 2024 with a daily rhythm.
//
// Both layouts are written from the same request stream, so a combined and
// a W3C log of the same length describe the same traffic. Not thread-safe
// (nothing is shared between calls, so separate calls may run in parallel).
#pragma once

#include <cstdint>
#include <string>

namespace bench {

enum class TAnalysisLogLayout {
  kApacheCombined,  // "host - user [time] \"request\" status bytes \"referrer\" \"agent\""
  kW3cExtended,     // IIS 6.0 W3C extended, with its "#Software"/"#Fields" header
};

// Writes `lines` request lines (CR LF terminated; header lines of the W3C
// layout come on top and are not counted) to `path`. Returns false when the
// file cannot be written.
bool WriteAnalysisLog(const std::string& path, int64_t lines, TAnalysisLogLayout layout);

// The number of distinct clients the model uses for a log of `lines` lines
// (40 000 for a million lines and for more).
int64_t AnalysisLogClients(int64_t lines);

}  // namespace bench
