// Reverse lookup of client addresses: dotted IPv4 text in, one host name or
// nothing out.
//
// TReverseLookup is the interface the reverse-DNS workers call; tests put
// a resolver of their own behind it. TSystemReverseLookup asks the system
// resolver (getnameinfo with NI_NAMEREQD, so that an address without a name
// gives nothing rather than its own text). Lookups fail quietly: nothing
// comes back. Lookup is called from several worker threads at once and must
// be thread-safe; the system implementation is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace trelvar::platform {

class TReverseLookup {
 public:
  virtual ~TReverseLookup() = default;
  // Prepares the lookup service for a scan; false when it cannot be used
  // (reverse DNS then stays off for that scan).
  virtual bool Start() { return true; }
  // The host name of the dotted IPv4 address `dotted`, or nothing when the
  // address has none or the text is no dotted IPv4 address. May block.
  virtual std::optional<std::string> Lookup(const std::string& dotted) = 0;
};

class TSystemReverseLookup : public TReverseLookup {
 public:
  std::optional<std::string> Lookup(const std::string& dotted) override;
};

// Whether `text` is a dotted IPv4 address ("10.0.0.1": four decimal parts
// of 0 to 255); fills `address` (network byte order) when given.
bool ParseDottedIPv4(const std::string& text, uint32_t* address = nullptr);

// Gives the calling thread the lowest scheduling priority (best effort; the
// lookup workers must not slow the analysis down).
void LowerCurrentThreadPriority();

}  // namespace trelvar::platform
