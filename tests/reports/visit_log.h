// Crafted Apache combined logs for the tests of the visit and referrer
// reports, and the report blocks they run.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis_run.h"
#include "logread/visit_tracker.h"

namespace trelvar::test {

// Pages end with the bare foot.
inline const std::string kNoBar = "ShowNavigationBar=0\r\n";

// One line on 7 December 2005.
inline std::string Hit(const std::string& ip, const std::string& time, const std::string& url,
                       const std::string& referrer = "-", const std::string& user = "-",
                       const std::string& agent = "Lynx") {
  return ip + " - " + user + " [07/Dec/2005:" + time + " +0100] \"GET " + url +
         " HTTP/1.1\" 200 5 \"" + referrer + "\" \"" + agent + "\"\r\n";
}
// A hit hours later that finishes every visit before it.
inline std::string Flush() { return Hit("10.9.9.9", "20:00:00", "/end.htm"); }

inline std::string Report(const std::string& type, const std::string& name,
                          const std::string& extra = "") {
  return "type=" + type + "\r\nname=" + name + "\r\n" + extra;
}

// Runs the analysis on the log; the run must succeed.
inline void RunOn(Analysis& a, const std::string& log) {
  WriteFile(a.data + "access.log", log);
  const TRunResult r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
}

inline size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A visit of these pages, each but the last with `seconds` spent on it.
inline TVisPathTable Visit(const std::string& referrer, const std::vector<std::string>& urls,
                           double seconds = 0) {
  TVisPathTable v;
  v.address = "10.0.0.1";
  v.referrer = referrer;
  for (const std::string& u : urls) v.hits.push_back({u, nullptr, seconds / 86400, 0});
  if (!v.hits.empty()) v.hits.back().time_spent = 0;
  return v;
}

}  // namespace trelvar::test
