// The texts and figures of a running FTP transfer: how far it is, how long
// it will still take, how fast it goes. Pure functions, thread-safe.
#pragma once

#include <cstdint>
#include <string>

#include "base/run_control.h"

namespace trelvar {

// Whole kilobytes of a byte count: "12 KB" for 12287 bytes.
std::string KBText(int64_t bytes);

// The progress of a transfer that should reach `expected` bytes, began at
// `offset` (the part already there when it was resumed) and has counted
// `counted` bytes (offset included) in `elapsed_ms` milliseconds: the bar
// runs from 0 to expected - offset, the time left grows from the time
// taken in proportion to what is missing, the rate is in KB per second.
TTransferProgress TransferProgressOf(int64_t expected, int64_t offset, int64_t counted,
                                     int64_t elapsed_ms);

}  // namespace trelvar
