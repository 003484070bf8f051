#include "reports/gd_library.h"

#include <memory>
#include <string>

#include "base/errors.h"
#include "platform/shared_library.h"

namespace trelvar {

namespace {

// The library by its ABI name: the headers this was built with describe
// that ABI, whatever minor version is installed.
constexpr const char* kGdLibrary = "libgd.so.3";

struct TLoaded {
  std::unique_ptr<platform::TSharedLibrary> library;
  TGdApi api{};
  std::string error;
};

template <class F>
bool Bind(const platform::TSharedLibrary& library, const char* name, F& entry,
          std::string& error) {
  entry = reinterpret_cast<F>(library.Symbol(name));
  if (entry == nullptr && error.empty()) error = std::string(kGdLibrary) + " has no " + name;
  return entry != nullptr;
}

TLoaded Load() {
  TLoaded loaded;
  std::string reason;
  loaded.library = platform::TSharedLibrary::Load(kGdLibrary, &reason);
  if (!loaded.library) {
    loaded.error = "The image library " + std::string(kGdLibrary) + " cannot be loaded" +
                   (reason.empty() ? std::string() : ": " + reason);
    return loaded;
  }
  const platform::TSharedLibrary& l = *loaded.library;
  TGdApi& a = loaded.api;
  std::string& e = loaded.error;
  Bind(l, "gdImageCreateTrueColor", a.create_true_color, e);
  Bind(l, "gdImageDestroy", a.destroy, e);
  Bind(l, "gdFree", a.free, e);
  Bind(l, "gdImageTrueColorToPaletteSetMethod", a.set_palette_method, e);
  Bind(l, "gdImageCreatePaletteFromTrueColor", a.palette_from_true_color, e);
  Bind(l, "gdImageColorMatch", a.color_match, e);
  Bind(l, "gdImageGifPtr", a.gif_ptr, e);
  Bind(l, "gdImageJpegPtr", a.jpeg_ptr, e);
  return loaded;
}

}  // namespace

const TGdApi& Gd() {
  // Never unloaded: images may be freed until the process ends.
  static const TLoaded* loaded = new TLoaded(Load());
  if (!loaded->error.empty()) throw EInvalidOperation(loaded->error);
  return loaded->api;
}

}  // namespace trelvar
