// Byte counts of log lines and their kilobyte forms, for the reports that
// sum transferred bytes.
//
// Sums are kept in bytes (64 bits, saturating) and turned into kilobytes
// only when shown or stored, rounded once to the nearest kilobyte with
// halves to even: a site of many small answers then shows what it sent,
// not 0. Pure functions; thread-safe.
#pragma once

#include <cstdint>
#include <string_view>

namespace trelvar {

// The bytes field of a line, trimmed: "-" or nothing is 0; anything else
// must be an integer, or EConvertError "'text' is not a valid integer
// value" is raised.
int64_t BytesOfField(std::string_view field);
// a + b, held at the 64-bit limits instead of wrapping.
int64_t AddBytes(int64_t a, int64_t b);
// Bytes as kilobytes rounded to the nearest, halves to even, held at the
// 32-bit limits: 511 bytes are 0, 513 are 1, 1536 are 2, 2560 are 2.
int32_t RoundedKilobytes(int64_t bytes);
// Bytes as whole kilobytes, the remainder dropped (toward zero), held at
// the 32-bit limits: the size of one line in the largest-line column.
int32_t WholeKilobytes(int64_t bytes);

}  // namespace trelvar
