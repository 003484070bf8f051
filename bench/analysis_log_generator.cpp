#include "analysis_log_generator.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

namespace {

constexpr const char* kSiteUrl = "https://www.trelvar-sample.com";
constexpr const char* kServerIp = "192.0.2.10";
constexpr int kPageCount = 3000;
constexpr int kOpenVisits = 40;     // visits in progress at any moment
constexpr int kMonthDays = 31;      // May 2024
constexpr int kFirstWeekday = 2;    // 1 May 2024 was a Wednesday (0: Monday)
constexpr uint64_t kSeed = 20240501;

// Random numbers made without the standard distributions, whose results
// differ between library implementations: the same seed gives the same
// bytes everywhere.
class TRandom {
 public:
  explicit TRandom(uint64_t seed) : engine_(seed) {}
  double Unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  int Below(int n) { return static_cast<int>(Unit() * n); }
  int Between(int low, int high) { return low + Below(high - low + 1); }
  bool Chance(double p) { return Unit() < p; }
  template <typename T, size_t N>
  const T& Of(const std::array<T, N>& items) {
    return items[static_cast<size_t>(Below(static_cast<int>(N)))];
  }

 private:
  std::mt19937_64 engine_;
};

// A choice among items of given weights.
class TWeighted {
 public:
  explicit TWeighted(const std::vector<double>& weights) {
    double sum = 0;
    for (double w : weights) cumulative_.push_back(sum += w);
  }
  int Pick(TRandom& random) const {
    const double x = random.Unit() * cumulative_.back();
    const auto at = std::upper_bound(cumulative_.begin(), cumulative_.end(), x);
    return static_cast<int>(std::min<ptrdiff_t>(at - cumulative_.begin(),
                                                 static_cast<ptrdiff_t>(cumulative_.size()) - 1));
  }

 private:
  std::vector<double> cumulative_;
};

// A stable pseudo-random number of `i`, for sizes and names that must not
// depend on the order of draws.
uint32_t Hash(uint32_t i) {
  i ^= i >> 16;
  i *= 0x7feb352dU;
  i ^= i >> 15;
  i *= 0x846ca68bU;
  i ^= i >> 16;
  return i;
}

struct TAgent {
  const char* text;
  double weight;
  bool apple;  // asks for /apple-touch-icon.png
};

// Browsers of spring 2024 and their rough shares.
const std::array<TAgent, 16> kBrowsers = {{
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/124.0.0.0 Safari/537.36",
     26, false},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/123.0.0.0 Safari/537.36",
     6, false},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/124.0.0.0 Safari/537.36",
     7, false},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/17.4.1 Safari/605.1.15",
     6, true},
    {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_4_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
     "like Gecko) Version/17.4.1 Mobile/15E148 Safari/604.1",
     14, true},
    {"Mozilla/5.0 (iPad; CPU OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/17.4 Mobile/15E148 Safari/604.1",
     3, true},
    {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
     "Gecko) CriOS/124.0.6367.88 Mobile/15E148 Safari/604.1",
     2, true},
    {"Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/124.0.0.0 Mobile Safari/537.36",
     11, false},
    {"Mozilla/5.0 (Linux; Android 14; SM-S918B) AppleWebKit/537.36 (KHTML, like Gecko) "
     "SamsungBrowser/24.0 Chrome/117.0.0.0 Mobile Safari/537.36",
     4, false},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:125.0) Gecko/20100101 Firefox/125.0", 6,
     false},
    {"Mozilla/5.0 (X11; Linux x86_64; rv:125.0) Gecko/20100101 Firefox/125.0", 2, false},
    {"Mozilla/5.0 (Android 14; Mobile; rv:125.0) Gecko/125.0 Firefox/125.0", 1, false},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/124.0.0.0 Safari/537.36 Edg/124.0.0.0",
     8, false},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/124.0.0.0 Safari/537.36 OPR/109.0.0.0",
     1.5, false},
    {"Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/124.0.0.0 Safari/537.36",
     2, false},
    {"Mozilla/5.0 (Windows NT 6.1; WOW64; Trident/7.0; rv:11.0) like Gecko", 0.5, false},
}};

