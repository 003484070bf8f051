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
  std::string missing;
  l.Bind("gdImageCreateTrueColor", a.create_true_color, missing);
  l.Bind("gdImageDestroy", a.destroy, missing);
  l.Bind("gdFree", a.free, missing);
  l.Bind("gdImageTrueColorToPaletteSetMethod", a.set_palette_method, missing);
  l.Bind("gdImageCreatePaletteFromTrueColor", a.palette_from_true_color, missing);
  l.Bind("gdImageColorMatch", a.color_match, missing);
  l.Bind("gdImageGifPtr", a.gif_ptr, missing);
  l.Bind("gdImageJpegPtr", a.jpeg_ptr, missing);
  if (!missing.empty()) loaded.error = std::string(kGdLibrary) + " has no " + missing;
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
