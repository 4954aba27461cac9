// Plays arbitrary bytes as a Windows metafile (16-bit or enhanced), the
// picture reader of ours; the other picture kinds are the image library's.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <QGuiApplication>
#include <QImage>

#include "player/assets/metafile_reader.h"

// Fontconfig keeps the patterns of every face it was asked for beyond their
// last reference; text records with arbitrary face names show that as leaks
// that are not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Text records need fonts, and fonts need an application.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool looks = morvane::LooksLikeMetafile(bytes);
  // A small side keeps each run quick; the drawing code is the same.
  QImage image = morvane::ReadMetafile(bytes, 256);
  if (!image.isNull() && (!looks || image.width() > 256 || image.height() > 256)) {
    __builtin_trap();
  }
  return 0;
}
