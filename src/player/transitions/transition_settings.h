#pragma once

// What a page asks of the effect with which it appears: the kind, the
// duration and the options its records carry, read into the values the
// effects draw with.

#include "package/project_model.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace morvane {

enum class TransitionKind : int {
  kNone = 0,
  kBlend = 1,
  kBlock = 2,
  kCircle = 3,
  kDiagonal = 4,
  kDrip = 5,
  kInterlaced = 6,
  kPush = 7,
  kRadial = 8,
  kRoll = 9,
  kSlide = 10,
  kWaterfall = 11,
  kWipe = 12,
  kMask = 13,
  kRandom = 14,  // a new kind from blend to wipe each time the page is shown
};
constexpr int kTransitionKindCount = 13;
constexpr int kDefaultTransitionMs = 1000;

// "blend", "block", ... "mask"; "none" and "random" for the other two.
const char* TransitionKindName(TransitionKind kind);

// The way a directional effect travels. The page records carry a digit d,
// given to the effects as the code 4 - d.
enum class TransitionDirection : int {
  kUp = 1,     // the new page comes in from the bottom edge
  kDown = 2,   // from the top edge
  kLeft = 3,   // from the right edge
  kRight = 4,  // from the left edge
};

struct TransitionOptions {
  int style = 0;
  int substyle = 0;
  int size = 0;          // BlockWidth of block, Size of roll, BandWidth of wipe
  int block_height = 0;  // BlockHeight of block
  TransitionDirection direction = TransitionDirection::kRight;
  bool first_flag = false;   // Puzzle of block, Use3D of roll, ElasticSrc of slide
  bool second_flag = false;  // Dual of block, Unroll of roll, ElasticDst of slide
  bool operator==(const TransitionOptions&) const = default;
};

struct TransitionSettings {
  TransitionKind kind = TransitionKind::kNone;  // as the page records it, random included
  int duration_ms = kDefaultTransitionMs;
  TransitionOptions options;
  std::string mask_path;  // a Windows path, taken as written
};

// The show transition of a page; kind kNone when the page appears at once
// (no transition, or a kind number the player does not know).
TransitionSettings PageTransition(const Page& page);

// The direction code 4 - d of a direction digit; codes other than 1 to 4
// travel rightwards.
TransitionDirection DirectionFromCode(int code);

// One of blend to wipe, evenly.
TransitionKind RandomTransitionKind(std::mt19937& random);

}  // namespace morvane
