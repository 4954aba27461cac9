#pragma once

// What this player does not do, or does only in part, on this platform: one
// row per action code, object action (code and object kind), numeric or
// string function and platform service. Everything without a row is done in
// full. The rows live in compat_table.cpp beside the action tables; a feature
// that lands removes or lowers its rows there, and a unit test checks that
// every row names a code the action tables know.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "package/project_model.h"
#include "platform/sandbox_policy.h"

namespace morvane {

enum class CompatKind : uint8_t {
  kAction,
  kObjectAction,
  kNumericFunction,
  kStringFunction,
  kService,
};

enum class CompatLevel : uint8_t {
  kUnsupported,  // nothing of it happens
  kPartial,      // some of it happens; the reason says what is missing
};

// Services a project asks for outside its scripts: by its options or by the
// objects its pages hold. They are the codes of the service rows; a service
// done in full has no row, and its code stays so that the others keep theirs.
enum class CompatService : int32_t {
  kCursorShadow = 1,
  kMenuFade,
  kMouseButtonSwap,
  kSingleInstance,
  kSoundPlayback,
  kVideoPlayback,
  kFlashMovie,
  kWebBrowser,
  kPlugin,
  kTransitionMask,
  // What the sandbox refused (platform/sandbox_policy.h).
  kSandboxProgramStart,
  kSandboxDownload,
  kSandboxLan,
  kSandboxPlugin,
  kSandboxWrite,
  kSandboxLink,
};

struct CompatRow {
  CompatKind kind;
  int32_t code;
  std::optional<ObjectKind> object;  // object actions only
  const char* name;
  CompatLevel level;
  const char* reason;
};

// Every row, in the order reports list them.
std::span<const CompatRow> CompatTable();

// The row of an action code or function code; nothing when it is done in full.
const CompatRow* FindCompatRow(CompatKind kind, int32_t code);
// The row of an object action on an object of that kind.
const CompatRow* FindObjectActionRow(ObjectKind object, int32_t code);
const CompatRow* FindServiceRow(CompatService service);
// The service row of a refusal of the sandbox.
CompatService SandboxService(SandboxRefusal what);
// The service that builds an object of that kind, if it is not done in full.
std::optional<CompatService> ObjectService(ObjectKind kind);

// "action", "object-action", "numeric-function", "string-function", "service".
const char* CompatKindName(CompatKind kind);
// "unsupported", "partial".
const char* CompatLevelName(CompatLevel level);

}  // namespace morvane