// Robots, monitors, tools and scanners: one client each, with the share of
// all visits it makes and how it behaves.
enum class TBotKind { kCrawler, kMonitor, kScanner };
struct TBot {
  const char* agent;
  const char* ip_prefix;  // the client's address is this + a number
  int addresses;          // how many addresses the robot uses
  double weight;
  TBotKind kind;
};
const std::array<TBot, 14> kBots = {{
    {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "66.249.66.", 12,
     30, TBotKind::kCrawler},
    {"Mozilla/5.0 (Linux; Android 6.0.1; Nexus 5X Build/MMB29P) AppleWebKit/537.36 (KHTML, like "
     "Gecko) Chrome/124.0.6367.118 Mobile Safari/537.36 (compatible; Googlebot/2.1; "
     "+http://www.google.com/bot.html)",
     "66.249.68.", 8, 20, TBotKind::kCrawler},
    {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; bingbot/2.0; "
     "+http://www.bing.com/bingbot.htm) Chrome/116.0.1938.76 Safari/537.36",
     "40.77.167.", 10, 14, TBotKind::kCrawler},
    {"Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", "5.255.253.", 4, 5,
     TBotKind::kCrawler},
    {"Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)", "54.36.148.", 6, 8,
     TBotKind::kCrawler},
    {"Mozilla/5.0 (compatible; SemrushBot/7~bl; +http://www.semrush.com/bot.html)", "185.191.171.",
     6, 6, TBotKind::kCrawler},
    {"DuckDuckBot/1.1; (+http://duckduckgo.com/duckduckbot.html)", "20.191.45.", 2, 2,
     TBotKind::kCrawler},
    {"Mozilla/5.0 (compatible; Baiduspider/2.0; +http://www.baidu.com/search/spider.html)",
     "116.179.32.", 4, 2, TBotKind::kCrawler},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_5) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/13.1.1 Safari/605.1.15 (Applebot/0.1; +http://www.apple.com/go/applebot)",
     "17.241.219.", 3, 2, TBotKind::kCrawler},
    {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; GPTBot/1.0; "
     "+https://openai.com/gptbot)",
     "20.171.207.", 3, 3, TBotKind::kCrawler},
    {"facebookexternalhit/1.1 (+http://www.facebook.com/externalhit_uatext.php)", "69.171.249.",
     4, 2, TBotKind::kCrawler},
    {"Mozilla/5.0+(compatible; UptimeRobot/2.0; http://www.uptimerobot.com/)", "216.144.250.", 2,
     25, TBotKind::kMonitor},
    {"curl/8.5.0", "203.0.113.", 6, 2, TBotKind::kMonitor},
    {"Mozilla/5.0 zgrab/0.x", "45.148.10.", 8, 2, TBotKind::kScanner},
}};

// Words of product, blog and documentation pages and of search phrases.
constexpr std::array<const char*, 24> kAdjectives = {
    "solar",    "wooden",  "steel",  "compact",  "cordless",   "foldable", "vintage", "smart",
    "ceramic",  "outdoor", "led",    "bamboo",   "waterproof", "portable", "electric", "glass",
    "handmade", "rustic",  "modern", "wireless", "stackable",  "cast-iron", "linen",  "copper"};
constexpr std::array<const char*, 28> kNouns = {
    "lamp",   "chair", "table",  "kettle", "drill",    "hose",     "planter", "shelf",  "desk",
    "rug",    "mug",   "knife",  "grill",  "tent",     "lantern",  "bench",   "mirror", "towel",
    "blanket", "clock", "speaker", "heater", "backpack", "cushion", "pan",    "vase",   "hammock",
    "fan"};
constexpr std::array<const char*, 8> kSections = {"garden", "kitchen", "lighting", "tools",
                                                  "outdoor", "office", "bathroom", "kids"};
constexpr std::array<const char*, 14> kPhraseExtras = {
    "review", "price", "buy", "best", "cheap", "how to clean", "vs", "2024", "near me", "sale",
    "test", "manual", "discount code", "which"};
// Phrases in other languages, written as UTF-8 and sent URL-encoded.
constexpr std::array<const char*, 10> kForeignPhrases = {
    "gartenmöbel günstig",    "wasserkocher edelstahl test", "lampe solaire extérieur",
    "table pliante café",     "солнечный фонарь",             "купить садовый стул",
    "lámpara solar jardín",   "\"solar lamp\" waterproof",   "tente 4 personnes étanche",
    "ручная дрель аккумуляторная"};

struct TEngine {
  const char* prefix;  // everything before the phrase
  const char* suffix;  // after it
  double weight;
};
constexpr std::array<TEngine, 9> kEngines = {{
    {"https://www.google.com/search?q=", "&hl=en", 42},
    {"https://www.google.de/search?q=", "&source=hp&ei=x1", 10},
    {"https://www.google.co.uk/search?q=", "&sca_esv=5", 8},
    {"https://www.google.fr/search?client=firefox-b-d&q=", "", 5},
    {"https://www.bing.com/search?q=", "&form=QBLH&sp=-1", 12},
    {"https://search.yahoo.com/search?p=", "&fr=yfp-t&ei=UTF-8", 5},
    {"https://duckduckgo.com/?q=", "&t=h_&ia=web", 8},
    {"https://yandex.ru/search/?text=", "&lr=213", 4},
    {"https://www.bing.com/search?q=", "&qs=n&form=QBRE&pq=", 2},
}};

