#include "config/web_helpers.h"

#include <cctype>
#include <cmath>
#include <unordered_map>

#include "config/errors.h"
#include "config/text_helpers.h"

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
  TSplitURL u;
  if (Contains(text, kDownloadSiteHost)) text += 'a';

  if (size_t q = text.find('?'); q != std::string::npos) {
    u.query = text.substr(q);
    text.erase(q);
  }
  if (size_t s = text.find("//"); s != std::string::npos) {
    u.site = text.substr(0, s + 2);
    text.erase(0, s + 2);
  }
  if (size_t slash = text.find('/'); slash != std::string::npos) {
    u.site += text.substr(0, slash);
    text.erase(0, slash);
  } else {
    u.site += text;
    text.clear();
  }
  u.site = LowerCase(u.site);

  size_t last = text.rfind('/');
  if (last != std::string::npos) {
    u.path = text.substr(0, last + 1);
    u.document = text.substr(last + 1);
  } else {
    u.document = text;
  }
  if (size_t dot = u.document.rfind('.'); dot != std::string::npos)
    u.extension = u.document.substr(dot);

  size_t dot = u.site.rfind('.');
  u.top_level = dot == std::string::npos ? u.site : u.site.substr(dot + 1);
  if (size_t colon = u.top_level.rfind(':'); colon != std::string::npos) {
    u.port = u.top_level.substr(colon + 1);
    u.top_level.erase(colon);
  }
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

// The one-character version that follows `key` at `pos` after `skip`
// separator characters.
std::string VersionAt(const std::string& text, size_t pos, size_t key_length, size_t skip) {
  size_t at = pos + key_length + skip;
  return at < text.size() ? std::string(1, text[at]) : "";
}

std::string VersionAfter(const std::string& text, std::string_view key, size_t skip = 1) {
  size_t pos = text.find(key);
  return pos == std::string::npos ? "" : VersionAt(text, pos, key.size(), skip);
}

void DetectBrowser(const std::string& a, const std::string& lower, TAgentInfo& r) {
  if (!Contains(a, "Mozilla")) {
    if (Contains(a, "Microsoft Internet Explorer")) {
      r.browser = "MS Internet Explorer";
      r.browser_version = VersionAfter(a, "Microsoft Internet Explorer");
    } else if (Contains(a, "IWENG")) {
      r.browser = "AOL";
      r.browser_version = VersionAfter(a, "IWENG");
    } else if (size_t p = a.find('/'); p != std::string::npos) {
      r.browser = a.substr(0, p);
    } else if (size_t b = a.find(' '); b != std::string::npos) {
      r.browser = a.substr(0, b);
    } else if (size_t o = a.find('('); o != std::string::npos) {
      r.browser = a.substr(0, o);
    } else {
      r.browser = a;
    }
  } else if (Contains(a, "Netscape/")) {
    r.browser = "Netscape";
    r.browser_version = VersionAfter(a, "Netscape/", 0);
  } else if (!Contains(a, "compatible")) {
    if (Contains(a, "Firefox")) {
      r.browser = "Firefox";
      r.browser_version = VersionAfter(a, "Firefox");
    } else if (Contains(lower, "chrome")) {
      r.browser = "Chrome";
      r.browser_version = VersionAfter(lower, "chrome");
    } else if (Contains(lower, "safari")) {
      r.browser = "Safari";
      r.browser_version = VersionAfter(lower, "safari");
    } else {
      r.browser = "Netscape";
      r.browser_version = VersionAfter(a, "Mozilla");
    }
  } else if (Contains(a, "WebTV")) {
    r.browser = "WebTV";
    r.browser_version = VersionAfter(a, "WebTV");
  } else if (Contains(a, "MSIE")) {
    r.browser = "MS Internet Explorer";
    r.browser_version = VersionAfter(a, "MSIE");
  } else if (Contains(a, "AOL")) {
    r.browser = "AOL";
    r.browser_version = VersionAfter(a, "AOL");
  } else {
    r.browser = "Other Mozilla compatible Agents";
  }
}

void DetectPlatform(const std::string& a, const std::string& lower, TAgentInfo& r) {
  auto set = [&](const char* platform, std::string version) {
    r.platform = platform;
    r.platform_version = std::move(version);
  };
  if (Contains(a, "Windows 98; Win 9x 4.90")) set("Windows", "ME");
  else if (Contains(a, "Windows 98") || Contains(a, "Win98")) set("Windows", "98");
  else if (Contains(lower, "win95")) set("Windows", "95");
  else if (Contains(lower, "winnt")) set("Windows", "NT");
  else if (Contains(lower, "win16")) set("Windows", "3.1/95 (16-bit)");
  else if (Contains(a, "win32") || Contains(a, "Win32")) set("Windows", "95/NT (32-bit)");
  else if (Contains(a, "winweb")) set("Windows", "3.1/95 (16-bit)");
  else if (Contains(a, "Windows 95")) set("Windows", "95");
  else if (Contains(a, "Windows NT 5.0")) set("Windows", "2000");
  else if (Contains(a, "Windows NT 5.1")) set("Windows", "XP");
  else if (Contains(a, "Windows NT 5.2")) set("Windows", "Server 2003 or Windows XP x64 Edition");
  else if (Contains(a, "Windows NT 6.0")) set("Windows", "Vista");
  else if (Contains(a, "Windows NT 6.1")) set("Windows", "Windows 7");
  else if (Contains(a, "Windows NT")) set("Windows", "NT");
  else if (Contains(a, "Windows ME") || Contains(a, "WinME")) set("Windows", "ME");
  else if (Contains(a, "Windows 3.1")) set("Windows", "3.1");
  else if (Contains(a, "Windows"))
    set("Windows", Contains(a, "32bit") ? "95/NT (32-bit)" : "3.1/95 (16-bit)");
  else if (Contains(a, "Window")) set("X Windows", "");
  else if (Contains(a, "Mac"))
    set("Macintosh", Contains(a, "PPC") || Contains(a, "PowerPC") ? "(PowerPC)" : "(68K)");
  else if (Contains(a, "Amiga")) set("Amiga", "");
  else if (Contains(a, "OS/2")) set("OS/2", "");
  else if (Contains(a, "X11"))
    set("UNIX", Contains(a, "HP-UX")   ? "(HP-UX)"
                : Contains(a, "Linux") ? "(Linux)"
                : Contains(a, "SunOS") ? "(SunOS)"
                                       : "(Other/Unspecified)");
  else if (Contains(a, "IWENG")) set("Windows", "3.1/95 (16-bit)");
  else if (Contains(a, "Lynx")) set("UNIX", "(Other/Unspecified)");
  else if (Contains(a, "WebTV")) set("WebTV", "");
  else set("Unknown Platform", "");
}

}  // namespace

TAgentInfo DetectAgent(std::string agent) {
  agent = ReplaceChar(std::move(agent), '+', ' ');
  const std::string lower = LowerCase(agent);
  TAgentInfo r;
  DetectBrowser(agent, lower, r);
  DetectPlatform(agent, lower, r);
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
