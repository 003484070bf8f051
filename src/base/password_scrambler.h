// Scrambling of the FTP passwords kept in websites.ini.
//
// The stored text is the password put through a public-key style
// transformation with the program's own key pair (modular powers of
// 423-bit blocks, GMP arithmetic) and written in a 64-character alphabet of
// letters, digits, "+" and "=". This keeps passwords from being read at a
// glance; it is no protection against someone who has the program.
//
// Unscramble never fails: a text scrambled with another key, or damaged,
// comes back as meaningless text or as "". Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace trelvar {

std::string ScramblePassword(std::string_view password);
std::string UnscramblePassword(std::string_view scrambled);

}  // namespace trelvar