// Other sites that link to this one; "{n}" takes a number.
constexpr std::array<const char*, 16> kReferringSites = {
    "https://www.facebook.com/",
    "https://l.facebook.com/l.php?u=https%3A%2F%2Fwww.trelvar-sample.com%2F&h=AT{n}",
    "https://t.co/x{n}Qz",
    "https://www.reddit.com/r/gardening/comments/1c{n}/best_outdoor_lights/",
    "https://news.ycombinator.com/item?id={n}",
    "https://www.pinterest.com/pin/{n}/",
    "android-app://com.google.android.gm/",
    "https://forum.gardenfriends.org/thread/{n}-solar-lamps",
    "https://www.youtube.com/",
    "https://www.linkedin.com/",
    "https://blog.homeideas.net/2024/04/post-{n}.html",
    "https://www.instagram.com/",
    "https://www.google.com/",
    "https://duckduckgo.com/",
    "https://www.trustpilot.com/review/trelvar-sample.com?page={n}",
    "https://deals.example-coupons.com/store/trelvar-sample?ref={n}",
};

constexpr std::array<const char*, 12> kBrokenPaths = {
    "/wp-login.php", "/.env",       "/xmlrpc.php",       "/old/catalogue.htm",
    "/images/missing.png",          "/products/garden/discontinued.html",
    "/admin/",       "/blog/feed/", "/.git/config",      "/shop/item.php",
    "/phpmyadmin/index.php",        "/wp-content/plugins/wp-file-manager/readme.txt"};

constexpr std::array<const char*, 20> kUserNames = {
    "anna",  "bmueller", "chris", "dana.k",  "erik", "fatima", "georg", "hana",  "ivan",
    "julia", "kmeier",   "lars",  "maria.s", "nils", "olga",   "paul",  "quinn", "rosa",
    "sven",  "tanja"};

struct TResource {
  std::string path;
  std::string query;  // without "?"
  int64_t size = 0;
  bool dynamic = false;  // a script: sizes and times vary
};

struct TPage {
  TResource resource;
  std::string words;  // what a search for it would type
  std::string section_path;
  int images = 0;
  bool download_links = false;
};

