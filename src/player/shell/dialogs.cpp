#include "player/shell/dialogs.h"

#include "player/assets/fonts.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
#include "util/ascii_case.h"
#include "util/code_page.h"
#include "util/colour_string.h"
#include "util/font_string.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>

#include <cstdio>
#include <fstream>

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

// The lines of --dialog-answers, read once, handed out in order.
class DialogAnswers : public QObject {
 public:
  explicit DialogAnswers(QObject* owner) : QObject(owner) {
    setObjectName(QStringLiteral("MorvaneDialogAnswers"));
  }
  std::vector<std::string> lines;
  size_t next = 0;
};

// The next answer; nothing means cancel.
std::optional<std::string> NextAnswer(Player& player) {
  TQMForm* main = player.GetFormByNum(1);
  const std::string& file = player.options().dialog_answers_file;
  if (!main || file.empty()) return std::nullopt;
  auto* answers = main->findChild<DialogAnswers*>(QStringLiteral("MorvaneDialogAnswers"),
                                                  Qt::FindDirectChildrenOnly);
  if (!answers) {
    answers = new DialogAnswers(main);
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "morvane-player: cannot read the dialog answers %s\n", file.c_str());
    }
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      answers->lines.push_back(line);
    }
  }
  if (answers->next >= answers->lines.size()) return std::nullopt;
  std::string answer = answers->lines[answers->next++];
  if (answer == "cancel") return std::nullopt;
  return answer;
}

void Trace(Player& player, const char* kind, const std::optional<std::string>& result) {
  player.trace().Write(
      "dialog", {{"kind", std::string(kind)},
                 {"result", result ? ToUtf8(*result, player.code_page()) : std::string("cancel")}});
}

QString Utf(Player& player, std::string_view bytes) {
  return QString::fromStdString(ToUtf8(bytes, player.code_page()));
}

// A Windows path as a host path for Qt; empty when it names nothing mapped.
QString HostOf(Player& player, const std::string& windows_path) {
  if (windows_path.empty()) return {};
  std::optional<std::string> host = player.environment().drives().ToHost(windows_path);
  return host ? QString::fromStdString(*host) : QString();
}

std::optional<std::string> WindowsOf(Player& player, const QString& host_path) {
  return player.environment().drives().ToWindows(host_path.toStdString());
}

QWidget* ParentOf(Player& player, int32_t page) {
  TQMForm* form = player.GetFormByNum(page);
  return form ? static_cast<QWidget*>(form) : nullptr;
}

// Where a file dialog starts: the folder given, else the initial file's.
void StartIn(Player& player, QFileDialog& dialog, const std::string& folder,
             const std::string& file) {
  const QString host_folder = HostOf(player, folder);
  if (!host_folder.isEmpty()) dialog.setDirectory(host_folder);
  if (file.empty()) return;
  const bool has_folder = file.find_first_of("\\/:") != std::string::npos;
  if (has_folder) {
    dialog.selectFile(HostOf(player, file));
  } else {
    dialog.selectFile(Utf(player, file));
  }
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
  std::vector<std::string> chosen;
  if (player.headless()) {
    if (std::optional<std::string> answer = NextAnswer(player)) {
      const std::string paths = FromUtf8(*answer, player.code_page());
      size_t start = 0;
      while (start < paths.size()) {
        size_t bar = paths.find('|', start);
        if (bar == std::string::npos) bar = paths.size();
        if (bar > start) chosen.push_back(paths.substr(start, bar - start));
        start = bar + 1;
      }
      if (!request.multiple && chosen.size() > 1) chosen.resize(1);
    }
  } else {
    QFileDialog dialog(ParentOf(player, page));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    QStringList filters;
    for (const std::string& f : NameFilters(request.filter)) filters << Utf(player, f);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (settings) StartIn(player, dialog, settings->open_folder, settings->open_file);
    if (dialog.exec() == QDialog::Accepted) {
      for (const QString& host : dialog.selectedFiles()) {
        if (std::optional<std::string> path = WindowsOf(player, host)) chosen.push_back(*path);
      }
    }
  }
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
  std::optional<std::string> chosen;
  if (player.headless()) {
    if (std::optional<std::string> answer = NextAnswer(player)) {
      std::string path = FromUtf8(*answer, player.code_page());
      // As the dialog does, a name without an extension gets the default one.
      const size_t name = path.find_last_of("\\/:");
      const size_t dot = path.rfind('.');
      const bool has_extension =
          dot != std::string::npos && (name == std::string::npos || dot > name);
      if (!has_extension && !request.default_extension.empty() && !path.empty()) {
        path += "." + request.default_extension;
      }
      chosen = path;
    }
  } else {
    QFileDialog dialog(ParentOf(player, page));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const std::string& f : NameFilters(request.filter)) filters << Utf(player, f);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.default_extension.empty()) {
      dialog.setDefaultSuffix(Utf(player, request.default_extension));
    }
    StartIn(player, dialog, request.initial_folder, request.initial_file);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      chosen = WindowsOf(player, dialog.selectedFiles().front());
    }
  }
  Trace(player, "save", chosen);
  return chosen;
}

