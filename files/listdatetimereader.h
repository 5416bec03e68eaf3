#pragma once

#include "anylocaletext.h"

#include <QDate>
#include <QString>

#include <optional>
#include <vector>

// Reads the date and time texts of a list's rows (written in the user's regional formats,
// see DateTimeText) as days since 30 Dec 1899, fraction = time of day.
//
// A list holds up to millions of rows, and the general parser costs microseconds per text, so
// a row's time is read by a parser built once from the time format (digits, AM/PM texts and
// the literal separators), and a date text is parsed once and remembered until the next row
// brings another. Each new date text is also read whole by the general parser, which checks
// the quick reading: when the two ever disagree (a format the quick parser does not know),
// every row is read by the general parser from then on.
//
// A file that the user's own formats do not read (one saved under another regional setting)
// is read by AnyLocaleText from the first row that only it reads on, with the order of day,
// month and year decided from the dates it was told of (learnDates).
class ListDateTimeReader {
public:
    ListDateTimeReader();

    // Tells the reader of the date texts of column 1 of `table`'s data rows, so that the
    // order of day, month and year is decided for the whole list.
    void learnDates(const class StringGridModel& table);

    // Nothing when the texts are not a date and a time.
    std::optional<double> read(const QString& date, const QString& time);
    // The general reading of "date time" in the user's formats, for comparison.
    static std::optional<double> readSlowly(const QString& text);

private:
    struct Token {
        enum Kind { Hour12, Hour24, Minute, Second, AmPm, Literal } kind;
        QString literal;
    };
    std::optional<int> quickTime(const QString& time) const; // ms since midnight
    std::optional<double> readInOwnLocale(const QString& date, const QString& time);
    std::optional<double> readInAnyLocale(const QString& date, const QString& time);

    std::vector<Token> m_tokens;
    bool m_quick = false;
    QString m_am, m_pm;
    QString m_lastDate;
    std::optional<QDate> m_lastDateValue;
    AnyLocaleText m_any;
    bool m_foreign = false; // rows are read by m_any
    QString m_lastAnyDate;
    std::optional<QDate> m_lastAnyDateValue;
};
