#include "script/script_stage.h"

#include <chrono>
#include <thread>

#include "platform/http_download.h"
#include "platform/program_opener.h"

namespace morvane {

int32_t message_box::DefaultResult(int32_t flags) {
  switch (flags & 0x0F) {
    case kAbortRetryIgnore:
      return kResultAbort;
    case kYesNoCancel:
    case kYesNo:
      return kResultYes;
    case kRetryCancel:
      return kResultRetry;
    case kCancelTryContinue:
      return kResultCancel;
    default:
      return kResultOk;
  }
}

void ScriptStage::Sleep(int32_t milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ScriptStage::Download(const DriveTable& drives, std::string_view url, std::string_view path) {
  DownloadToFile(drives, url, path);
}

void ScriptStage::Spawn(const std::vector<std::string>& argv) {
  SpawnDetached(argv);
}

}  // namespace morvane
