#include "script/message_box.h"

#include <cstddef>

namespace morvane::message_box {

std::vector<int32_t> Buttons(int32_t flags) {
  switch (flags & 0x0F) {
    case kOkCancel:
      return {kResultOk, kResultCancel};
    case kAbortRetryIgnore:
      return {kResultAbort, kResultRetry, kResultIgnore};
    case kYesNoCancel:
      return {kResultYes, kResultNo, kResultCancel};
    case kYesNo:
      return {kResultYes, kResultNo};
    case kRetryCancel:
      return {kResultRetry, kResultCancel};
    case kCancelTryContinue:
      return {kResultCancel, kResultTryAgain, kResultContinue};
    default:
      return {kResultOk};
  }
}

int32_t DefaultResult(int32_t flags) {
  const std::vector<int32_t> buttons = Buttons(flags);
  const std::size_t index = std::size_t((flags >> 8) & 0x0F);
  return index < buttons.size() ? buttons[index] : buttons.front();
}

}  // namespace morvane::message_box
