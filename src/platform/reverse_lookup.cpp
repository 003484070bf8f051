#include "platform/reverse_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

namespace trelvar::platform {

bool ParseDottedIPv4(const std::string& text, uint32_t* address) {
  // inet_pton takes exactly four decimal parts (no "1.2.3", no hex), which
  // keeps host names and odd texts away from the resolver.
  in_addr a{};
  if (text.empty() || text.size() > 15 || inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
  if (address != nullptr) *address = a.s_addr;
  return true;
}

std::optional<std::string> TSystemReverseLookup::Lookup(const std::string& dotted) {
  uint32_t address = 0;
  if (!ParseDottedIPv4(dotted, &address)) return std::nullopt;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = address;
  char host[NI_MAXHOST];
  // NI_NAMEREQD: no name is an error, not the address again.
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                  NI_NAMEREQD) != 0)
    return std::nullopt;
  host[sizeof host - 1] = '\0';
  if (host[0] == '\0') return std::nullopt;
  return std::string(host);
}

void LowerCurrentThreadPriority() {
  // On Linux the nice value belongs to the thread; 19 is the lowest.
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  (void)setpriority(PRIO_PROCESS, tid, 19);
}

}  // namespace trelvar::platform