// The site: its pages in popularity order, their images and the assets all
// pages share.
class TSite {
 public:
  TSite() {
    // The most popular pages, with what people search for to find them.
    const std::array<std::pair<const char*, const char*>, 10> fixed = {{
        {"/", "trelvar sample shop"},
        {"/products/", "trelvar sample products"},
        {"/blog/", "trelvar sample blog"},
        {"/about.html", "about trelvar sample"},
        {"/contact.php", "trelvar sample contact"},
        {"/cart.php", "trelvar sample cart"},
        {"/faq.html", "trelvar sample shipping faq"},
        {"/search.php", "trelvar sample search"},
        {"/downloads/", "trelvar sample catalogue download"},
        {"/shop/checkout.php", "trelvar sample checkout"},
    }};
    for (uint32_t i = 0; i < kPageCount; ++i) {
      TPage page;
      const uint32_t h = Hash(i + 1);
      const char* adjective = kAdjectives[h % kAdjectives.size()];
      const char* noun = kNouns[(h >> 8) % kNouns.size()];
      const char* section = kSections[(h >> 16) % kSections.size()];
      page.words = std::string(adjective) + " " + noun;
      page.images = static_cast<int>((h >> 20) % 5);
      TResource& r = page.resource;
      if (i < fixed.size()) {
        r.path = fixed[i].first;
        r.dynamic = r.path.find(".php") != std::string::npos;
        if (i == 7) r.query = "q=" + std::string(adjective) + "+" + noun;
        page.section_path = i == 0 ? "/products" : "/blog";
        page.words = fixed[i].second;
      } else {
        const std::string slug = std::string(adjective) + "-" + noun;
        char number[16];
        std::snprintf(number, sizeof number, "%u", i);
        switch (i % 6) {
          case 0:
          case 1:
            r.path = std::string("/products/") + section + "/" + slug + "-" + number + ".html";
            page.section_path = "/products";
            break;
          case 2:
            r.path = std::string("/blog/2024/0") + static_cast<char>('1' + h % 5) + "/" + slug +
                     "-guide-" + number + ".html";
            page.section_path = "/blog";
            break;
          case 3:
            r.path = std::string("/docs/") + noun + "/" + adjective + "-setup-" + number + ".htm";
            page.section_path = "/docs";
            page.download_links = true;
            break;
          case 4:
            r.path = "/shop/item.php";
            r.query = std::string("id=") + number + "&cat=" + section;
            r.dynamic = true;
            page.section_path = "/shop";
            break;
          default:
            r.path = "/forum/viewtopic.php";
            r.query = std::string("t=") + number;
            r.dynamic = true;
            page.section_path = "/forum";
            page.images = 0;
            break;
        }
      }
      r.size = 6000 + h % 52000;
      pages_.push_back(std::move(page));
    }
    // Zipf's law over the popularity rank.
    std::vector<double> weights;
    for (int i = 0; i < kPageCount; ++i) weights.push_back(1.0 / std::pow(i + 1.0, 1.0));
    popularity_ = std::make_unique<TWeighted>(weights);

    const std::array<std::pair<const char*, int64_t>, 4> shared = {
        {{"/css/site.css", 24310}, {"/js/app.js", 91422}, {"/images/logo.png", 8213},
         {"/fonts/inter-var.woff2", 48900}}};
    for (const auto& [path, size] : shared) {
      TResource r;
      r.path = path;
      r.size = size;
      shared_.push_back(r);
    }
    favicon_.path = "/favicon.ico";
    favicon_.size = 1150;
    robots_.path = "/robots.txt";
    robots_.size = 412;
    sitemap_.path = "/sitemap.xml";
    sitemap_.size = 181240;
    touch_icon_.path = "/apple-touch-icon.png";
    touch_icon_.size = 0;
    for (uint32_t i = 0; i < 24; ++i) {
      TResource r;
      const uint32_t h = Hash(9000 + i);
      const char* noun = kNouns[h % kNouns.size()];
      const std::array<const char*, 3> kinds = {"-manual.pdf", "-catalogue-2024.zip",
                                                "-setup-2.4.1.exe"};
      r.path = std::string("/downloads/") + noun + kinds[i % kinds.size()];
      r.size = 200000 + h % 8000000;
      downloads_.push_back(r);
    }
  }

  int PopularPage(TRandom& random) const { return popularity_->Pick(random); }
  const TPage& Page(int i) const { return pages_[static_cast<size_t>(i)]; }
  const std::vector<TResource>& Shared() const { return shared_; }
  const TResource& Favicon() const { return favicon_; }
  const TResource& Robots() const { return robots_; }
  const TResource& Sitemap() const { return sitemap_; }
  const TResource& TouchIcon() const { return touch_icon_; }
  const TResource& Download(TRandom& random) const {
    return downloads_[static_cast<size_t>(random.Below(static_cast<int>(downloads_.size())))];
  }

 private:
  std::vector<TPage> pages_;
  std::unique_ptr<TWeighted> popularity_;
  std::vector<TResource> shared_;
  std::vector<TResource> downloads_;
  TResource favicon_, robots_, sitemap_, touch_icon_;
};

struct TClient {
  std::string address;
  int agent = 0;  // into kBrowsers, or the bot's index when `bot`
  bool bot = false;
  bool http2 = false;
  std::string user = "-";
  int visits = 0;
};

// One request as both layouts need it.
struct TRequest {
  int client = 0;
  const char* method = "GET";
  std::string path;
  std::string query;
  int status = 200;
  int64_t bytes = 0;  // -1: none sent ("-")
  std::string referrer = "-";
  int time_taken = 0;  // milliseconds
};

// A request a visit will make next, before status and size are settled.
struct TPending {
  const TResource* resource = nullptr;
  int status = 200;
  std::string referrer;
  const char* method = "GET";
};

struct TVisit {
  int client = -1;
  int pages_left = 0;
  int page = 0;             // the last page asked for
  bool first = true;        // the client's first visit: nothing is cached
  bool at_start = false;    // the next page is the visit's first
  std::string page_url;     // referrer of the next request
  std::vector<TPending> pending;  // in reverse order: the next is at the back
};

