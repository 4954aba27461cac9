#include "player/events/key_names.h"

#include "util/ascii_case.h"

#include <QKeySequence>
#include <QString>

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

struct QtKey {
  int qt_key;
  int32_t code;
};

// Qt keys and the virtual-key codes of a US keyboard (letters, digits and F
// keys are ranges, handled apart). The first entry of a code is the key that
// the code stands for when a key is pressed by its code.
constexpr QtKey kQtKeys[] = {
    {Qt::Key_Backspace, 8},
    {Qt::Key_Tab, 9},
    {Qt::Key_Backtab, 9},
    {Qt::Key_Return, 13},
    {Qt::Key_Enter, 13},
    {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},
    {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},
    {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},
    {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},
    {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},
    {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145},
    // Shifted digits report their symbol; the key is the digit's.
    {Qt::Key_ParenRight, '0'},
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    // The punctuation keys, unshifted first.
    {Qt::Key_Semicolon, 186},
    {Qt::Key_Colon, 186},
    {Qt::Key_Equal, 187},
    {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188},
    {Qt::Key_Less, 188},
    {Qt::Key_Minus, 189},
    {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},
    {Qt::Key_Greater, 190},
    {Qt::Key_Slash, 191},
    {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192},
    {Qt::Key_AsciiTilde, 192},
    {Qt::Key_BracketLeft, 219},
    {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220},
    {Qt::Key_Bar, 220},
    {Qt::Key_BracketRight, 221},
    {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222},
    {Qt::Key_QuoteDbl, 222},
};

// Keypad keys other than the digits (96 to 105), with the keypad modifier.
constexpr QtKey kKeypadKeys[] = {
    {Qt::Key_Asterisk, 106}, {Qt::Key_Plus, 107},  {Qt::Key_Minus, 109},
    {Qt::Key_Period, 110},   {Qt::Key_Comma, 110}, {Qt::Key_Slash, 111},
};

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
    for (const QtKey& k : kKeypadKeys) {
      if (k.qt_key == qt_key) return k.code;
    }
  }
  if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return qt_key;
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return qt_key;
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return 112 + (qt_key - Qt::Key_F1);
  for (const QtKey& k : kQtKeys) {
    if (k.qt_key == qt_key) return k.code;
  }
  return 0;
}

std::optional<KeyPress> KeyOfVirtualKey(int32_t code) {
  if (code >= 'A' && code <= 'Z') return KeyPress{code, false};
  if (code >= '0' && code <= '9') return KeyPress{code, false};
  if (code >= 96 && code <= 105) return KeyPress{Qt::Key_0 + (code - 96), true};
  if (code >= 112 && code <= 135) return KeyPress{Qt::Key_F1 + (code - 112), false};
  for (const QtKey& k : kKeypadKeys) {
    if (k.code == code) return KeyPress{k.qt_key, true};
  }
  for (const QtKey& k : kQtKeys) {
    if (k.code == code) return KeyPress{k.qt_key, false};
  }
  return std::nullopt;
}

std::string KeyOfName(std::string_view name, KeyPress& press) {
  if (name.empty()) return "expected a key name";
  const std::string quoted = "'" + std::string(name) + "'";
  // A single character is the key that types it, as Qt numbers keys: the
  // upper-case character's code.
  if (name.size() == 1 && name[0] > ' ' && name[0] < 0x7f) {
    press = {static_cast<unsigned char>(AsciiToUpper(name[0])), false};
    return "";
  }
  // The names of the shortcut table, in any letter case.
  if (const int32_t code = ShortcutKeyCode(AsciiUpper(name)); code != 0) {
    const std::optional<KeyPress> key = KeyOfVirtualKey(code);
    if (!key) return "no key has the code " + std::to_string(code) + " (" + quoted + ")";
    press = *key;
    return "";
  }
  const QKeySequence sequence =
      QKeySequence::fromString(QString::fromUtf8(name.data(), qsizetype(name.size())));
  if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown) return "unknown key " + quoted;
  if (sequence[0].keyboardModifiers() != Qt::NoModifier)
    return "write the modifiers of " + quoted + " as words after the key";
  press = {int(sequence[0].key()), false};
  return "";
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
