#include "logread/page_extensions.h"

#include <utility>

#include "base/text_helpers.h"

namespace trelvar {

namespace {

// Extensions up to this long are lower-cased on the stack.
constexpr size_t kShortExtension = 32;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

TPageExtensions::TPageExtensions(std::string list) : list_(std::move(list)) {
  // An extension of one leading dot that ends where an item ends can only
  // be that whole item: the item's own dot is where the extension starts.
  for (size_t dot = list_.find('.'); dot != std::string::npos;) {
    const size_t next = list_.find('.', dot + 1);
    items_.emplace(list_.substr(dot, next - dot));
    dot = next;
  }
}

bool TPageExtensions::IsPage(std::string_view extension) const {
  if (extension.empty()) return true;
  if (extension[0] == '.' && extension.size() <= kShortExtension &&
      extension.find('.', 1) == std::string_view::npos) {
    char lower[kShortExtension];
    for (size_t i = 0; i < extension.size(); ++i) lower[i] = LowerAscii(extension[i]);
    return items_.find(std::string_view(lower, extension.size())) != items_.end();
  }
  // Whole items only: an occurrence must end at a "." or the list's end.
  const std::string ext = LowerCase(extension);
  for (size_t at = list_.find(ext); at != std::string::npos; at = list_.find(ext, at + 1)) {
    const size_t end = at + ext.size();
    if (end == list_.size() || list_[end] == '.') return true;
  }
  return false;
}

}  // namespace trelvar
