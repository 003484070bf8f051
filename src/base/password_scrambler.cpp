#include "base/password_scrambler.h"

#include <gmp.h>

#include <memory>

namespace trelvar {

namespace {

// The key pair: modulus (53 bytes), scrambling exponent (10 bytes) and
// unscrambling exponent (53 bytes), as big-endian hex.
const char kModulus[] =
    "a629795ab2e369091b324db4cc3e249f1d19946c63fe2443fdacafe4fe78967860ad2173108628726ccc318b"
    "6527ff12d7cdedebc1";
const char kScrambleExponent[] = "abe32376793708ed1b13";
const char kUnscrambleExponent[] =
    "003b9dfc8ec127d9bed300d75a25d3cc054fcfd098c165d90c2334c776e7c1392da1ae8dd634ff56f7978ec6"
    "eb0a420916b16bb66b";

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+=";
const char kMark[] = "111";

// An mpz_t that clears itself.
struct TBig {
  mpz_t v;
  TBig() { mpz_init(v); }
  explicit TBig(const char* hex) { mpz_init_set_str(v, hex, 16); }
  ~TBig() { mpz_clear(v); }
  TBig(const TBig&) = delete;
  TBig& operator=(const TBig&) = delete;
};

std::string PadFront(const std::string& bits, size_t multiple) {
  const size_t rest = bits.size() % multiple;
  return rest == 0 ? bits : std::string(multiple - rest, '0') + bits;
}

std::string StripLeadingZeros(const std::string& bits) {
  const size_t first = bits.find('1');
  return first == std::string::npos ? "" : bits.substr(first);
}

// The number of `width` binary digits (the low `width` digits when wider).
std::string ToBits(const mpz_t value, size_t width) {
  std::unique_ptr<char, void (*)(void*)> text(mpz_get_str(nullptr, 2, value), free);
  std::string bits = mpz_sgn(value) == 0 ? "" : text.get();
  if (bits.size() > width) return bits.substr(bits.size() - width);
  return std::string(width - bits.size(), '0') + bits;
}

// Each block of `in_width` digits raised to `exponent` modulo the modulus,
// written with `out_width` digits.
std::string PowerBlocks(const std::string& bits, size_t in_width, size_t out_width,
                        const char* exponent_hex) {
  TBig modulus(kModulus), exponent(exponent_hex), block, result;
  std::string out;
  for (size_t i = 0; i + in_width <= bits.size(); i += in_width) {
    mpz_set_str(block.v, bits.substr(i, in_width).c_str(), 2);
    mpz_powm(result.v, block.v, exponent.v, modulus.v);
    out += ToBits(result.v, out_width);
  }
  return out;
}

size_t ModulusBits() {
  TBig modulus(kModulus);
  return mpz_sizeinbase(modulus.v, 2);
}

}  // namespace

std::string ScramblePassword(std::string_view password) {
  const size_t k = ModulusBits();
  std::string bits = kMark;
  for (unsigned char c : password)
    for (int b = 7; b >= 0; --b) bits += ((c >> b) & 1) ? '1' : '0';
  bits = PadFront(bits, k - 1);
  bits = PadFront(StripLeadingZeros(PowerBlocks(bits, k - 1, k, kScrambleExponent)), 8);
  // Bytes written back as their digits are the same digits; only the end
  // is padded to whole characters.
  bits += std::string((6 - bits.size() % 6) % 6, '0');
  std::string text;
  for (size_t i = 0; i < bits.size(); i += 6) text += kAlphabet[std::stoi(bits.substr(i, 6), nullptr, 2)];
  return text;
}

std::string UnscramblePassword(std::string_view scrambled) {
  const size_t k = ModulusBits();
  std::string bits;
  for (char c : scrambled) {
    const char* at = std::char_traits<char>::find(kAlphabet, 64, c);
    if (at == nullptr) continue;  // not ours: ignored
    const int value = static_cast<int>(at - kAlphabet);
    for (int b = 5; b >= 0; --b) bits += ((value >> b) & 1) ? '1' : '0';
  }
  bits.resize(bits.size() - bits.size() % 8);  // an incomplete last byte goes
  bits = PadFront(StripLeadingZeros(bits), k);
  bits = PowerBlocks(bits, k, k - 1, kUnscrambleExponent);
  const size_t mark = bits.find(kMark);
  if (mark == std::string::npos) return "";
  bits = PadFront(bits.substr(mark + 3), 8);
  std::string password;
  for (size_t i = 0; i + 8 <= bits.size(); i += 8)
    password += static_cast<char>(std::stoi(bits.substr(i, 8), nullptr, 2));
  return password;
}

}  // namespace trelvar
