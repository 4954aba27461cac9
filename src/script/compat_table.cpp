#include "script/compat_table.h"

#include <array>
#include <iterator>

namespace morvane {
namespace {

using K = CompatKind;
using L = CompatLevel;
using O = ObjectKind;
using S = CompatService;

constexpr const char* kPlugin =
    "the plug-in window names a Windows library (.dll) with no native library (.so of the same "
    "name) beside it: the window stays empty and its actions fail";
constexpr const char* kFlashNextLoad =
    "the bundled Flash player takes it when it loads the movie: it applies from the next load "
    "(57) or rewind (103)";

constexpr int32_t Service(S service) {
  return static_cast<int32_t>(service);
}

// Rows are grouped by kind, each group in code order. Keep one row per
// (kind, code, object kind).
const CompatRow kRows[] = {
    // --- Actions
    {K::kAction,
     21,
     {},
     "open a file or program",
     L::kPartial,
     "the window-show mode is left to the desktop, which opens windows as it sees fit"},
    {K::kAction,
     42,
     {},
     "keyboard layout",
     L::kUnsupported,
     "keyboard layouts belong to the desktop session; the request is only traced"},
    {K::kAction,
     79,
     {},
     "double-buffered painting",
     L::kPartial,
     "painting always goes through a back buffer; switching it off is only kept"},

    // --- Object actions
    {K::kObjectAction, 42, O::Flash, "loop", L::kUnsupported,
     "the bundled Flash player always loops the movie; the setting is kept"},
    {K::kObjectAction, 59, O::Flash, "quality", L::kPartial, kFlashNextLoad},
    {K::kObjectAction, 60, O::Flash, "scale mode", L::kPartial, kFlashNextLoad},
    {K::kObjectAction, 61, O::Flash, "go to frame", L::kUnsupported,
     "the bundled Flash player cannot jump to a frame; the frame number is kept"},
    {K::kObjectAction, 80, O::Flash, "set a movie variable", L::kUnsupported,
     "the bundled Flash player has no way to set a movie's variable from outside"},
    {K::kObjectAction, 103, O::Flash, "rewind", L::kPartial,
     "the movie is loaded again: it starts from its first frame with its variables reset"},

    // --- Numeric functions
    {K::kNumericFunction,
     5,
     {},
     "key state",
     L::kPartial,
     "only the mouse buttons, Shift, Ctrl and Alt are known; other keys read as up, with no "
     "toggle state"},

    // --- String functions
    {K::kStringFunction,
     32,
     {},
     "Flash movie variable",
     L::kUnsupported,
     "the bundled Flash player has no way to read a movie's variable: the call fails"},

    // --- Services
    {K::kService,
     Service(S::kCursorShadow),
     {},
     "cursor shadow off",
     L::kUnsupported,
     "left alone: cursor themes belong to the user's desktop"},
    {K::kService,
     Service(S::kMenuFade),
     {},
     "menu fading off",
     L::kUnsupported,
     "left alone: the desktop's animations are the user's setting"},
    {K::kService,
     Service(S::kMouseButtonSwap),
     {},
     "mouse buttons swapped",
     L::kUnsupported,
     "left alone: the desktop keeps the setting per user, not per program"},
    {K::kService, Service(S::kPlugin), O::Plugin, "Windows plug-in library", L::kUnsupported,
     kPlugin},
    {K::kService,
     Service(S::kTransitionMask),
     {},
     "transition mask picture",
     L::kPartial,
     "the page's mask picture is missing or cannot be read: the page appears through a blend"},
    {K::kService,
     Service(S::kSandboxProgramStart),
     {},
     "program start refused",
     L::kUnsupported,
     "the project runs in the sandbox, which starts no program and opens no document"},
    {K::kService,
     Service(S::kSandboxDownload),
     {},
     "download refused",
     L::kUnsupported,
     "the project runs in the sandbox without --allow-network: no HTTP download"},
    {K::kService,
     Service(S::kSandboxLan),
     {},
     "LAN refused",
     L::kUnsupported,
     "the project runs in the sandbox without --allow-network: no LAN client or server"},
    {K::kService,
     Service(S::kSandboxPlugin),
     {},
     "plug-in refused",
     L::kUnsupported,
     "the project runs in the sandbox without --allow-plugins: no plug-in library loads"},
    {K::kService,
     Service(S::kSandboxWrite),
     {},
     "write to a read-only drive refused",
     L::kUnsupported,
     "the project runs in the sandbox, where its exe folder is a read-only drive"},
    {K::kService,
     Service(S::kSandboxLink),
     {},
     "link out of a drive refused",
     L::kUnsupported,
     "the project runs in the sandbox, where no symbolic link leads out of its drive"},
};

// Row lookups by code, one array per kind (and per object kind); -1: no row.
struct Index {
  static constexpr int32_t kCodes = 256;
  std::array<std::array<int16_t, kCodes>, 4> plain;  // action, numeric, string, service
  std::array<std::array<int16_t, kCodes>, kObjectKindCount> object;

