#include "ui/qt_text.h"

#include "config/translator.h"

namespace trelvar::ui {

QDateTime ToQDateTime(TDateTime value) {
  if (!IsValidDateTime(value)) return {};
  const TDateParts p = DecodeDateTime(value);
  return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second, p.millisecond));
}

TDateTime FromQDateTime(const QDateTime& value) {
  if (!value.isValid()) return 0;
  const QDate d = value.date();
  const QTime t = value.time();
  TDateTime day = 0;
  if (!TryEncodeDate(d.year(), d.month(), d.day(), day)) return 0;
  return day + EncodeTime(t.hour(), t.minute(), t.second(), t.msec());
}

QString Tr(int id, const char* fallback) { return Q(Translate(id, fallback)); }

}  // namespace trelvar::ui
