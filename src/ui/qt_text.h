// Conversions between the core's texts and date-times and Qt's.
//
// The core keeps UTF-8 std::string and TDateTime (days since 30 December
// 1899, local time); the windows keep QString and QDateTime.
#pragma once

#include <QDateTime>
#include <QString>
#include <string>

#include "base/datetime.h"

namespace trelvar::ui {

inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline std::string S(const QString& text) { return text.toStdString(); }

// A TDateTime outside the years 1 to 9999 gives an invalid QDateTime.
QDateTime ToQDateTime(TDateTime value);
// An invalid QDateTime gives 0 (30 December 1899).
TDateTime FromQDateTime(const QDateTime& value);

// The text of `id` in the current language, as a QString.
QString Tr(int id, const char* fallback);

}  // namespace trelvar::ui
