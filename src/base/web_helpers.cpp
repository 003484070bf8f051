#include "base/web_helpers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <span>
#include <unordered_map>

#include "base/errors.h"
#include "base/text_helpers.h"

namespace trelvar {

namespace {

bool IsHexPair(std::string_view pair) {
  for (char c : pair)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

std::string DecodeUrlText(std::string text) {
  // Most texts hold nothing to decode.
  if (text.find_first_of("+&%") == std::string::npos) return text;
  text = ReplaceChar(std::move(text), '+', ' ');
  text = ReplaceAll("&quot;", "\"", std::move(text));
  text = ReplaceAll("&amp;", "&", std::move(text));
  text = ReplaceAll("&lt;", "<", std::move(text));
  text = ReplaceAll("&gt;", ">", std::move(text));
  // Each pass decodes one escape everywhere; a "%" it produces is decoded
  // by a later pass. Every pass shortens the text, so this ends.
  for (size_t p = text.find('%'); p != std::string::npos && p + 2 < text.size();
       p = text.find('%')) {
    std::string escape = text.substr(p, 3);
    if (!IsHexPair(std::string_view(escape).substr(1))) break;
    char decoded = static_cast<char>(HexToInt(escape.substr(1)));
    text = ReplaceEach(text, escape, std::string(1, decoded));
  }
  return text;
}

std::string UrlLastPart(std::string_view text) {
  size_t p = text.rfind('/');
  return std::string(p == std::string_view::npos ? text : text.substr(p + 1));
}

TSplitURL SplitUrl(std::string text) {
  if (Contains(text, kDownloadSiteHost)) text += 'a';
  // The query goes first, so that a "//" or "/" in it cuts nothing.
  const size_t query = std::min(text.find('?'), text.size());
  const std::string_view before(text.data(), query);
  const size_t scheme = before.find("//");
  const size_t host = scheme == std::string_view::npos ? 0 : scheme + 2;
  const size_t site_end = std::min(before.find('/', host), query);
  for (size_t i = 0; i < site_end; ++i)
    if (text[i] >= 'A' && text[i] <= 'Z') text[i] = static_cast<char>(text[i] + 32);

  const std::string_view rest = before.substr(site_end);
  const size_t last = rest.rfind('/');
  const size_t document = last == std::string_view::npos ? site_end : site_end + last + 1;
  const size_t dot = before.substr(document).rfind('.');

  const std::string_view site = before.substr(0, site_end);
  const size_t site_dot = site.rfind('.');
  const size_t top_level = site_dot == std::string_view::npos ? 0 : site_dot + 1;
  const size_t colon = site.substr(top_level).rfind(':');

  TSplitURL u;
  u.path_ = static_cast<uint32_t>(site_end);
  u.document_ = static_cast<uint32_t>(document);
  u.query_ = static_cast<uint32_t>(query);
  u.extension_ = static_cast<uint32_t>(dot == std::string_view::npos ? query : document + dot);
  u.top_level_ = static_cast<uint32_t>(top_level);
  const bool has_port = colon != std::string_view::npos;
  u.top_level_end_ = static_cast<uint32_t>(has_port ? top_level + colon : site_end);
  u.port_ = static_cast<uint32_t>(has_port ? top_level + colon + 1 : site_end);
  u.text_ = std::move(text);
  return u;
}

int MonthIndex(std::string_view name) {
  static const char kMonths[] = "janfebmaraprmayjunjulaugsepoctnovdec";
  if (name.size() != 3) return 255;
  char lower[3];
  for (int i = 0; i < 3; ++i) {
    const char c = name[static_cast<size_t>(i)];
    lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  }
  for (int i = 0; i < 12; ++i)
    if (std::string_view(lower, 3) == std::string_view(kMonths + 3 * i, 3)) return i;
  return 255;
}

std::string DayName(int n) {
  return n >= 1 && n <= 7 ? ShortDayName(n) : std::string("-");
}

std::string StatusText(std::string_view code) {
  static const std::unordered_map<int, const char*> kTexts = {
      {100, "Continue"},
      {101, "Switching Protocols"},
      {200, "OK"},
      {201, "Created"},
      {202, "Accepted"},
      {203, "Non-Authoritative Information"},
      {204, "No Content"},
      {205, "Reset Content"},
      {206, "Partial Content"},
      {300, "Multiple Choices"},
      {301, "Moved Permanently"},
      {302, "Moved Temporarily"},
      {303, "See Other"},
      {304, "Not Modified"},
      {305, "Use Proxy"},
      {400, "Bad Request"},
      {401, "Unauthorized"},
      {402, "Payment Required"},
      {403, "Forbidden"},
      {404, "Not Found"},
      {405, "Method Not Allowed"},
      {406, "Not Acceptable"},
      {407, "Proxy Authentication Required"},
      {408, "Request Time-Out"},
      {409, "Conflict"},
      {410, "Gone"},
      {411, "Length Required"},
      {412, "Precondition Failed"},
      {413, "Request Entity Too Large"},
      {414, "Request-URI Too Large"},
      {415, "Unsupported Media Type"},
      {500, "Internal Server Error"},
      {501, "Not Implemented"},
      {502, "Bad Gateway"},
      {503, "Service Unavailable"},
      {504, "Gateway Time-Out"},
      {505, "HTTP Version Not Supported"},
  };
  int value = 0;
  if (code.empty() || !TryStrToInt(code, value)) return "";
  auto it = kTexts.find(value);
  if (it == kTexts.end()) return "Code " + std::string(code);
  return "Code " + std::to_string(value) + " " + it->second;
}

namespace {

// User agents. Both tables are tried in order and the first rule whose
// condition holds decides. Agents come from log lines, so every read stays
// inside the text whatever bytes or length it has.

// Where a rule looks for its key words.
enum class TIn : uint8_t { kAgent, kLower };

// The view of one agent that the rules test.
struct TAgentText {
  std::string_view agent;
  std::string_view lower;
  bool mozilla;     // claims to be Mozilla
  bool compatible;  // says "compatible": robots and old MSIE, not a browser of its own

  std::string_view In(TIn in) const { return in == TIn::kLower ? lower : agent; }
};

// Position just after the first of `keys` found in `text`; npos when none
// is there. A rule without keys matches at 0.
size_t FindAnyKey(std::string_view text, const std::array<std::string_view, 4>& keys) {
  if (keys[0].empty()) return 0;
  for (std::string_view key : keys) {
    if (key.empty()) break;
    if (size_t at = text.find(key); at != std::string_view::npos) return at + key.size();
  }
  return std::string_view::npos;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The whole number that begins at `at` ("129" of "129.0.6668"), empty when
// no digit is there.
std::string_view DigitsAt(std::string_view text, size_t at) {
  if (at > text.size()) return {};
  size_t end = at;
  while (end < text.size() && IsDigit(text[end])) ++end;
  return text.substr(at, end - at);
}

// Which agents a browser rule applies to.
enum class TGate : uint8_t {
  kAny,
  kNoMozilla,
  kMozillaNotCompatible,  // a browser that names itself; robots say "compatible"
};

// Where a browser rule reads the version.
enum class TVersionFrom : uint8_t { kNone, kKey, kAlso };

struct TBrowserRule {
  TGate gate;
  TIn in;                                 // where the keys are searched
  std::array<std::string_view, 4> keys;   // any one of them; none: always
  std::string_view also;                  // must be in the agent too, unless empty
  std::string_view browser;               // empty: the agent's own text before `cut`
  char cut;                               // '\0': the whole agent
  TVersionFrom version;
  uint8_t skip;                           // separator characters before the version
};

constexpr TBrowserRule kBrowserRules[] = {
    // Current browsers all claim to be Mozilla, Chrome and Safari too, so
    // the most specific key words come first. Robots that name an engine
    // say "compatible" and are left to the older rules.
    {TGate::kMozillaNotCompatible, TIn::kAgent, {"Edg/", "EdgA/", "EdgiOS/", "Edge/"}, {},
     "Edge", 0, TVersionFrom::kKey, 0},
    {TGate::kMozillaNotCompatible, TIn::kAgent, {"OPR/", "OPiOS/"}, {}, "Opera", 0,
     TVersionFrom::kKey, 0},
    {TGate::kMozillaNotCompatible, TIn::kAgent, {"SamsungBrowser/"}, {}, "Samsung Internet", 0,
     TVersionFrom::kKey, 0},
    {TGate::kMozillaNotCompatible, TIn::kAgent, {"Chrome/", "CriOS/"}, {}, "Chrome", 0,
     TVersionFrom::kKey, 0},
    {TGate::kMozillaNotCompatible, TIn::kAgent, {"Firefox/", "FxiOS/"}, {}, "Firefox", 0,
     TVersionFrom::kKey, 0},
    // Safari's own number is a WebKit build; its release is after "Version/".
    {TGate::kMozillaNotCompatible, TIn::kAgent, {"Safari/"}, "Version/", "Safari", 0,
     TVersionFrom::kAlso, 0},
    // Internet Explorer 11 dropped "MSIE"; its release is after "rv:".
    {TGate::kMozillaNotCompatible, TIn::kAgent, {"Trident/"}, "rv:", "MS Internet Explorer", 0,
     TVersionFrom::kAlso, 0},

    // The older rules: the version stands one separator after the key word.
    {TGate::kNoMozilla, TIn::kAgent, {"Microsoft Internet Explorer"}, {}, "MS Internet Explorer",
     0, TVersionFrom::kKey, 1},
    {TGate::kNoMozilla, TIn::kAgent, {"IWENG"}, {}, "AOL", 0, TVersionFrom::kKey, 1},
    {TGate::kNoMozilla, TIn::kAgent, {"/"}, {}, {}, '/', TVersionFrom::kNone, 0},
    {TGate::kNoMozilla, TIn::kAgent, {" "}, {}, {}, ' ', TVersionFrom::kNone, 0},
    {TGate::kNoMozilla, TIn::kAgent, {"("}, {}, {}, '(', TVersionFrom::kNone, 0},
    {TGate::kNoMozilla, TIn::kAgent, {}, {}, {}, '\0', TVersionFrom::kNone, 0},
    {TGate::kAny, TIn::kAgent, {"Netscape/"}, {}, "Netscape", 0, TVersionFrom::kKey, 0},
    {TGate::kMozillaNotCompatible, TIn::kAgent, {"Firefox"}, {}, "Firefox", 0,
     TVersionFrom::kKey, 1},
    {TGate::kMozillaNotCompatible, TIn::kLower, {"chrome"}, {}, "Chrome", 0, TVersionFrom::kKey,
     1},
    {TGate::kMozillaNotCompatible, TIn::kLower, {"safari"}, {}, "Safari", 0, TVersionFrom::kKey,
     1},
    {TGate::kMozillaNotCompatible, TIn::kAgent, {"Mozilla"}, {}, "Netscape", 0,
     TVersionFrom::kKey, 1},
    {TGate::kAny, TIn::kAgent, {"WebTV"}, {}, "WebTV", 0, TVersionFrom::kKey, 1},
    {TGate::kAny, TIn::kAgent, {"MSIE"}, {}, "MS Internet Explorer", 0, TVersionFrom::kKey, 1},
    {TGate::kAny, TIn::kAgent, {"AOL"}, {}, "AOL", 0, TVersionFrom::kKey, 1},
    {TGate::kAny, TIn::kAgent, {}, {}, "Other Mozilla compatible Agents", 0, TVersionFrom::kNone,
     0},
};

bool GateOpen(TGate gate, const TAgentText& t) {
  switch (gate) {
    case TGate::kNoMozilla: return !t.mozilla;
    case TGate::kMozillaNotCompatible: return t.mozilla && !t.compatible;
    case TGate::kAny: break;
  }
  return true;
}

void DetectBrowser(const TAgentText& t, TAgentInfo& r) {
  for (const TBrowserRule& rule : kBrowserRules) {
    if (!GateOpen(rule.gate, t)) continue;
    const std::string_view text = t.In(rule.in);
    const size_t after_key = FindAnyKey(text, rule.keys);
    if (after_key == std::string_view::npos) continue;
    size_t after_also = 0;
    if (!rule.also.empty()) {
      after_also = t.agent.find(rule.also);
      if (after_also == std::string_view::npos) continue;
      after_also += rule.also.size();
    }
    if (!rule.browser.empty())
      r.browser = rule.browser;
    else
      r.browser = rule.cut == '\0' ? t.agent : t.agent.substr(0, t.agent.find(rule.cut));
    if (rule.version == TVersionFrom::kKey)
      r.browser_version = DigitsAt(text, after_key + rule.skip);
    else if (rule.version == TVersionFrom::kAlso)
      r.browser_version = DigitsAt(t.agent, after_also + rule.skip);
    return;
  }
}

// Platform versions that are read from the agent rather than fixed. Each
// gets the agent and the position just after the key word that matched.

// "Android 14" -> "14".
std::string AndroidVersion(std::string_view agent, size_t after_key) {
  return std::string(DigitsAt(agent, after_key + 1));
}

// The major release of "iPhone OS 17_5" or "CPU OS 17_5" -> "17"; the
// first " OS " followed by a number has it (" OS X" of "like Mac OS X" not).
std::string IosVersion(std::string_view agent, size_t) {
  constexpr std::string_view kOs = " OS ";
  for (size_t at = agent.find(kOs); at != std::string_view::npos; at = agent.find(kOs, at + 1)) {
    std::string_view digits = DigitsAt(agent, at + kOs.size());
    if (!digits.empty()) return std::string(digits);
  }
  return "";
}

// "Mac OS X 10_15_7" or "10.15.7" -> "10.15": under the name 10 the second
// number was the release. From 11 on the first number is ("11_2" -> "11").
std::string MacVersion(std::string_view agent, size_t after_key) {
  const size_t at = after_key < agent.size() && agent[after_key] == ' ' ? after_key + 1 : after_key;
  const std::string_view major = DigitsAt(agent, at);
  if (major != "10") return std::string(major);
  const size_t dot = at + major.size();
  if (dot >= agent.size() || (agent[dot] != '_' && agent[dot] != '.')) return "10";
  const std::string_view minor = DigitsAt(agent, dot + 1);
  return minor.empty() ? "10" : "10." + std::string(minor);
}

struct TChoice {
  std::string_view key;
  std::string_view version;
};

struct TPlatformRule {
  TIn in;                                // where the keys are searched
  std::array<std::string_view, 4> keys;  // any one of them; none: always
  std::string_view platform;
  std::string_view version;              // when no choice applies and nothing is read
  std::array<TChoice, 3> choices;        // the first whose key is in the agent gives the version
  std::string (*read_version)(std::string_view agent, size_t after_key);
};

// Every key word of this group has "win" in any case.
constexpr TPlatformRule kWindowsRules[] = {
    {TIn::kAgent, {"Windows 98; Win 9x 4.90"}, "Windows", "ME", {}, nullptr},
    {TIn::kAgent, {"Windows 98", "Win98"}, "Windows", "98", {}, nullptr},
    {TIn::kLower, {"win95"}, "Windows", "95", {}, nullptr},
    {TIn::kLower, {"winnt"}, "Windows", "NT", {}, nullptr},
    {TIn::kLower, {"win16"}, "Windows", "3.1/95 (16-bit)", {}, nullptr},
    {TIn::kAgent, {"win32", "Win32"}, "Windows", "95/NT (32-bit)", {}, nullptr},
    {TIn::kAgent, {"winweb"}, "Windows", "3.1/95 (16-bit)", {}, nullptr},
    {TIn::kAgent, {"Windows 95"}, "Windows", "95", {}, nullptr},
    {TIn::kAgent, {"Windows NT 5.0"}, "Windows", "2000", {}, nullptr},
    {TIn::kAgent, {"Windows NT 5.1"}, "Windows", "XP", {}, nullptr},
    {TIn::kAgent, {"Windows NT 5.2"}, "Windows", "Server 2003 or Windows XP x64 Edition", {},
     nullptr},
    {TIn::kAgent, {"Windows NT 6.0"}, "Windows", "Vista", {}, nullptr},
    {TIn::kAgent, {"Windows NT 6.1"}, "Windows", "Windows 7", {}, nullptr},
    {TIn::kAgent, {"Windows NT 6.2"}, "Windows", "8", {}, nullptr},
    {TIn::kAgent, {"Windows NT 6.3"}, "Windows", "8.1", {}, nullptr},
    // Windows 11 still sends 10.0.
    {TIn::kAgent, {"Windows NT 10.0"}, "Windows", "10", {}, nullptr},
    {TIn::kAgent, {"Windows NT"}, "Windows", "NT", {}, nullptr},
    {TIn::kAgent, {"Windows ME", "WinME"}, "Windows", "ME", {}, nullptr},
    {TIn::kAgent, {"Windows 3.1"}, "Windows", "3.1", {}, nullptr},
    {TIn::kAgent, {"Windows"}, "Windows", "3.1/95 (16-bit)", {{{"32bit", "95/NT (32-bit)"}}},
     nullptr},
    {TIn::kAgent, {"Window"}, "X Windows", "", {}, nullptr},
};

constexpr TPlatformRule kOtherPlatformRules[] = {
    // Android agents also name Linux, iOS agents "like Mac OS X" and Chrome
    // OS agents X11, so these come before the older rules.
    {TIn::kAgent, {"Android"}, "Android", "", {}, AndroidVersion},
    {TIn::kAgent, {"iPhone", "iPad", "iPod", "like Mac OS X"}, "iOS", "", {}, IosVersion},
    {TIn::kAgent, {"CrOS"}, "Chrome OS", "", {}, nullptr},
    {TIn::kAgent, {"Mac OS X"}, "macOS", "", {}, MacVersion},
    {TIn::kAgent, {"Mac"}, "Macintosh", "(68K)",
     {{{"PPC", "(PowerPC)"}, {"PowerPC", "(PowerPC)"}}}, nullptr},
    {TIn::kAgent, {"Amiga"}, "Amiga", "", {}, nullptr},
    {TIn::kAgent, {"OS/2"}, "OS/2", "", {}, nullptr},
    {TIn::kAgent, {"X11"}, "UNIX", "(Other/Unspecified)",
     {{{"HP-UX", "(HP-UX)"}, {"Linux", "(Linux)"}, {"SunOS", "(SunOS)"}}}, nullptr},
    {TIn::kAgent, {"IWENG"}, "Windows", "3.1/95 (16-bit)", {}, nullptr},
    {TIn::kAgent, {"Lynx"}, "UNIX", "(Other/Unspecified)", {}, nullptr},
    {TIn::kAgent, {"WebTV"}, "WebTV", "", {}, nullptr},
    {TIn::kAgent, {}, "Unknown Platform", "", {}, nullptr},
};

// Whether `rule` fits; if so, its platform and version are set.
bool ApplyPlatformRule(const TPlatformRule& rule, const TAgentText& t, TAgentInfo& r) {
  const size_t after_key = FindAnyKey(t.In(rule.in), rule.keys);
  if (after_key == std::string_view::npos) return false;
  r.platform = rule.platform;
  if (rule.read_version != nullptr) {
    r.platform_version = rule.read_version(t.agent, after_key);
    return true;
  }
  r.platform_version = rule.version;
  for (const TChoice& choice : rule.choices) {
    if (choice.key.empty()) break;
    if (Contains(t.agent, choice.key)) {
      r.platform_version = choice.version;
      break;
    }
  }
  return true;
}

// The rules in table order. A group whose common word is missing is passed
// over with one search instead of one per rule.
struct TPlatformGroup {
  std::string_view lower_word;  // empty: always tried
  std::span<const TPlatformRule> rules;
};

constexpr TPlatformGroup kPlatformGroups[] = {{"win", kWindowsRules}, {"", kOtherPlatformRules}};

void DetectPlatform(const TAgentText& t, TAgentInfo& r) {
  for (const TPlatformGroup& group : kPlatformGroups) {
    if (!group.lower_word.empty() && !Contains(t.lower, group.lower_word)) continue;
    for (const TPlatformRule& rule : group.rules)
      if (ApplyPlatformRule(rule, t, r)) return;
  }
}

}  // namespace

TAgentInfo DetectAgent(std::string agent) {
  agent = ReplaceChar(std::move(agent), '+', ' ');
  const std::string lower = LowerCase(agent);
  const TAgentText text{agent, lower, Contains(agent, "Mozilla"), Contains(agent, "compatible")};
  TAgentInfo r;
  DetectBrowser(text, r);
  DetectPlatform(text, r);
  return r;
}

std::string DurationText(double days) {
  if (!std::isfinite(days)) return "";
  if (days < 0) return "-" + DurationText(-days);
  // Whole milliseconds, so that exact spans do not lose a unit to rounding.
  const long long total_ms = std::llround(days * 86400000.0);
  const long long d = total_ms / 86400000;
  const long long h = total_ms / 3600000 % 24;
  const long long m = total_ms / 60000 % 60;
  const long long s = total_ms / 1000 % 60;
  const long long ms = total_ms % 1000;
  std::string text = std::to_string(d) + " day" + PluralS(d) + ", " + std::to_string(h) +
                     " hour" + PluralS(h) + ", " + std::to_string(m) + " min" + PluralS(m) +
                     ", " + std::to_string(s) + " sec" + PluralS(s) + ", " +
                     std::to_string(ms) + " msec" + PluralS(ms) + ".";
  while (text.rfind("0 ", 0) == 0) {
    size_t comma = text.find(',');
    if (comma == std::string::npos) break;  // the last unit stays: "0 msecs."
    text.erase(0, comma + 2);
  }
  return text;
}

std::string ExpandDatePatterns(std::string_view text, TDateTime now) {
  return ExpandDatePatterns(text, now, '<', '>');
}

std::string ExpandDatePatterns(std::string_view text, TDateTime now, char open_char,
                               char close_char) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find(open_char, i);
    if (open == std::string_view::npos) break;
    size_t close = text.find(close_char, open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(i, open - i));
    out += FormatDateTime(std::string(text.substr(open + 1, close - open - 1)), now);
    i = close + 1;
  }
  out.append(text.substr(i));
  return out;
}

std::string ExpandDatePatterns(std::string_view text) { return ExpandDatePatterns(text, Now()); }

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string JsEscape(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"' || c == '\'' || c == '<' || c == '>' || c == '&' || u < 0x20) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool IsIPv6Address(std::string_view text) {
  if (const size_t zone = text.find('%'); zone != std::string_view::npos) {
    if (zone + 1 == text.size()) return false;
    text = text.substr(0, zone);
  }
  if (text.size() < 2 || text.size() > 45) return false;
  int groups = 0;
  bool compressed = false;
  size_t i = 0;
  if (text.substr(0, 2) == "::") {
    compressed = true;
    i = 2;
  } else if (text[0] == ':') {
    return false;
  }
  while (i < text.size()) {
    size_t end = i;
    while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end < text.size() && text[end] == '.') {
      // A dotted IPv4 tail stands for the last two groups.
      int parts = 0;
      size_t p = i;
      while (p <= text.size()) {
        size_t q = p;
        int value = 0;
        while (q < text.size() && q - p < 4 && std::isdigit(static_cast<unsigned char>(text[q])))
          value = value * 10 + (text[q++] - '0');
        if (q == p || q - p > 3 || value > 255) return false;
        ++parts;
        if (q == text.size()) break;
        if (text[q] != '.') return false;
        p = q + 1;
      }
      if (parts != 4) return false;
      groups += 2;
      i = text.size();
      break;
    }
    if (end == i || end - i > 4) return false;
    ++groups;
    i = end;
    if (i == text.size()) break;
    if (text[i] != ':') return false;
    ++i;
    if (i < text.size() && text[i] == ':') {
      if (compressed) return false;
      compressed = true;
      ++i;
    } else if (i == text.size()) {
      return false;  // a single ":" at the end
    }
  }
  return compressed ? groups <= 7 : groups == 8;
}

}  // namespace trelvar
