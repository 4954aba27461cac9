#include "player/shell/dialogs.h"

#include "player/automation/trace.h"
#include "player/player.h"
#include "player/shell/page_window.h"
#include "player/shell/user_host.h"
#include "util/code_page.h"
#include "util/colour_string.h"

namespace morvane {
namespace {

// What a page's dialogs keep between actions.
class DialogSettings : public QObject {
 public:
  explicit DialogSettings(QObject* page) : QObject(page) {
    setObjectName(QStringLiteral("MorvaneDialogSettings"));
  }
  std::string open_filter;
  std::string open_file;
  std::string open_folder;
  uint32_t colour = 0;
};

DialogSettings* SettingsOf(Player& player, int32_t page) {
  TQMForm* form = player.GetFormByNum(page);
  if (!form) form = player.GetFormByNum(1);
  if (!form) return nullptr;
  auto* settings = form->findChild<DialogSettings*>(QStringLiteral("MorvaneDialogSettings"),
                                                    Qt::FindDirectChildrenOnly);
  return settings ? settings : new DialogSettings(form);
}

void Trace(Player& player, const char* kind, const std::optional<std::string>& result) {
  player.trace().Write(
      "dialog", {{"kind", std::string(kind)},
                 {"result", result ? ToUtf8(*result, player.code_page()) : std::string("cancel")}});
}

QWidget* ParentOf(Player& player, int32_t page) {
  TQMForm* form = player.GetFormByNum(page);
  return form ? static_cast<QWidget*>(form) : nullptr;
}

}  // namespace

std::vector<std::string> NameFilters(std::string_view filter) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= filter.size()) {
    size_t bar = filter.find('|', start);
    if (bar == std::string_view::npos) bar = filter.size();
    pieces.emplace_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  std::vector<std::string> filters;
  for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
    std::string patterns = pieces[i + 1];
    for (char& c : patterns) {
      if (c == ';') c = ' ';
    }
    filters.push_back(pieces[i] + " (" + patterns + ")");
  }
  return filters;
}

std::vector<std::string> RunOpenFileDialog(Player& player, int32_t page,
                                           const OpenFileRequest& request) {
  DialogSettings* settings = SettingsOf(player, page);
  if (settings) {
    settings->open_filter = request.filter;
    if (request.initial_file) settings->open_file = *request.initial_file;
    if (request.initial_folder) settings->open_folder = *request.initial_folder;
  }
  DialogStart start{ParentOf(player, page), settings ? settings->open_folder : std::string(),
                    settings ? settings->open_file : std::string()};
  std::vector<std::string> chosen = player.user().OpenFiles(request, start);
  if (!request.multiple && chosen.size() > 1) chosen.resize(1);
  std::optional<std::string> traced;
  if (chosen.size() == 1) {
    traced = chosen[0];
  } else if (!chosen.empty()) {
    traced.emplace();
    for (const std::string& path : chosen) *traced += path + "|";
  }
  Trace(player, "open", traced);
  return chosen;
}

std::optional<std::string> RunSaveFileDialog(Player& player, int32_t page,
                                             const SaveFileRequest& request) {
  DialogStart start{ParentOf(player, page), request.initial_folder, request.initial_file};
  std::optional<std::string> chosen = player.user().SaveFile(request, start);
  Trace(player, "save", chosen);
  return chosen;
}

std::string RunFolderDialog(Player& player, int32_t page, const FolderRequest& request) {
  std::optional<std::string> chosen = player.user().Folder(request, ParentOf(player, page));
  Trace(player, "folder", chosen);
  return chosen ? *chosen : request.initial_folder;
}

std::optional<uint32_t> RunColourDialog(Player& player, int32_t page,
                                        std::optional<uint32_t> initial) {
  DialogSettings* settings = SettingsOf(player, page);
  if (settings && initial) settings->colour = *initial;
  const uint32_t start = settings ? settings->colour : initial.value_or(0);
  std::optional<uint32_t> chosen = player.user().Colour(start, ParentOf(player, page));
  // The dialog opens on the colour it last closed on.
  if (chosen && settings) settings->colour = *chosen;
  Trace(player, "colour", chosen ? std::optional<std::string>(ColourToHex(*chosen)) : std::nullopt);
  return chosen;
}

FontChoice RunFontDialog(Player& player, int32_t page, const FontChoice& initial) {
  std::optional<FontChoice> chosen = player.user().Font(initial, ParentOf(player, page));
  Trace(player, "font", chosen ? std::optional<std::string>(FontText(*chosen)) : std::nullopt);
  return chosen ? *chosen : initial;
}

}  // namespace morvane
