// Fuzz target: the country database reader. The input is written as the
// database file, opened, and a few addresses are looked up: both ends of
// the address range, alternating bit patterns (so that every tree level is
// walked both ways) and texts that are no IPv4 address. Every lookup must
// give a name of the table.
#include <cstdint>
#include <string>

#include "base/errors.h"
#include "fuzz_support.h"
#include "logread/geoip.h"

namespace {

const char* const kAddresses[] = {
    "0.0.0.0",      "255.255.255.255", "170.170.170.170", "85.85.85.85", "10.0.0.1",
    "193.99.144.80", "127.0.0.1",      "::1",             "1.2.3",       "256.1.1.1",
    " 8 . 8 . 8 . 8 ", "",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trelvar;
  static const std::string path = [] {
    fuzz::SilenceOutput();
    return fuzz::TempFolder() + "GeoIP.dat";
  }();
  fuzz::WriteBytes(path, fuzz::AsText(data, size));
  TGeoIP geoip;
  try {
    geoip.OpenDatabase(path);
  } catch (const EInOutError&) {
    return 0;
  }
  for (const char* address : kAddresses) {
    const std::string name = geoip.CountryName(address);
    if (name.empty()) fuzz::Fail(std::string("no country name for ") + address);
  }
  for (uint32_t number : {0u, 1u, 0x7fffffffu, 0x80000000u, 0xfffffffeu, 0xffffffffu}) {
    const int index = geoip.CountryIndex(number);
    if (index < 0) fuzz::Fail("a negative country index for " + std::to_string(number));
    (void)TGeoIP::NameOfIndex(index);
  }
  return 0;
}
