// The key names of shortcuts, the matching of the modifier triple and the
// numeric filters of edits.

#include "player/events/edit_filters.h"
#include "player/events/event_dispatch.h"
#include "player/events/key_names.h"

#include <QRect>

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(ShortcutKeys, NamesGiveTheirVirtualKeyCodes) {
  struct Case {
    const char* name;
    int32_t code;
  };
  const Case cases[] = {
      {"NUM LOCK", 144},
      {"SCROLL LOCK", 145},
      {"CAPS", 20},
      {"PRINTSCRN", 44},
      {"PAUSE", 19},
      {"ESC", 27},
      {"TAB", 9},
      {"SPACE", 32},
      {"INSERT", 45},
      {"HOME", 36},
      {"PGUP", 33},
      {"PGDN", 34},
      {"DELETE", 46},
      {"END", 35},
      {"UP", 38},
      {"DOWN", 40},
      {"LEFT", 37},
      {"RIGHT", 39},
      {"ENTER", 13},
      {"F1", 112},
      {"F5", 116},
      {"F24", 135},
      {"ASCII65", 65},
      {"ASCII0", 0},
      {"A", 65},
      {"7", 55},
      {"a", 97},
      {"=", 61},
      // Not in the table: no key.
      {"F0", 0},
      {"F25", 0},
      {"ASCII", 0},
      {"ASCIIx", 0},
      {"esc", 0},
      {"", 0},
      {"BACKSPACE", 0},
      {"F1x", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ShortcutKeyCode(c.name), c.code) << c.name;
}

TEST(ShortcutKeys, QtKeysBecomeTheKeysOfAUsKeyboard) {
  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    int32_t code;
  };
  const Case cases[] = {
      {Qt::Key_A, Qt::NoModifier, 65},         {Qt::Key_A, Qt::ShiftModifier, 65},
      {Qt::Key_5, Qt::NoModifier, 53},         {Qt::Key_Percent, Qt::ShiftModifier, 53},  // Shift+5
      {Qt::Key_5, Qt::KeypadModifier, 101},    {Qt::Key_F5, Qt::ControlModifier, 116},
      {Qt::Key_Escape, Qt::NoModifier, 27},    {Qt::Key_Return, Qt::NoModifier, 13},
      {Qt::Key_Enter, Qt::KeypadModifier, 13}, {Qt::Key_Backtab, Qt::ShiftModifier, 9},
      {Qt::Key_PageDown, Qt::NoModifier, 34},  {Qt::Key_Equal, Qt::NoModifier, 187},
      {Qt::Key_unknown, Qt::NoModifier, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyOf(c.key, c.mods), c.code) << c.key;
}

TEST(ShortcutKeys, EveryCodeWithAKeyIsPressedAsThatKey) {
  int keys = 0;
  for (int32_t code = 0; code < 256; ++code) {
    const std::optional<KeyPress> press = KeyOfVirtualKey(code);
    if (!press) continue;
    ++keys;
    EXPECT_EQ(VirtualKeyOf(press->qt_key, press->keypad ? Qt::KeypadModifier : Qt::NoModifier),
              code)
        << code;
  }
  // Letters, digits, keypad digits, F1 to F24 and the named keys at least.
  EXPECT_GT(keys, 26 + 10 + 10 + 24 + 19);
  EXPECT_EQ(KeyOfVirtualKey(0), std::nullopt);
  EXPECT_EQ(KeyOfVirtualKey(7), std::nullopt);
}

TEST(ShortcutKeys, TheTripleAndTheKeyMustBothMatch) {
  struct Case {
    const char* shortcut;
    bool shift, ctrl, alt;
    int32_t key;
    bool fires;
  };
  const Case cases[] = {
      {"010F5", false, true, false, 116, true},
      {"010F5", false, false, false, 116, false},  // F5 alone
      {"010F5", true, true, false, 116, false},    // Ctrl+Shift+F5
      {"000A", false, false, false, 65, true},
      {"000a", false, false, false, 65, false},  // letters are written in upper case
      {"000ASCII65", false, false, false, 65, true},
      {"111DELETE", true, true, true, 46, true},
      {"000NOSUCHKEY", false, false, false, 0, false},  // code 0 matches no key
      {"00", false, false, false, 65, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShortcutMatches(c.shortcut, ModifierTriple(c.shift, c.ctrl, c.alt), c.key), c.fires)
        << c.shortcut;
  }
}

TEST(EditFilters, TheKeyFilterByValidation) {
  struct Case {
    int validation;
    bool ctrl;
    char16_t typed;
    bool discarded;
  };
  const Case cases[] = {
      {0, false, u'x', false}, {1, false, u'1', false},  {1, false, u'-', false},
      {1, false, u'.', false}, {1, false, u'\b', false}, {1, false, u'x', true},
      {1, false, u' ', true},  {1, false, u'+', true},   {1, false, u'e', true},
      {2, false, u'.', true},  {2, false, u'7', false},  {1, true, u'x', false},  // Ctrl held
      {3, false, u'.', false},  // only exactly 2 refuses the typed point
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyFilterDiscards(c.validation, c.ctrl, QChar(c.typed), u'.'), c.discarded)
        << c.validation << " " << char(c.typed);
  }
  // Under a comma locale the comma is the numeric separator.
  EXPECT_FALSE(KeyFilterDiscards(1, false, u',', u','));
  EXPECT_TRUE(KeyFilterDiscards(1, false, u'.', u','));
}

TEST(EditFilters, TheChangeFilterFindsTheFirstCharacterToRemove) {
  struct Case {
    int validation;
    const char* text;
    qsizetype first;
  };
  const Case cases[] = {
      {0, "1a2", -1}, {1, "1a2", 1}, {1, "-1.5", -1}, {2, "1.5", 1},
      {3, "1.5", 1},  {1, "", -1},   {1, "ab", 0},    {2, "-12", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FirstRejected(c.validation, QString::fromLatin1(c.text), u'.'), c.first) << c.text;
  }
}

TEST(EnterLeave, BoundsAreStrictOnAllFourSides) {
  QRect r(10, 20, 30, 40);  // left 10, top 20, width 30, height 40
  EXPECT_TRUE(StrictlyInside(r, {11, 21}));
  EXPECT_TRUE(StrictlyInside(r, {39, 59}));
  EXPECT_FALSE(StrictlyInside(r, {10, 30}));
  EXPECT_FALSE(StrictlyInside(r, {40, 30}));
  EXPECT_FALSE(StrictlyInside(r, {20, 20}));
  EXPECT_FALSE(StrictlyInside(r, {20, 60}));
}

}  // namespace
}  // namespace morvane
