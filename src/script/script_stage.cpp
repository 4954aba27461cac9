#include "script/script_stage.h"

#include "platform/http_download.h"
#include "platform/program_opener.h"

namespace morvane {

std::string FontText(const FontChoice& font) {
  std::string text =
      font.name + "," + std::to_string(font.size) + "," + std::to_string(font.charset);
  if (font.bold) text += ",B";
  if (font.italic) text += ",I";
  if (font.underline) text += ",U";
  if (font.strike_out) text += ",S";
  if (!font.bold && !font.italic && !font.underline && !font.strike_out) text += ",N";
  return text;
}

void SystemHost::Download(const DriveTable& drives, std::string_view url, std::string_view path) {
  DownloadToFile(drives, url, path);
}

void SystemHost::Spawn(const std::vector<std::string>& argv) {
  SpawnDetached(argv);
}

}  // namespace morvane
