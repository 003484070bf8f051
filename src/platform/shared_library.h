// Run-time loading of a shared library and lookup of its entry points by
// name (dlopen / dlsym).
//
// A TSharedLibrary owns one reference to the loaded library and drops it
// when it goes; entry points looked up through it are valid only while it
// lives. Load reports failure as nullptr and never throws. Loading and
// lookups are thread-safe; one object is used by one owner.
#pragma once

#include <memory>
#include <string>

namespace trelvar::platform {

class TSharedLibrary {
 public:
  // Binds every symbol at once and keeps them local to the library;
  // nullptr when the file is missing or is not a loadable library
  // (`error` then gets the loader's reason when given).
  static std::unique_ptr<TSharedLibrary> Load(const std::string& path,
                                              std::string* error = nullptr);
  ~TSharedLibrary();
  TSharedLibrary(const TSharedLibrary&) = delete;
  TSharedLibrary& operator=(const TSharedLibrary&) = delete;

  // The address of an exported function or object, or nullptr.
  void* Symbol(const std::string& name) const;
  // Sets `entry` to the exported function `name`. False when there is
  // none; `missing` then names the first function missing so far.
  template <class F>
  bool Bind(const char* name, F& entry, std::string& missing) const {
    entry = reinterpret_cast<F>(Symbol(name));
    if (entry == nullptr && missing.empty()) missing = name;
    return entry != nullptr;
  }

 private:
  explicit TSharedLibrary(void* handle) : handle_(handle) {}
  void* handle_;
};

}  // namespace trelvar::platform
