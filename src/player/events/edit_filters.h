#pragma once

// The numeric filters of edits. `Validation` 0 lets anything through, 1
// keeps a decimal number, 2 and above a whole number. A character is numeric
// when on its own it reads as a number under the user's locale: the digits
// and the locale's decimal separator (signs, blanks and exponent letters
// alone do not).

#include <QChar>
#include <QString>

namespace morvane {

bool IsNumericChar(QChar c, QChar decimal_separator);

// The key filter: whether a typed character is thrown away. Backspace and
// "-" always pass, and everything passes while Ctrl is held.
bool KeyFilterDiscards(int validation, bool ctrl, QChar typed, QChar decimal_separator);

// The change filter: the position of the first character the text may not
// keep, or -1 when it keeps them all.
qsizetype FirstRejected(int validation, const QString& text, QChar decimal_separator);

// The user's decimal separator.
QChar LocaleDecimalSeparator();

}  // namespace morvane
