#include "player/events/edit_filters.h"

#include <QLocale>

namespace morvane {

bool IsNumericChar(QChar c, QChar decimal_separator) {
  return (c >= u'0' && c <= u'9') || c == decimal_separator;
}

bool KeyFilterDiscards(int validation, bool ctrl, QChar typed, QChar decimal_separator) {
  if (validation <= 0 || ctrl || typed == u'-' || typed == u'\b') return false;
  if (!IsNumericChar(typed, decimal_separator)) return true;
  return validation == 2 && typed == u'.';
}

qsizetype FirstRejected(int validation, const QString& text, QChar decimal_separator) {
  if (validation <= 0) return -1;
  for (qsizetype i = 0; i < text.size(); ++i) {
    QChar c = text[i];
    bool keep = c == u'-' || (IsNumericChar(c, decimal_separator) && c != u'.') ||
                (c == u'.' && validation == 1);
    if (!keep) return i;
  }
  return -1;
}

QChar LocaleDecimalSeparator() {
  QString point = QLocale::system().decimalPoint();
  return point.size() == 1 ? point[0] : QChar(u'.');
}

}  // namespace morvane
