// Process-level operating-system services: where the program lies, the
// environment, the user's locale and folders, and the clock.
//
// This is the only place besides the other platform headers that talks to
// the operating system. Every function is thread-safe unless noted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace trelvar::platform {

// Folder of the running executable, ending in "/".
std::string ProgramFolder();

// The value of an environment variable, or nothing when it is not set.
std::optional<std::string> GetEnv(const std::string& name);

// The per-user data folder, ending in "/": $TRELVAR_DATA_DIR when set,
// otherwise the documents folder ($XDG_DOCUMENTS_DIR, $HOME/Documents when
// it exists, else $HOME) + "Trelvar 2/". Nothing is created. "" when
// there is none: no TRELVAR_DATA_DIR, no XDG_DOCUMENTS_DIR and no HOME
// that is a writable folder (as under some web servers).
std::string DataFolder();

// The user's POSIX locale from LC_ALL, LC_MESSAGES or LANG without its
// encoding and modifier ("de_DE"), or "" for none, "C" and "POSIX".
std::string UserLocaleName();
// The four lower-case hex digits of the Windows language id that matches
// `locale` ("de_DE" gives "0407"; a bare "de" gives its main country's id),
// or "" when the locale is not known.
std::string LocaleCodeOf(const std::string& locale);
// LocaleCodeOf(UserLocaleName()).
std::string UserLocaleCode();

// A broken-down local time.
struct TLocalTime {
  int year = 0, month = 0, day = 0;  // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};
TLocalTime LocalNow();
TLocalTime LocalTimeOfUnix(int64_t seconds, int milliseconds = 0);

// Hands a file to the desktop's default handler (xdg-open), detached and
// never waited for; does nothing without a graphical session
// (DISPLAY / WAYLAND_DISPLAY unset). True when the handler was started.
bool OpenWithDefaultHandler(const std::string& path);

// Milliseconds of a steady clock, for measuring spans; it moves in steps
// of a few milliseconds.
int64_t MonotonicMilliseconds();
// The seed of a run's random numbers: the number in TRELVAR_RANDOM_SEED
// when it holds one (so that tests and before/after comparisons get the
// same pages twice), else a value that differs from run to run.
uint64_t RunSeed();

}  // namespace trelvar::platform
