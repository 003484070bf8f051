#include "platform/system.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <unordered_map>

namespace trelvar::platform {

namespace {

bool IsFolderPath(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string AbsoluteToCwd(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buf[PATH_MAX];
  if (getcwd(buf, sizeof buf) == nullptr) return path;
  return WithSlash(buf) + path;
}

}  // namespace

std::string ProgramFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string exe(buf, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

std::optional<std::string> GetEnv(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  if (v == nullptr) return std::nullopt;
  return std::string(v);
}

std::string DataFolder() {
  if (auto dir = GetEnv("TRELVAR_DATA_DIR"); dir && !dir->empty())
    return WithSlash(AbsoluteToCwd(*dir));
  std::string docs;
  if (auto xdg = GetEnv("XDG_DOCUMENTS_DIR"); xdg && !xdg->empty()) {
    docs = *xdg;
  } else {
    const std::string home = GetEnv("HOME").value_or("");
    // A shared folder in its place would mix the data of every user.
    if (home.empty() || !IsFolderPath(home) || access(home.c_str(), W_OK) != 0) return "";
    docs = IsFolderPath(WithSlash(home) + "Documents") ? WithSlash(home) + "Documents" : home;
  }
  return WithSlash(AbsoluteToCwd(docs)) + "Trelvar 2/";
}

std::string UserLocaleName() {
  std::string value;
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    auto v = GetEnv(var);
    if (v && !v->empty()) {
      value = *v;
      break;
    }
  }
  value = value.substr(0, value.find_first_of(".@"));
  if (value == "C" || value == "POSIX") return "";
  return value;
}

std::string LocaleCodeOf(const std::string& locale) {
  // Windows language ids of the locales users meet; a bare language maps
  // to the id of its main country.
  static const std::unordered_map<std::string, std::string> kCodes = {
      {"en_US", "0409"}, {"en_GB", "0809"}, {"en_AU", "0c09"}, {"en_CA", "1009"},
      {"en_IE", "1809"}, {"en_NZ", "1409"}, {"de_DE", "0407"}, {"de_AT", "0c07"},
      {"de_CH", "0807"}, {"de_LU", "1007"}, {"de_LI", "1407"}, {"fr_FR", "040c"},
      {"fr_BE", "080c"}, {"fr_CA", "0c0c"}, {"fr_CH", "100c"}, {"es_ES", "0c0a"},
      {"es_MX", "080a"}, {"it_IT", "0410"}, {"it_CH", "0810"}, {"pt_BR", "0416"},
      {"pt_PT", "0816"}, {"nl_NL", "0413"}, {"nl_BE", "0813"}, {"pl_PL", "0415"},
      {"ru_RU", "0419"}, {"uk_UA", "0422"}, {"cs_CZ", "0405"}, {"sv_SE", "041d"},
      {"tr_TR", "041f"}, {"ja_JP", "0411"}, {"zh_CN", "0804"}, {"zh_TW", "0404"},
      {"ko_KR", "0412"}, {"da_DK", "0406"}, {"fi_FI", "040b"}, {"nb_NO", "0414"},
      {"hu_HU", "040e"}, {"el_GR", "0408"}, {"bg_BG", "0402"}, {"ro_RO", "0418"},
      {"en", "0409"}, {"de", "0407"}, {"fr", "040c"}, {"es", "0c0a"},
      {"it", "0410"}, {"pt", "0816"}, {"nl", "0413"}, {"pl", "0415"},
      {"ru", "0419"}, {"uk", "0422"}, {"cs", "0405"}, {"sv", "041d"},
      {"tr", "041f"}, {"ja", "0411"}, {"zh", "0804"}, {"ko", "0412"},
  };
  auto it = kCodes.find(locale);
  if (it == kCodes.end()) it = kCodes.find(locale.substr(0, locale.find('_')));
  return it == kCodes.end() ? "" : it->second;
}

std::string UserLocaleCode() { return LocaleCodeOf(UserLocaleName()); }

TLocalTime LocalTimeOfUnix(int64_t seconds, int milliseconds) {
  time_t t = static_cast<time_t>(seconds);
  struct tm tm {};
  localtime_r(&t, &tm);
  TLocalTime r;
  r.year = tm.tm_year + 1900;
  r.month = tm.tm_mon + 1;
  r.day = tm.tm_mday;
  r.hour = tm.tm_hour;
  r.minute = tm.tm_min;
  r.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  r.millisecond = milliseconds;
  return r;
}

TLocalTime LocalNow() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return LocalTimeOfUnix(ts.tv_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

bool OpenWithDefaultHandler(const std::string& path) {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY")) return false;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    // A grandchild runs the handler, so nobody waits for it and no zombie stays.
    if (fork() == 0) {
      setsid();
      execlp("xdg-open", "xdg-open", path.c_str(), static_cast<char*>(nullptr));
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return true;
}

int64_t MonotonicMilliseconds() {
  // The progress clock is read once per log line: the coarse clock costs a
  // fraction of the precise one and still moves every few milliseconds.
  timespec t{};
  if (clock_gettime(CLOCK_MONOTONIC_COARSE, &t) != 0) {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

uint64_t RunSeed() {
  if (auto fixed = GetEnv("TRELVAR_RANDOM_SEED")) {
    uint64_t seed = 0;
    const char* end = fixed->data() + fixed->size();
    auto [ptr, ec] = std::from_chars(fixed->data(), end, seed);
    if (ec == std::errc() && ptr == end && !fixed->empty()) return seed;
  }
  using namespace std::chrono;
  return static_cast<uint64_t>(high_resolution_clock::now().time_since_epoch().count()) ^
         (static_cast<uint64_t>(getpid()) << 32);
}

}  // namespace trelvar::platform
