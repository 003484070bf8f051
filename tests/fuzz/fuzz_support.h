// What every fuzz target shares: a private temporary folder, writing the
// input into files there, the shipped data files, a silenced output
// channel and a way to report a broken promise as a crash.
//
// Targets run one input after another on one thread; nothing here is
// thread-safe. The folder lies under $TMPDIR (else /dev/shm, else /tmp)
// and is removed when the process exits normally; tools/dev fuzz also
// points TMPDIR at a folder it removes itself, for runs that crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trelvar::fuzz {

// The process's own temporary folder, created at the first call; ends in "/".
const std::string& TempFolder();

// Replaces the file at `path` with `bytes`; aborts when it cannot.
void WriteBytes(const std::string& path, std::string_view bytes);

// The text of a file of the shipped defaults folder ("main.ini", ...).
std::string ShippedFile(const std::string& name);

// Sends everything the output channel writes nowhere.
void SilenceOutput();

// A promise of the code under test did not hold: prints `what` and aborts,
// so that libFuzzer keeps the input as a crash.
[[noreturn]] void Fail(const std::string& what);

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace trelvar::fuzz
