#include "logread/geoip.h"

#include "base/errors.h"
#include "base/safe_file.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "platform/files.h"

namespace trelvar {

namespace {

// By country index: the 246 names of the original table, then the names
// later editions gave to the indices after it.
const char* const kNames[] = {
    "N/A",
    "Asia/Pacific Region",
    "Europe",
    "Andorra",
    "United Arab Emirates",
    "Afghanistan",
    "Antigua and Barbuda",
    "Anguilla",
    "Albania",
    "Armenia",
    "Netherlands Antilles",
    "Angola",
    "Antarctica",
    "Argentina",
    "American Samoa",
    "Austria",
    "Australia",
    "Aruba",
    "Azerbaijan",
    "Bosnia and Herzegovina",
    "Barbados",
    "Bangladesh",
    "Belgium",
    "Burkina Faso",
    "Bulgaria",
    "Bahrain",
    "Burundi",
    "Benin",
    "Bermuda",
    "Brunei Darussalam",
    "Bolivia",
    "Brazil",
    "Bahamas",
    "Bhutan",
    "Bouvet Island",
    "Botswana",
    "Belarus",
    "Belize",
    "Canada",
    "Cocos (Keeling) Islands",
    "Congo, The Democratic Republic of the",
    "Central African Republic",
    "Congo",
    "Switzerland",
    "Cote D'Ivoire",
    "Cook Islands",
    "Chile",
    "Cameroon",
    "China",
    "Colombia",
    "Costa Rica",
    "Cuba",
    "Cape Verde",
    "Christmas Island",
    "Cyprus",
    "Czech Republic",
    "Germany",
    "Djibouti",
    "Denmark",
    "Dominica",
    "Dominican Republic",
    "Algeria",
    "Ecuador",
    "Estonia",
    "Egypt",
    "Western Sahara",
    "Eritrea",
    "Spain",
    "Ethiopia",
    "Finland",
    "Fiji",
    "Falkland Islands (Malvinas)",
    "Micronesia, Federated States of",
    "Faroe Islands",
    "France",
    "France, Metropolitan",
    "Gabon",
    "United Kingdom",
    "Grenada",
    "Georgia",
    "French Guiana",
    "Ghana",
    "Gibraltar",
    "Greenland",
    "Gambia",
    "Guinea",
    "Guadeloupe",
    "Equatorial Guinea",
    "Greece",
    "South Georgia and the South Sandwich Islands",
    "Guatemala",
    "Guam",
    "Guinea-Bissau",
    "Guyana",
    "Hong Kong",
    "Heard Island and McDonald Islands",
    "Honduras",
    "Croatia",
    "Haiti",
    "Hungary",
    "Indonesia",
    "Ireland",
    "Israel",
    "India",
    "British Indian Ocean Territory",
    "Iraq",
    "Iran, Islamic Republic of",
    "Iceland",
    "Italy",
    "Jamaica",
    "Jordan",
    "Japan",
    "Kenya",
    "Kyrgyzstan",
    "Cambodia",
    "Kiribati",
    "Comoros",
    "Saint Kitts and Nevis",
    "Korea, Democratic People's Republic of",
    "Korea, Republic of",
    "Kuwait",
    "Cayman Islands",
    "Kazakhstan",
    "Lao People's Democratic Republic",
    "Lebanon",
    "Saint Lucia",
    "Liechtenstein",
    "Sri Lanka",
    "Liberia",
    "Lesotho",
    "Lithuania",
    "Luxembourg",
    "Latvia",
    "Libyan Arab Jamahiriya",
    "Morocco",
    "Monaco",
    "Moldova, Republic of",
    "Madagascar",
    "Marshall Islands",
    "Macedonia",
    "Mali",
    "Myanmar",
    "Mongolia",
    "Macau",
    "Northern Mariana Islands",
    "Martinique",
    "Mauritania",
    "Montserrat",
    "Malta",
    "Mauritius",
    "Maldives",
    "Malawi",
    "Mexico",
    "Malaysia",
    "Mozambique",
    "Namibia",
    "New Caledonia",
    "Niger",
    "Norfolk Island",
    "Nigeria",
    "Nicaragua",
    "Netherlands",
    "Norway",
    "Nepal",
    "Nauru",
    "Niue",
    "New Zealand",
    "Oman",
    "Panama",
    "Peru",
    "French Polynesia",
    "Papua New Guinea",
    "Philippines",
    "Pakistan",
    "Poland",
    "Saint Pierre and Miquelon",
    "Pitcairn Islands",
    "Puerto Rico",
    "Palestinian Territory",
    "Portugal",
    "Palau",
    "Paraguay",
    "Qatar",
    "Reunion",
    "Romania",
    "Russian Federation",
    "Rwanda",
    "Saudi Arabia",
    "Solomon Islands",
    "Seychelles",
    "Sudan",
    "Sweden",
    "Singapore",
    "Saint Helena",
    "Slovenia",
    "Svalbard and Jan Mayen",
    "Slovakia",
    "Sierra Leone",
    "San Marino",
    "Senegal",
    "Somalia",
    "Suriname",
    "Sao Tome and Principe",
    "El Salvador",
    "Syrian Arab Republic",
    "Swaziland",
    "Turks and Caicos Islands",
    "Chad",
    "French Southern Territories",
    "Togo",
    "Thailand",
    "Tajikistan",
    "Tokelau",
    "Turkmenistan",
    "Tunisia",
    "Tonga",
    "East Timor",
    "Turkey",
    "Trinidad and Tobago",
    "Tuvalu",
    "Taiwan",
    "Tanzania, United Republic of",
    "Ukraine",
    "Uganda",
    "United States Minor Outlying Islands",
    "United States",
    "Uruguay",
    "Uzbekistan",
    "Holy See (Vatican City State)",
    "Saint Vincent and the Grenadines",
    "Venezuela",
    "Virgin Islands, British",
    "Virgin Islands, U.S.",
    "Vietnam",
    "Vanuatu",
    "Wallis and Futuna",
    "Samoa",
    "Yemen",
    "Mayotte",
    "Yugoslavia",
    "South Africa",
    "Zambia",
    "Zaire",
    "Zimbabwe",
    "Anonymous Proxy",
    "Satellite Provider",
    "Other",
    "Aland Islands",
    "Guernsey",
    "Isle of Man",
    "Jersey",
    "Saint Barthelemy",
    "Saint Martin",
    "Bonaire, Saint Eustatius and Saba",
    "South Sudan",
};
constexpr int kNameCount = sizeof kNames / sizeof kNames[0];

// The piece of `text` before the next "." (trimmed of blanks).
std::string_view Piece(std::string_view& text) {
  const size_t dot = text.find('.');
  std::string_view piece = text.substr(0, dot);
  text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
  while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
  return piece;
}

bool ByteValue(std::string_view piece, uint32_t& value) {
  if (piece.empty() || piece.size() > 3) return false;
  value = 0;
  for (char c : piece) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return value <= 255;
}

}  // namespace

void TGeoIP::OpenDatabase(const std::string& path) { OpenData(ReadFileText(path)); }

void TGeoIP::OpenOnFirstUse(std::string path) {
  data_.clear();
  deferred_path_ = std::move(path);
  ready_.store(false, std::memory_order_release);
}

void TGeoIP::OpenData(std::string data) {
  data_ = std::move(data);
  ready_.store(true, std::memory_order_release);
}

void TGeoIP::ReadDeferred() const {
  const std::lock_guard<std::mutex> lock(reading_);
  if (ready_.load(std::memory_order_relaxed)) return;  // another lookup read it
  try {
    data_ = ReadFileText(deferred_path_);
  } catch (const Exception&) {
    data_.clear();  // an unreadable database is no database
  }
  ready_.store(true, std::memory_order_release);
}

bool TGeoIP::IsValidAddress(std::string_view text) {
  uint32_t v = 0;
  for (int i = 0; i < 3; ++i)
    if (!ByteValue(Piece(text), v)) return false;
  // The fourth piece is the rest: a fifth part leaves a "." in it.
  std::string_view last = text;
  while (!last.empty() && last.front() == ' ') last.remove_prefix(1);
  while (!last.empty() && last.back() == ' ') last.remove_suffix(1);
  return ByteValue(last, v);
}

uint32_t TGeoIP::AddressToNumber(std::string_view text) {
  if (!IsValidAddress(text)) return 0;
  uint32_t number = 0, v = 0;
  for (int i = 0; i < 3; ++i) {
    ByteValue(Piece(text), v);
    number = number * 256 + v;
  }
  ByteValue(Trim(text), v);
  return number * 256 + v;
}

int TGeoIP::CountryIndex(uint32_t number) const {
  const std::string& data = Data();
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  uint32_t node = 0;
  for (int bit = 31; bit >= 0; --bit) {
    const size_t at = static_cast<size_t>(node) * 6 + ((number >> bit) & 1 ? 3 : 0);
    if (at + 3 > data.size()) return 0;  // the walk left a damaged file
    const uint32_t branch = bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16);
    if (branch >= kCountryBegin) return static_cast<int>(branch - kCountryBegin);
    node = branch;
  }
  return 0;
}

int TGeoIP::AddressIndex(std::string_view address) const {
  if (IsIPv6Address(address)) {
    // An IPv4 address mapped into IPv6 is the IPv4 client.
    const size_t dot = address.find('.');
    const size_t colon = address.rfind(':');
    if (dot == std::string_view::npos || colon > dot || !StartsText("::ffff:", address)) return 0;
    return CountryIndex(AddressToNumber(address.substr(colon + 1)));
  }
  return CountryIndex(AddressToNumber(address));
}

std::string TGeoIP::CountryName(std::string_view address) const {
  return NameOfIndex(AddressIndex(address));
}

const char* TGeoIP::NameOfIndex(int index) {
  return index >= 0 && index < kNameCount ? kNames[index] : kNames[0];
}

std::string FindGeoIpDatabase(const std::string& program_folder) {
  for (const std::string& path :
       {program_folder + "GeoIP.dat", std::string("/usr/share/GeoIP/GeoIP.dat")})
    if (platform::IsRegularFile(path)) return path;
  return "";
}

}  // namespace trelvar
