#pragma once

// Keyboard shortcuts of user functions: the key names authors write, the
// Windows virtual-key codes they stand for, and the key of a Qt key event as
// the same code. Automation steps name the keys they press the same way.

#include <Qt>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// The virtual-key code of a shortcut's key name; 0 (no key) for a name that
// is none of the known ones. Names are compared exactly.
int32_t ShortcutKeyCode(std::string_view name);

// The virtual-key code of a Qt key as a US keyboard reports it: letters are
// their upper-case codes, shifted symbols the code of their key, the keypad
// its own codes. 0 for keys without one.
int32_t VirtualKeyOf(int qt_key, Qt::KeyboardModifiers modifiers);

// A key to press: a Qt key, on the keypad or not.
struct KeyPress {
  int qt_key = 0;
  bool keypad = false;
};

// The key a virtual-key code stands for on a US keyboard, the inverse of
// VirtualKeyOf; nothing for a code that no key has.
std::optional<KeyPress> KeyOfVirtualKey(int32_t code);

// The key an automation step names, or the reason it names none: a shortcut
// key name in any letter case ("PGDN", "NUM LOCK", "F5", "ASCII65"), a single
// character (the key that types it, so "a" is the A key), or a key name of Qt
// ("PgDown", "Backspace"). Writes press only on success; returns "" then.
std::string KeyOfName(std::string_view name, KeyPress& press);

// "1" or "0" for Shift, Ctrl and Alt, in that order.
std::string ModifierTriple(bool shift, bool ctrl, bool alt);

// Whether the shortcut text (triple, then key name) fires for the key.
bool ShortcutMatches(std::string_view shortcut, std::string_view triple, int32_t virtual_key);

}  // namespace morvane
