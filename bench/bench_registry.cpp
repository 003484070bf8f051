#include "bench_registry.h"

#include <chrono>
#include <cstdio>

namespace bench {

std::map<std::string, TMeasurement>& Measurements() {
  static std::map<std::string, TMeasurement> all;
  return all;
}

TRegisterMeasurement::TRegisterMeasurement(TMeasurement m) {
  std::string name = m.name;
  Measurements().emplace(name, std::move(m));
}

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double BestOf(int repeat, const std::function<void()>& f) {
  double best = 0;
  for (int i = 0; i < (repeat < 1 ? 1 : repeat); ++i) {
    const double start = Seconds();
    f();
    const double spent = Seconds() - start;
    if (i == 0 || spent < best) best = spent;
  }
  return best;
}

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string ShellQuote(const std::string& path) {
  std::string q = "'";
  for (char c : path) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

}  // namespace bench