  Index() {
    for (auto& codes : plain) codes.fill(-1);
    for (auto& codes : object) codes.fill(-1);
    for (size_t i = 0; i < std::size(kRows); ++i) {
      const CompatRow& row = kRows[i];
      if (row.code < 0 || row.code >= kCodes) continue;
      const auto at = static_cast<size_t>(row.code);
      if (row.kind == K::kObjectAction) {
        if (row.object) object[static_cast<size_t>(*row.object)][at] = static_cast<int16_t>(i);
      } else if (const std::optional<size_t> slot = Slot(row.kind)) {
        plain[*slot][at] = static_cast<int16_t>(i);
      }
    }
  }

  static std::optional<size_t> Slot(CompatKind kind) {
    switch (kind) {
      case K::kAction:
        return 0;
      case K::kNumericFunction:
        return 1;
      case K::kStringFunction:
        return 2;
      case K::kService:
        return 3;
      case K::kObjectAction:
        return std::nullopt;
    }
    return std::nullopt;
  }
};

const Index& TheIndex() {
  static const Index index;
  return index;
}

const CompatRow* RowAt(int16_t at) {
  return at < 0 ? nullptr : &kRows[static_cast<size_t>(at)];
}

}  // namespace

std::span<const CompatRow> CompatTable() {
  return kRows;
}

const CompatRow* FindCompatRow(CompatKind kind, int32_t code) {
  const std::optional<size_t> slot = Index::Slot(kind);
  if (!slot || code < 0 || code >= Index::kCodes) return nullptr;
  return RowAt(TheIndex().plain[*slot][static_cast<size_t>(code)]);
}

const CompatRow* FindObjectActionRow(ObjectKind object, int32_t code) {
  if (code < 0 || code >= Index::kCodes) return nullptr;
  return RowAt(TheIndex().object[static_cast<size_t>(object)][static_cast<size_t>(code)]);
}

const CompatRow* FindServiceRow(CompatService service) {
  return FindCompatRow(K::kService, Service(service));
}

CompatService SandboxService(SandboxRefusal what) {
  switch (what) {
    case SandboxRefusal::kProgramStart:
      return S::kSandboxProgramStart;
    case SandboxRefusal::kDownload:
      return S::kSandboxDownload;
    case SandboxRefusal::kLan:
      return S::kSandboxLan;
    case SandboxRefusal::kPlugin:
      return S::kSandboxPlugin;
    case SandboxRefusal::kWrite:
      return S::kSandboxWrite;
    case SandboxRefusal::kLink:
      return S::kSandboxLink;
  }
  return S::kSandboxWrite;
}

std::optional<CompatService> ObjectService(ObjectKind kind) {
  switch (kind) {
    case O::Sound:
      return S::kSoundPlayback;
    case O::Video:
      return S::kVideoPlayback;
    case O::Flash:
      return S::kFlashMovie;
    case O::Browser:
      return S::kWebBrowser;
    case O::Plugin:
      return S::kPlugin;
    default:
      return std::nullopt;
  }
}

const char* CompatKindName(CompatKind kind) {
  switch (kind) {
    case K::kAction:
      return "action";
    case K::kObjectAction:
      return "object-action";
    case K::kNumericFunction:
      return "numeric-function";
    case K::kStringFunction:
      return "string-function";
    case K::kService:
      return "service";
  }
  return "";
}

const char* CompatLevelName(CompatLevel level) {
  return level == L::kPartial ? "partial" : "unsupported";
}

}  // namespace morvane
