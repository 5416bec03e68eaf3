#pragma once

#include <QDate>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class Chart;
class StringGridModel;

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

// Fills a list-graph chart from a list window's table: per data row i (1 .. L), point i - 1
// of subset 0 gets the row's date-time as x and its value as y ("OL" as 6553.5, "-OL" as
// -6553.5); subset 1 gets the same value ("OL" as 4000, "-OL" as -4000) at the last x that
// converted. A row whose date and time do not convert gets no subset-0 point; a value that is
// not a number gives neither subset a y. The numbers of subset 1 widen the Y scale, which
// starts at 105 / -18; OL texts do not.
class ListGraph {
public:
    struct Bounds {
        float Ymin = -18.0f;
        float Ymax = 105.0f;
    };

    // `step` is told of every row (1 .. L) before it is drawn and may stop the fill by
    // returning false. The chart must have been set up for L points.
    static Bounds Fill(const StringGridModel& table, Chart* chart,
                       const std::function<bool(int)>& step);
    // The scale the chart gets: both bounds moved out by a tenth and 20.
    static Bounds WithMargins(Bounds b);
};
