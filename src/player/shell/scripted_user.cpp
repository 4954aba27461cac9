// Headless answers: message boxes take the numbers of --answers in order,
// then their default buttons; dialogs take the lines of --dialog-answers in
// order (a path, several paths joined by "|", a colour, a font text, or
// "cancel") and are cancelled once the lines are used up.

#include "player/automation/options.h"
#include "player/player.h"
#include "player/shell/user_host.h"
#include "util/ascii_case.h"
#include "util/code_page.h"
#include "util/colour_string.h"
#include "util/font_string.h"

#include <cstdio>
#include <fstream>

namespace morvane {
namespace {

class ScriptedUser final : public UserHost {
 public:
  ScriptedUser(Player& player, const PlayerOptions& options)
      : m_player(player), m_answers(options.answers), m_dialog_file(options.dialog_answers_file) {}

  int MessageBox(std::string_view, std::string_view, int, int default_result, QWidget*) override {
    if (m_next_answer < m_answers.size()) return m_answers[m_next_answer++];
    return default_result;
  }

  std::vector<std::string> OpenFiles(const OpenFileRequest&, const DialogStart&) override {
    std::vector<std::string> chosen;
    if (std::optional<std::string> answer = NextAnswer()) {
      const std::string paths = FromUtf8(*answer, m_player.code_page());
      size_t start = 0;
      while (start < paths.size()) {
        size_t bar = paths.find('|', start);
        if (bar == std::string::npos) bar = paths.size();
        if (bar > start) chosen.push_back(paths.substr(start, bar - start));
        start = bar + 1;
      }
    }
    return chosen;
  }

  std::optional<std::string> SaveFile(const SaveFileRequest& request, const DialogStart&) override {
    std::optional<std::string> answer = NextAnswer();
    if (!answer) return std::nullopt;
    std::string path = FromUtf8(*answer, m_player.code_page());
    // As the dialog does, a name without an extension gets the default one.
    const size_t name = path.find_last_of("\\/:");
    const size_t dot = path.rfind('.');
    const bool has_extension =
        dot != std::string::npos && (name == std::string::npos || dot > name);
    if (!has_extension && !request.default_extension.empty() && !path.empty()) {
      path += "." + request.default_extension;
    }
    return path;
  }

  std::optional<std::string> Folder(const FolderRequest&, QWidget*) override {
    std::optional<std::string> answer = NextAnswer();
    if (!answer) return std::nullopt;
    return FromUtf8(*answer, m_player.code_page());
  }

  std::optional<uint32_t> Colour(uint32_t, QWidget*) override {
    std::optional<std::string> answer = NextAnswer();
    if (!answer) return std::nullopt;
    try {
      return ParseColourString(AsciiUpper(*answer));
    } catch (const std::exception&) {
      std::fprintf(stderr, "morvane-player: the dialog answer '%s' is no colour\n",
                   answer->c_str());
      return std::nullopt;
    }
  }

  std::optional<FontChoice> Font(const FontChoice& initial, QWidget*) override {
    std::optional<std::string> answer = NextAnswer();
    if (!answer) return std::nullopt;
    try {
      if (std::optional<FontSpec> spec = ParseFontString(FromUtf8(*answer, m_player.code_page()))) {
        FontChoice font = initial;
        font.name = spec->name;
        font.size = spec->size;
        font.charset = spec->charset;
        font.bold = spec->bold;
        font.italic = spec->italic;
        font.underline = spec->underline;
        font.strike_out = spec->strike_out;
        return font;
      }
    } catch (const std::exception&) {
    }
    std::fprintf(stderr, "morvane-player: the dialog answer '%s' is no font\n", answer->c_str());
    return std::nullopt;
  }

 private:
  // The next dialog answer, the file read on the first question; nothing
  // means cancel.
  std::optional<std::string> NextAnswer() {
    if (m_dialog_file.empty()) return std::nullopt;
    if (!m_dialog_lines_read) {
      m_dialog_lines_read = true;
      std::ifstream in(m_dialog_file, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "morvane-player: cannot read the dialog answers %s\n",
                     m_dialog_file.c_str());
      }
      std::string line;
      while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m_dialog_lines.push_back(line);
      }
    }
    if (m_next_dialog >= m_dialog_lines.size()) return std::nullopt;
    std::string answer = m_dialog_lines[m_next_dialog++];
    if (answer == "cancel") return std::nullopt;
    return answer;
  }

  Player& m_player;
  std::vector<int> m_answers;
  size_t m_next_answer = 0;
  std::string m_dialog_file;
  bool m_dialog_lines_read = false;
  std::vector<std::string> m_dialog_lines;
  size_t m_next_dialog = 0;
};

}  // namespace

std::unique_ptr<UserHost> MakeScriptedUser(Player& player, const PlayerOptions& options) {
  return std::make_unique<ScriptedUser>(player, options);
}

}  // namespace morvane
