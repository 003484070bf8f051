// Reading whole files and rewriting settings files without ever leaving a
// half-written one behind.
//
// A writer first keeps the old file as name + ".bak", then writes the new
// text to a temporary file in the same folder and renames it over the old
// one. Errors are raised as EInOutError / EFCreateError.
#pragma once

#include <string>

namespace trelvar {

// The whole file as bytes. Raises EInOutError "Cannot open file ..." when
// it cannot be read.
std::string ReadFileText(const std::string& path);

// When `path` exists, copies it unchanged to `path` + ".bak" (an older
// backup is replaced).
void BackupFile(const std::string& path);

// Backs the file up, then replaces it with `text` through a temporary file
// and a rename. The new file gets `mode` (such as 0600), or 0644 for 0; it
// never has wider rights while it is written. Raises EFCreateError when the file
// cannot be written.
void SaveTextFile(const std::string& path, const std::string& text, unsigned mode = 0);

}  // namespace trelvar
