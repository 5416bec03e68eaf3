#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// The recording interval of the logger's settings: header bytes 13..15, a 24-bit count of
// 100-us units (10,000 = 1 s). The meter records at whole seconds (count div 10,000).
namespace RecordingInterval {

constexpr quint32 UnitsPerSecond = 10000;
constexpr quint32 UnitsPerMinute = 60 * UnitsPerSecond;
constexpr quint32 MaxUnits = 0xFFFFFF;
// The longest interval the three bytes hold in whole seconds.
constexpr quint32 MaxSeconds = MaxUnits / UnitsPerSecond;

// The setup dialog's interval choices, in order: "1 second" .. "20 minutes".
QStringList items();

// The text of an interval the meter holds (`units` of 100 us): the choice's own text when it is
// one of them ("5 minutes"), otherwise its whole seconds ("800 seconds", "2 minutes" for a
// whole number of minutes); empty for an interval under a second, which no text stands for.
// Parse reads every such text back to the same whole seconds.
QString text(quint32 units);

// The count for the interval box's text: a whole number, a space and a unit ("second",
// "seconds", "minute" or "minutes", in any letter case). Surrounding blanks are ignored.
// std::nullopt, with the reason in `refusal`, for any other text, for zero, and for an
// interval longer than the three bytes hold ("30 minutes").
std::optional<quint32> parse(const QString& text, QString* refusal = nullptr);

} // namespace RecordingInterval
