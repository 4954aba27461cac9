#include "player/events/key_names.h"

#include <array>
#include <charconv>

namespace morvane {
namespace {

struct NamedKey {
  std::string_view name;
  int32_t code;
};

constexpr std::array<NamedKey, 19> kNamedKeys{{
    {"NUM LOCK", 144}, {"SCROLL LOCK", 145}, {"CAPS", 20},   {"PRINTSCRN", 44}, {"PAUSE", 19},
    {"ESC", 27},       {"TAB", 9},           {"SPACE", 32},  {"INSERT", 45},    {"HOME", 36},
    {"PGUP", 33},      {"PGDN", 34},         {"DELETE", 46}, {"END", 35},       {"UP", 38},
    {"DOWN", 40},      {"LEFT", 37},         {"RIGHT", 39},  {"ENTER", 13},
}};

// A whole decimal number and nothing else; -1 otherwise.
int64_t DecimalNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 9) return -1;
  int64_t value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return -1;
  return value;
}

}  // namespace

int32_t ShortcutKeyCode(std::string_view name) {
  if (name.empty()) return 0;
  for (const NamedKey& k : kNamedKeys) {
    if (k.name == name) return k.code;
  }
  if (name.size() >= 2 && name[0] == 'F') {
    int64_t n = DecimalNumber(name.substr(1));
    if (n >= 1 && n <= 24) return int32_t(111 + n);
  }
  if (name.size() > 5 && name.substr(0, 5) == "ASCII") {
    int64_t n = DecimalNumber(name.substr(5));
    if (n >= 0 && n <= 0x7fffffff) return int32_t(n);
  }
  if (name.size() == 1) return int32_t(static_cast<unsigned char>(name[0]));
  return 0;
}

int32_t VirtualKeyOf(int qt_key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return 96 + (qt_key - Qt::Key_0);
    switch (qt_key) {
      case Qt::Key_Asterisk:
        return 106;
      case Qt::Key_Plus:
        return 107;
      case Qt::Key_Minus:
        return 109;
      case Qt::Key_Period:
      case Qt::Key_Comma:
        return 110;
      case Qt::Key_Slash:
        return 111;
      default:
        break;
    }
  }
  if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return qt_key;
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return qt_key;
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return 112 + (qt_key - Qt::Key_F1);
  switch (qt_key) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    case Qt::Key_Alt:
      return 18;
    case Qt::Key_Pause:
      return 19;
    case Qt::Key_CapsLock:
      return 20;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Print:
      return 44;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_NumLock:
      return 144;
    case Qt::Key_ScrollLock:
      return 145;
    // Shifted digits report their symbol; the key is the digit's.
    case Qt::Key_ParenRight:
      return '0';
    case Qt::Key_Exclam:
      return '1';
    case Qt::Key_At:
      return '2';
    case Qt::Key_NumberSign:
      return '3';
    case Qt::Key_Dollar:
      return '4';
    case Qt::Key_Percent:
      return '5';
    case Qt::Key_AsciiCircum:
      return '6';
    case Qt::Key_Ampersand:
      return '7';
    case Qt::Key_Asterisk:
      return '8';
    case Qt::Key_ParenLeft:
      return '9';
    // The punctuation keys of a US keyboard.
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
      return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
      return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less:
      return 188;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return 189;
    case Qt::Key_Period:
    case Qt::Key_Greater:
      return 190;
    case Qt::Key_Slash:
    case Qt::Key_Question:
      return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
      return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
      return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
      return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
      return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
      return 222;
    default:
      return 0;
  }
}

std::string ModifierTriple(bool shift, bool ctrl, bool alt) {
  return std::string{shift ? '1' : '0', ctrl ? '1' : '0', alt ? '1' : '0'};
}

bool ShortcutMatches(std::string_view shortcut, std::string_view triple, int32_t virtual_key) {
  if (shortcut.size() < 3 || virtual_key == 0) return false;
  if (shortcut.substr(0, 3) != triple) return false;
  return ShortcutKeyCode(shortcut.substr(3)) == virtual_key;
}

}  // namespace morvane
