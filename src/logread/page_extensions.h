// The page extensions of the settings (".htm.html.php ..."): whether a
// request's extension makes it a page, that is a hit.
//
// An empty extension is a page. Any other is lower-cased and is a page
// when it occurs in the list ending where an item of the list ends (at a
// "." or at the list's end): ".js" is no page because ".jsp" is one. The
// list itself is compared as it is (the settings keep it in lower case).
// The usual extension, one dot and a name, is looked up in a hash set of
// the list's items built once; any other shape is searched in the list.
// Plain value; const use is thread-safe.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace trelvar {

class TPageExtensions {
 public:
  TPageExtensions() = default;
  explicit TPageExtensions(std::string list);

  bool IsPage(std::string_view extension) const;
  const std::string& List() const { return list_; }

 private:
  struct THash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::string list_;
  // Each item of the list with its leading dot (".htm"); "." for an empty one.
  std::unordered_set<std::string, THash, std::equal_to<>> items_;
};

}  // namespace trelvar
