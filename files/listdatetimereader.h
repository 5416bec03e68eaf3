#pragma once

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
class ListDateTimeReader {
public:
    ListDateTimeReader();

    // Nothing when the texts are not a date and a time.
    std::optional<double> read(const QString& date, const QString& time);
    // The general reading of "date time", for comparison (and for the first and last rows).
    static std::optional<double> readSlowly(const QString& text);

private:
    struct Token {
        enum Kind { Hour12, Hour24, Minute, Second, AmPm, Literal } kind;
        QString literal;
    };
    std::optional<int> quickTime(const QString& time) const; // ms since midnight

    std::vector<Token> m_tokens;
    bool m_quick = false;
    QString m_am, m_pm;
    QString m_lastDate;
    std::optional<QDate> m_lastDateValue;
};
