// Text made valid UTF-8, for drawing and for mail: valid sequences stay,
// any other byte is read as a Windows-1252 character (log text comes in
// either). Pure, thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace trelvar {

std::string ValidUtf8(std::string_view text);

}  // namespace trelvar
