#include "log_generator.h"

#include <zlib.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>

namespace bench {

namespace {

constexpr std::array kPages = {
    "/", "/index.htm", "/products/index.htm", "/products/widgets.htm",
    "/products/gadgets.htm?id=17&color=blue", "/shop/order.php?item=4711&qty=2",
    "/support/faq.htm", "/support/contact.php", "/news/2024/05/spring-sale.htm",
    "/about.htm", "/download/trial.zip", "/download/manual.pdf", "/blog/?p=1234",
    "/search?q=cheap+widgets&lang=en"};
constexpr std::array kImages = {"/images/logo.gif", "/images/menu.png", "/images/photo1.jpg",
                                "/css/style.css", "/js/site.js", "/favicon.ico"};
constexpr std::array kAgents = {
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/124.0.0.0 Safari/537.36",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.4 Safari/605.1.15",
    "Mozilla/5.0 (X11; Linux x86_64; rv:125.0) Gecko/20100101 Firefox/125.0",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) Version/17.4 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"};
constexpr std::array kReferrers = {
    "-", "-", "https://www.google.com/search?q=blue+widgets",
    "https://www.bing.com/search?q=gadget+shop&form=QBLH", "https://example-links.org/shops.htm",
    "https://www.trelvar-sample.com/products/index.htm"};
constexpr std::array kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// One output file, plain or compressed.
class TSink {
 public:
  TSink(const std::string& path, bool gzip) {
    if (gzip) {
      gz_ = gzopen(path.c_str(), "wb6");
      if (gz_ != nullptr) gzbuffer(gz_, 1 << 20);
    } else {
      file_ = std::fopen(path.c_str(), "wb");
    }
  }
  ~TSink() {
    if (gz_ != nullptr) gzclose(gz_);
    if (file_ != nullptr) std::fclose(file_);
  }
  bool ok() const { return gz_ != nullptr || file_ != nullptr; }
  bool Write(const std::string& text) {
    if (gz_ != nullptr)
      return gzwrite(gz_, text.data(), static_cast<unsigned>(text.size())) ==
             static_cast<int>(text.size());
    return std::fwrite(text.data(), 1, text.size(), file_) == text.size();
  }

 private:
  gzFile gz_ = nullptr;
  std::FILE* file_ = nullptr;
};

}  // namespace

int64_t WriteSampleLog(const std::string& path, int64_t bytes, bool gzip) {
  TSink sink(path, gzip);
  if (!sink.ok()) return -1;
  std::mt19937 random(20240517);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

  int64_t written = 0, lines = 0;
  int64_t second = 0;  // seconds since the first line
  std::string block;
  char line[1024];
  while (written < bytes) {
    block.clear();
    while (block.size() < (1u << 20)) {
      second += pick(3);
      const int day = static_cast<int>(1 + second / 86400 % 28);
      const int month = static_cast<int>(second / (86400 * 28) % 12);
      const char* page = pick(3) == 0 ? kImages[pick(kImages.size())] : kPages[pick(kPages.size())];
      const int status = pick(20) == 0 ? 404 : pick(10) == 0 ? 304 : 200;
      const int n = std::snprintf(
          line, sizeof line,
          "%d.%d.%d.%d - - [%02d/%s/2024:%02d:%02d:%02d +0200] \"GET %s HTTP/1.1\" %d %d "
          "\"%s\" \"%s\"\r\n",
          10 + pick(200), pick(256), pick(256), 1 + pick(254), day, kMonths[month],
          static_cast<int>(second / 3600 % 24), static_cast<int>(second / 60 % 60),
          static_cast<int>(second % 60), page, status, status == 200 ? 200 + pick(60000) : 0,
          kReferrers[pick(kReferrers.size())], kAgents[pick(kAgents.size())]);
      block.append(line, static_cast<size_t>(n));
      ++lines;
    }
    if (!sink.Write(block)) return -1;
    written += static_cast<int64_t>(block.size());
  }
  return lines;
}

}  // namespace bench