std::string RunFolderDialog(Player& player, int32_t page, const FolderRequest& request) {
  std::optional<std::string> chosen;
  if (player.headless()) {
    if (std::optional<std::string> answer = NextAnswer(player)) {
      chosen = FromUtf8(*answer, player.code_page());
    }
  } else {
    QFileDialog dialog(ParentOf(player, page));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    // The folder tree shows files only when asked; no new-folder button unless asked.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, !request.show_files);
    dialog.setOption(QFileDialog::ReadOnly, !request.new_folder_button);
    if (!request.caption.empty()) dialog.setWindowTitle(Utf(player, request.caption));
    if (!request.prompt.empty())
      dialog.setLabelText(QFileDialog::LookIn, Utf(player, request.prompt));
    const QString start = HostOf(player, request.initial_folder);
    if (!start.isEmpty()) dialog.setDirectory(start);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      chosen = WindowsOf(player, dialog.selectedFiles().front());
    }
  }
  Trace(player, "folder", chosen);
  return chosen ? *chosen : request.initial_folder;
}

std::optional<uint32_t> RunColourDialog(Player& player, int32_t page,
                                        std::optional<uint32_t> initial) {
  DialogSettings* settings = SettingsOf(player, page);
  if (settings && initial) settings->colour = *initial;
  const uint32_t start = settings ? settings->colour : initial.value_or(0);
  std::optional<uint32_t> chosen;
  if (player.headless()) {
    if (std::optional<std::string> answer = NextAnswer(player)) {
      try {
        chosen = ParseColourString(AsciiUpper(*answer));
      } catch (const std::exception&) {
        std::fprintf(stderr, "morvane-player: the dialog answer '%s' is no colour\n",
                     answer->c_str());
      }
    }
  } else {
    const QColor colour = QColorDialog::getColor(
        QColor(int(start & 0xFF), int((start >> 8) & 0xFF), int((start >> 16) & 0xFF)),
        ParentOf(player, page));
    if (colour.isValid()) {
      chosen = uint32_t(colour.red()) | (uint32_t(colour.green()) << 8) |
               (uint32_t(colour.blue()) << 16);
    }
  }
  // The dialog opens on the colour it last closed on.
  if (chosen && settings) settings->colour = *chosen;
  Trace(player, "colour", chosen ? std::optional<std::string>(ColourToHex(*chosen)) : std::nullopt);
  return chosen;
}

FontChoice RunFontDialog(Player& player, int32_t page, const FontChoice& initial) {
  std::optional<FontChoice> chosen;
  if (player.headless()) {
    if (std::optional<std::string> answer = NextAnswer(player)) {
      try {
        if (std::optional<FontSpec> spec = ParseFontString(FromUtf8(*answer, player.code_page()))) {
          FontChoice font = initial;
          font.name = spec->name;
          font.size = spec->size;
          font.charset = spec->charset;
          font.bold = spec->bold;
          font.italic = spec->italic;
          font.underline = spec->underline;
          font.strike_out = spec->strike_out;
          chosen = font;
        }
      } catch (const std::exception&) {
      }
      if (!chosen) {
        std::fprintf(stderr, "morvane-player: the dialog answer '%s' is no font\n",
                     answer->c_str());
      }
    }
  } else {
    QFont start = WindowsFont(initial.name, initial.size, initial.charset, player.code_page());
    start.setBold(initial.bold);
    start.setItalic(initial.italic);
    start.setUnderline(initial.underline);
    start.setStrikeOut(initial.strike_out);
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, start, ParentOf(player, page));
    if (ok) {
      FontChoice result = initial;
      result.name = FromUtf8(font.family().toStdString(), player.code_page());
      result.size = font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
      result.bold = font.bold();
      result.italic = font.italic();
      result.underline = font.underline();
      result.strike_out = font.strikeOut();
      chosen = result;
    }
  }
  Trace(player, "font", chosen ? std::optional<std::string>(FontText(*chosen)) : std::nullopt);
  return chosen ? *chosen : initial;
}

}  // namespace morvane