std::string EncodePhrase(const std::string& phrase) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : phrase) {
    if ((c < 0x80 && std::isalnum(c) != 0) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// Seconds since 1 May 2024 00:00 for each line: a daily rhythm with quiet
// nights and weekends and a slight growth through the month, increasing
// from line to line.
class TTimeline {
 public:
  explicit TTimeline(int64_t lines) {
    constexpr std::array<double, 24> kHourly = {0.35, 0.25, 0.2,  0.18, 0.18, 0.25, 0.4,  0.6,
                                                0.85, 1.0,  1.1,  1.15, 1.1,  1.1,  1.15, 1.1,
                                                1.05, 1.0,  1.0,  1.05, 1.1,  1.0,  0.8,  0.55};
    std::vector<double> weights;
    double total = 0;
    for (int day = 0; day < kMonthDays; ++day) {
      const bool weekend = (kFirstWeekday + day) % 7 >= 5;
      for (int hour = 0; hour < 24; ++hour) {
        weights.push_back(kHourly[static_cast<size_t>(hour)] * (weekend ? 0.8 : 1.0) *
                          (1.0 + 0.15 * day / kMonthDays));
        total += weights.back();
      }
    }
    double cumulative = 0;
    int64_t before = 0;
    for (double w : weights) {
      cumulative += w;
      const auto upto = static_cast<int64_t>(
          std::llround(cumulative / total * static_cast<double>(lines)));
      per_hour_.push_back(upto - before);
      before = upto;
    }
  }
  // The time of the next line.
  int64_t Next() {
    while (hour_ + 1 < per_hour_.size() && in_hour_ >= per_hour_[hour_]) {
      ++hour_;
      in_hour_ = 0;
    }
    const int64_t n = std::max<int64_t>(per_hour_[hour_], 1);
    const int64_t second = static_cast<int64_t>(hour_) * 3600 + in_hour_ * 3600 / n;
    ++in_hour_;
    return std::min<int64_t>(second, int64_t{kMonthDays} * 86400 - 1);
  }

 private:
  std::vector<int64_t> per_hour_;
  size_t hour_ = 0;
  int64_t in_hour_ = 0;
};

// The request stream: visits in progress, interleaved.
class TTraffic {
 public:
  explicit TTraffic(int64_t lines) : random_(kSeed), lines_(lines) {
    const int64_t total = AnalysisLogClients(lines);
    int64_t bot_addresses = 0;
    for (const TBot& bot : kBots) bot_addresses += bot.addresses;
    browsers_ = static_cast<int>(std::max<int64_t>(total - bot_addresses, 10));
    std::vector<double> browser_weights;
    for (const TAgent& a : kBrowsers) browser_weights.push_back(a.weight);
    const TWeighted browser_choice(browser_weights);
    clients_.resize(static_cast<size_t>(browsers_));
    for (int i = 0; i < browsers_; ++i) {
      TClient& c = clients_[static_cast<size_t>(i)];
      const uint32_t h = Hash(static_cast<uint32_t>(i) * 2654435761U + 77);
      char text[64];
      if (h % 100 < 8) {
        std::snprintf(text, sizeof text, "2a02:%x:%x:%x::%x", 0x800 + (h >> 20) % 0x700,
                      (h >> 4) & 0xffff, i & 0xffff, 1 + (h & 0xff));
      } else {
        // Spread over public-looking addresses; i enters whole, so they differ.
        const uint32_t v = static_cast<uint32_t>(i) * 2246822519U + 0x5bd1e995U;
        int head = static_cast<int>(v >> 24);
        if (head == 0 || head == 10 || head == 127 || head >= 224) head = 11 + head % 180;
        std::snprintf(text, sizeof text, "%d.%u.%u.%u", head, (v >> 16) & 0xff, (v >> 8) & 0xff,
                      (v & 0xff) == 0 ? 1U : v & 0xff);
      }
      c.address = text;
      c.agent = browser_choice.Pick(random_);
      c.http2 = random_.Chance(0.7);
      if (random_.Chance(0.03)) c.user = kUserNames[h % kUserNames.size()];
    }
    std::vector<double> bot_weights;
    for (size_t b = 0; b < kBots.size(); ++b) {
      bot_first_.push_back(static_cast<int>(clients_.size()));
      bot_weights.push_back(kBots[b].weight);
      for (int a = 0; a < kBots[b].addresses; ++a) {
        TClient c;
        c.address = kBots[b].ip_prefix + std::to_string(10 + a * 7);
        c.agent = static_cast<int>(b);
        c.bot = true;
        clients_.push_back(c);
      }
    }
    bot_choice_ = std::make_unique<TWeighted>(bot_weights);
    std::vector<double> engine_weights;
    for (const TEngine& e : kEngines) engine_weights.push_back(e.weight);
    engine_choice_ = std::make_unique<TWeighted>(engine_weights);
    visits_.resize(kOpenVisits);
  }

  const TClient& Client(int i) const { return clients_[static_cast<size_t>(i)]; }

  void Next(TRequest& request) {
    TVisit& visit = visits_[static_cast<size_t>(random_.Below(kOpenVisits))];
    if (visit.pending.empty() && visit.pages_left == 0) StartVisit(visit);
    if (visit.pending.empty()) NextPage(visit);
    const TPending next = std::move(visit.pending.back());
    visit.pending.pop_back();
    ++made_;

    request.client = visit.client;
    request.method = next.method;
    request.path = next.resource->path;
    request.query = next.resource->query;
    request.referrer = next.referrer.empty() ? "-" : next.referrer;
    request.status = next.status;
    const TResource& r = *next.resource;
    switch (request.status) {
      case 200:
        request.bytes = r.dynamic ? r.size + random_.Between(-800, 800) : r.size;
        request.time_taken = r.dynamic ? 60 + random_.Below(700) : 1 + random_.Below(40);
        if (r.size > 1000000) request.time_taken += static_cast<int>(r.size / 20000);
        break;
      case 304:
        request.bytes = -1;
        request.time_taken = random_.Below(8);
        break;
      case 301:
        request.bytes = 239;
        request.time_taken = random_.Below(5);
        break;
      case 404:
        request.bytes = 1245;
        request.time_taken = 1 + random_.Below(20);
        break;
      default:
        request.bytes = 531;
        request.time_taken = 2000 + random_.Below(28000);
        break;
    }
    if (std::string_view(request.method) == "HEAD") request.bytes = -1;
  }

 private:
  // A client for a new visit: new clients arrive at a steady pace through
  // the month (a few hundred are there from the start), the others come
  // back, the loyal early ones more often.
  int ChooseBrowser() {
    const double due = static_cast<double>(browsers_) * static_cast<double>(made_ + 1) /
                           static_cast<double>(std::max<int64_t>(lines_, 1)) +
                       std::max(2.0 * kOpenVisits, browsers_ / 50.0);
    if (next_new_ < browsers_ && next_new_ < due) return next_new_++;
    return static_cast<int>(std::pow(random_.Unit(), 1.5) * next_new_);
  }

  std::string SearchReferrer(const TPage& page) {
    const TEngine& engine = kEngines[static_cast<size_t>(engine_choice_->Pick(random_))];
    std::string phrase;
    const bool yandex = std::string_view(engine.prefix).find("yandex") != std::string_view::npos;
    if (random_.Chance(yandex ? 0.7 : 0.08)) {
      phrase = random_.Of(kForeignPhrases);
    } else {
      phrase = page.words;
      if (random_.Chance(0.6)) {
        const std::string extra = random_.Of(kPhraseExtras);
        phrase = random_.Chance(0.5) ? extra + " " + phrase : phrase + " " + extra;
      }
    }
    return engine.prefix + EncodePhrase(phrase) + engine.suffix;
  }

  std::string OtherReferrer() {
    std::string url = random_.Of(kReferringSites);
    const size_t at = url.find("{n}");
    if (at != std::string::npos) url.replace(at, 3, std::to_string(1000 + random_.Below(400)));
    return url;
  }

  void StartVisit(TVisit& visit) {
    visit.pending.clear();
    visit.page_url.clear();
    visit.at_start = true;
    visit.first = false;
    if (random_.Chance(0.07)) {
      const int bot = bot_choice_->Pick(random_);
      const TBot& b = kBots[static_cast<size_t>(bot)];
      visit.client = bot_first_[static_cast<size_t>(bot)] + random_.Below(b.addresses);
      switch (b.kind) {
        case TBotKind::kMonitor:
          visit.pages_left = 0;
          Push(visit, &site_.Page(0).resource, b.agent[0] == 'c' ? "GET" : "HEAD", 200, "");
          break;
        case TBotKind::kScanner:
          visit.pages_left = 0;
          for (int i = random_.Between(3, 12); i > 0; --i) Push(visit, &Broken(), "GET", 404, "");
          break;
        case TBotKind::kCrawler:
          visit.pages_left = random_.Between(10, 120);
          if (random_.Chance(0.6)) Push(visit, &site_.Robots(), "GET", 200, "");
          if (random_.Chance(0.1)) Push(visit, &site_.Sitemap(), "GET", 200, "");
          break;
      }
    } else {
      visit.client = ChooseBrowser();
      TClient& c = clients_[static_cast<size_t>(visit.client)];
      visit.first = c.visits++ == 0;
      visit.pages_left = random_.Chance(0.35) ? 1 : 2 + static_cast<int>(-3.0 * std::log(
                                                           1.0 - random_.Unit()));
      visit.pages_left = std::min(visit.pages_left, 25);
    }
  }

  // The next page of a visit, followed by what it pulls in.
  void NextPage(TVisit& visit) {
    const TClient& client = Client(visit.client);
    --visit.pages_left;
    int page;
    if (client.bot)
      page = random_.Chance(0.5) ? random_.Below(kPageCount) : site_.PopularPage(random_);
    else if (!visit.at_start && random_.Chance(0.4))
      page = (visit.page + random_.Between(1, 20)) % kPageCount;
    else
      page = site_.PopularPage(random_);
    const TPage& p = site_.Page(page);

    std::string referrer;
    if (client.bot) {
      referrer = "";
    } else if (visit.at_start) {
      const double r = random_.Unit();
      referrer = r < 0.38 ? SearchReferrer(p) : r < 0.62 ? OtherReferrer() : "";
    } else {
      referrer = visit.page_url;
    }

    // The pages come out in reverse: the last pushed is asked for first.
    std::vector<TPending> now;
    int status = 200;
    const TResource* resource = &p.resource;
    const char* method = "GET";
    if (random_.Chance(0.012)) {
      resource = &Broken();
      status = 404;
    } else if (random_.Chance(0.008)) {
      resource = &SectionWithoutSlash(p);
      status = 301;
    } else if (p.resource.dynamic && random_.Chance(0.004)) {
      status = 500;
    } else if (!client.bot && p.resource.path == "/cart.php" && random_.Chance(0.5)) {
      method = "POST";
    }
    now.push_back({resource, status, referrer, method});
    const std::string url =
        kSiteUrl + resource->path + (resource->query.empty() ? "" : "?" + resource->query);

    if (!client.bot && status == 200) {
      const bool first_page = visit.at_start;
      for (const TResource& shared : site_.Shared()) {
        if (visit.first && first_page)
          now.push_back({&shared, 200, url, "GET"});
        else if (first_page && random_.Chance(0.3))
          now.push_back({&shared, 304, url, "GET"});
      }
      for (int i = 0; i < p.images; ++i) {
        if (!random_.Chance(0.8)) continue;
        now.push_back({&Image(page, i), visit.first || random_.Chance(0.5) ? 200 : 304, url,
                       "GET"});
      }
      if (first_page && random_.Chance(0.5))
        now.push_back({&site_.Favicon(), visit.first ? 200 : 304, "", "GET"});
      if (first_page && kBrowsers[static_cast<size_t>(client.agent)].apple && random_.Chance(0.6))
        now.push_back({&site_.TouchIcon(), 404, "", "GET"});
      if (p.download_links && random_.Chance(0.05))
        now.push_back({&site_.Download(random_), 200, url, "GET"});
    }
    for (auto it = now.rbegin(); it != now.rend(); ++it) visit.pending.push_back(std::move(*it));
    visit.page = page;
    visit.page_url = url;
    visit.at_start = false;
  }

  void Push(TVisit& visit, const TResource* r, const char* method, int status,
            const std::string& referrer) {
    visit.pending.insert(visit.pending.begin(), TPending{r, status, referrer, method});
  }

  // Images are made when first asked for and kept; their number is bounded
  // by the pages' image counts.
  const TResource& Image(int page, int i) {
    const size_t key = static_cast<size_t>(page) * 8 + static_cast<size_t>(i);
    if (images_.size() <= key) images_.resize(key + 1);
    if (!images_[key]) {
      auto r = std::make_unique<TResource>();
      const TPage& p = site_.Page(page);
      const uint32_t h = Hash(static_cast<uint32_t>(key) + 50000);
      r->path = "/images" + p.section_path + "/" + kAdjectives[h % kAdjectives.size()] + "-" +
                kNouns[(h >> 8) % kNouns.size()] + "-" + std::to_string(page) + "-" +
                std::to_string(i) + ((h >> 16) % 3 == 0 ? ".webp" : ".jpg");
      r->size = 3000 + h % 240000;
      images_[key] = std::move(r);
    }
    return *images_[key];
  }

  const TResource& Broken() {
    if (broken_.empty())
      for (const char* path : kBrokenPaths) {
        TResource r;
        r.path = path;
        broken_.push_back(r);
      }
    // Filled once, never grows afterwards: pointers into it stay valid.
    return broken_[static_cast<size_t>(random_.Below(static_cast<int>(broken_.size())))];
  }

  const TResource& SectionWithoutSlash(const TPage& p) {
    for (const TResource& r : sections_)
      if (r.path == p.section_path) return r;
    TResource r;
    r.path = p.section_path;
    sections_.push_back(r);
    return sections_.back();
  }

  TRandom random_;
  int64_t lines_;
  int64_t made_ = 0;
  TSite site_;
  std::vector<TClient> clients_;
  int browsers_ = 0;
  int next_new_ = 0;
  std::vector<int> bot_first_;
  std::unique_ptr<TWeighted> bot_choice_;
  std::unique_ptr<TWeighted> engine_choice_;
  std::vector<TVisit> visits_;
  std::vector<std::unique_ptr<TResource>> images_;
  std::vector<TResource> broken_;
  std::deque<TResource> sections_;  // a deque: pending requests point into it
};

void AppendW3cHeader(std::string& out, int day, int hour, int minute, int second) {
  char date[64];
  std::snprintf(date, sizeof date, "#Date: 2024-05-%02d %02d:%02d:%02d\r\n", day, hour, minute,
                second);
  out += "#Software: Microsoft Internet Information Services 6.0\r\n#Version: 1.0\r\n";
  out += date;
  out += "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
         "cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status time-taken\r\n";
}

}  // namespace

int64_t AnalysisLogClients(int64_t lines) {
  // Larger logs keep a million lines' clients, so that what they add is
  // lines, not distinct values: the linearity verdict compares cost per line.
  return std::clamp<int64_t>(lines / 25, 200, 40000);
}

bool WriteAnalysisLog(const std::string& path, int64_t lines, TAnalysisLogLayout layout) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                       &std::fclose);
  if (!file) return false;
  const bool w3c = layout == TAnalysisLogLayout::kW3cExtended;
  auto traffic = std::make_unique<TTraffic>(lines);
  TTimeline timeline(lines);
  // The W3C agent field has "+" for blanks, as IIS writes it.
  std::vector<std::string> w3c_agents;
  for (const TAgent& a : kBrowsers) w3c_agents.push_back(a.text);
  for (const TBot& b : kBots) w3c_agents.push_back(b.agent);
  for (std::string& a : w3c_agents) std::replace(a.begin(), a.end(), ' ', '+');

  std::string block;
  block.reserve(1 << 21);
  TRequest request;
  char line[2048];
  bool restarted = false;  // the service restarts once mid-month and writes a new header
  for (int64_t i = 0; i < lines; ++i) {
    traffic->Next(request);
    const int64_t t = timeline.Next();
    const int day = static_cast<int>(1 + t / 86400);
    const int hour = static_cast<int>(t / 3600 % 24);
    const int minute = static_cast<int>(t / 60 % 60);
    const int second = static_cast<int>(t % 60);
    const TClient& client = traffic->Client(request.client);
    int n;
    if (w3c) {
      if (i == 0 || (!restarted && day == 15 && hour >= 3)) {
        AppendW3cHeader(block, day, hour, minute, second);
        restarted = i != 0;
      }
      const size_t agent = client.bot ? kBrowsers.size() + static_cast<size_t>(client.agent)
                                      : static_cast<size_t>(client.agent);
      const int win32 = request.status == 404 ? 2 : request.status == 500 ? 1236 : 0;
      n = std::snprintf(line, sizeof line,
                        "2024-05-%02d %02d:%02d:%02d %s %s %s %s 443 %s %s %s %s %d 0 %d %d\r\n",
                        day, hour, minute, second, kServerIp, request.method,
                        request.path.c_str(), request.query.empty() ? "-" : request.query.c_str(),
                        client.user.c_str(), client.address.c_str(), w3c_agents[agent].c_str(),
                        request.referrer.c_str(), request.status, win32, request.time_taken);
    } else {
      const char* agent =
          client.bot ? kBots[static_cast<size_t>(client.agent)].agent
                     : kBrowsers[static_cast<size_t>(client.agent)].text;
      char bytes[24] = "-";
      if (request.bytes >= 0)
        std::snprintf(bytes, sizeof bytes, "%lld", static_cast<long long>(request.bytes));
      n = std::snprintf(line, sizeof line,
                        "%s - %s [%02d/May/2024:%02d:%02d:%02d +0200] \"%s %s%s%s %s\" %d %s "
                        "\"%s\" \"%s\"\r\n",
                        client.address.c_str(), client.user.c_str(), day, hour, minute, second,
                        request.method, request.path.c_str(), request.query.empty() ? "" : "?",
                        request.query.c_str(), client.http2 ? "HTTP/2.0" : "HTTP/1.1",
                        request.status, bytes, request.referrer.c_str(), agent);
    }
    if (n < 0) return false;
    block.append(line, std::min(static_cast<size_t>(n), sizeof line - 1));
    if (block.size() >= (1u << 20)) {
      if (std::fwrite(block.data(), 1, block.size(), file.get()) != block.size()) return false;
      block.clear();
    }
  }
  if (std::fwrite(block.data(), 1, block.size(), file.get()) != block.size()) return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace bench
