// TGeoIP: the country of a client IPv4 address, from a legacy GeoIP
// Country database ("GeoIP.dat", a bit-wise tree of 6-byte nodes).
//
// The database is read into memory once when it is opened; lookups walk at
// most 32 nodes of it. A text that is no dotted IPv4 address is looked up
// as 0.0.0.0, except IPv6 addresses: the database holds none, so they are
// "N/A" unless they carry an IPv4 address ("::ffff:10.0.0.1"). A damaged or truncated database gives "N/A" where the walk
// leaves the file, and leaf indices past the known table give "N/A".
// OpenOnFirstUse defers the reading to the first lookup, so that a run
// that looks no address up never reads the file. Lookups are thread-safe,
// the first one included; opening is not.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace trelvar {

class TGeoIP {
 public:
  // Raises EInOutError when the file cannot be read.
  void OpenDatabase(const std::string& path);
  // Reads `path` at the first lookup; a file that cannot be read then
  // gives "N/A" for every address.
  void OpenOnFirstUse(std::string path);
  // From bytes already in memory (tests).
  void OpenData(std::string data);

  static bool IsValidAddress(std::string_view text);
  static uint32_t AddressToNumber(std::string_view text);
  // The country index the tree gives for a number.
  int CountryIndex(uint32_t number) const;
  // The country index of a client address text (IPv6 ones included).
  int AddressIndex(std::string_view address) const;
  std::string CountryName(std::string_view address) const;

  static const char* NameOfIndex(int index);

  // Branch values from here on are leaves.
  static constexpr uint32_t kCountryBegin = 16776960;

 private:
  const std::string& Data() const {
    if (!ready_.load(std::memory_order_acquire)) ReadDeferred();
    return data_;
  }
  void ReadDeferred() const;

  // data_ is written once, before ready_ says so.
  mutable std::string data_;
  mutable std::atomic<bool> ready_{false};
  mutable std::mutex reading_;
  std::string deferred_path_;
};

// Where the program looks for the database: beside the program, else the
// one of the geoip-database package; "" when neither exists.
std::string FindGeoIpDatabase(const std::string& program_folder);

}  // namespace trelvar
