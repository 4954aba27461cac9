#include "player/transitions/transition_settings.h"

namespace morvane {

const char* TransitionKindName(TransitionKind kind) {
  switch (kind) {
    case TransitionKind::kNone:
      return "none";
    case TransitionKind::kBlend:
      return "blend";
    case TransitionKind::kBlock:
      return "block";
    case TransitionKind::kCircle:
      return "circle";
    case TransitionKind::kDiagonal:
      return "diagonal";
    case TransitionKind::kDrip:
      return "drip";
    case TransitionKind::kInterlaced:
      return "interlaced";
    case TransitionKind::kPush:
      return "push";
    case TransitionKind::kRadial:
      return "radial";
    case TransitionKind::kRoll:
      return "roll";
    case TransitionKind::kSlide:
      return "slide";
    case TransitionKind::kWaterfall:
      return "waterfall";
    case TransitionKind::kWipe:
      return "wipe";
    case TransitionKind::kMask:
      return "mask";
    case TransitionKind::kRandom:
      return "random";
  }
  return "none";
}

TransitionDirection DirectionFromCode(int code) {
  if (code < 1 || code > 4) return TransitionDirection::kRight;
  return static_cast<TransitionDirection>(code);
}

TransitionSettings PageTransition(const Page& page) {
  TransitionSettings s;
  const int kind = page.options.show_transition;
  if (kind < 1 || kind > int(TransitionKind::kRandom)) return s;
  s.kind = static_cast<TransitionKind>(kind);
  // A page that gives no duration of its own takes the default.
  if (page.options.transition_duration > 0) s.duration_ms = page.options.transition_duration;
  TransitionOptions& o = s.options;
  o.style = page.transition_style;
  o.substyle = page.transition_substyle;
  o.size = page.transition_size;
  o.block_height = page.transition_block_height;
  const std::string& raw = page.transition_options;
  // Character 2 is the direction digit; 3 and 4 are flag bytes.
  int digit = 0;
  if (raw.size() >= 2) digit = raw[1] >= '0' && raw[1] <= '9' ? raw[1] - '0' : -1;
  o.direction = DirectionFromCode(4 - digit);
  o.first_flag = raw.size() >= 3 && raw[2] != '\0';
  o.second_flag = raw.size() >= 4 && raw[3] != '\0';
  s.mask_path = page.mask_path;
  return s;
}

TransitionKind RandomTransitionKind(std::mt19937& random) {
  std::uniform_int_distribution<int> pick(1, int(TransitionKind::kWipe));
  return static_cast<TransitionKind>(pick(random));
}

}  // namespace morvane
