#pragma once

// Message boxes as scripts see them: the flags that choose the buttons and the
// default button, and the results the buttons give. One place answers which
// buttons a box has and which one it gives by default, for the player's boxes
// and the console's alike.

#include <cstdint>
#include <vector>

namespace morvane::message_box {

// Flags and results, numbered as the platform numbers them.
inline constexpr int32_t kOk = 0x00;
inline constexpr int32_t kOkCancel = 0x01;
inline constexpr int32_t kAbortRetryIgnore = 0x02;
inline constexpr int32_t kYesNoCancel = 0x03;
inline constexpr int32_t kYesNo = 0x04;
inline constexpr int32_t kRetryCancel = 0x05;
inline constexpr int32_t kCancelTryContinue = 0x06;
inline constexpr int32_t kIconExclamation = 0x30;
inline constexpr int32_t kResultOk = 1;
inline constexpr int32_t kResultCancel = 2;
inline constexpr int32_t kResultAbort = 3;
inline constexpr int32_t kResultRetry = 4;
inline constexpr int32_t kResultIgnore = 5;
inline constexpr int32_t kResultYes = 6;
inline constexpr int32_t kResultNo = 7;
inline constexpr int32_t kResultTryAgain = 10;
inline constexpr int32_t kResultContinue = 11;

// The results of the buttons of the button set in the low four bits of
// `flags`, left to right; an unknown set is OK alone.
std::vector<int32_t> Buttons(int32_t flags);

// The result of the default button: the button numbered by bits 8 to 11 of
// `flags` (0x100 * index), the first one when the box has no such button.
int32_t DefaultResult(int32_t flags);

}  // namespace morvane::message_box
