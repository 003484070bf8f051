#include "platform/shared_library.h"

#include <dlfcn.h>

namespace trelvar::platform {

std::unique_ptr<TSharedLibrary> TSharedLibrary::Load(const std::string& path,
                                                     std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) {
      const char* reason = dlerror();
      *error = reason ? reason : "cannot load " + path;
    }
    return nullptr;
  }
  return std::unique_ptr<TSharedLibrary>(new TSharedLibrary(handle));
}

TSharedLibrary::~TSharedLibrary() { dlclose(handle_); }

void* TSharedLibrary::Symbol(const std::string& name) const {
  dlerror();
  return dlsym(handle_, name.c_str());
}

}  // namespace trelvar::platform
