#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// Reads the numbers, dates and times of data files whatever locale wrote them, so that a file
// saved under one regional setting opens and graphs under any other.
//
// Texts are first brought to one form: bidi and other invisible format marks (U+200E, U+200F,
// U+061C, ...) are dropped, every decimal digit (Persian, Arabic-Indic, Devanagari, ...) becomes
// its ASCII digit, and U+2212 MINUS SIGN becomes '-'.
//
// Numbers: the program writes them without group separators, so one '.', ',' or U+066B in a
// number is its decimal point; a text with more than one is not read. Infinity and NaN are not
// numbers here.
//
// Dates: ISO-8601 (with or without a time and UTC offset), or three numbers in some order, or
// a day, a month name (in any of many languages, long or short) and a year. The order of three
// numbers is decided for the whole file: every date text the reader learns narrows the orders
// that fit all of them (14/5/2024 rules out month-day-year); among those left, the one that puts
// the dates closest together wins (a file's rows were recorded close in time: 06.05.24 and
// 14.05.24 are eight days apart as day-month-year, eight years as year-month-day), then the
// current locale's own order, then day-month-year, month-day-year, year-month-day. A year
// written first with two digits counts as the locale's own order only where the locale writes
// it so. Two-digit years are taken within 50 years of today.
//
// Times: hours, minutes and seconds (and milliseconds) as numbers with any separators or words
// between them (9:30:00, 9.30.00, 9時30分00秒), 12-hour with an AM/PM text of any of many
// languages, 24-hour without. Time-zone leftovers of a format ("()", "[]") are ignored.
class AnyLocaleText {
public:
    AnyLocaleText();

    static QString normalized(const QString& text);
    static std::optional<double> number(const QString& text);

    // Narrows the orders of day, month and year that fit every date seen.
    void learnDate(const QString& date);
    // Whether the dates learned are read in the user's own order (and the user's own formats
    // may read them).
    bool ownOrderChosen() const { return chosen() == m_preference[0] && m_ownOrderUsable; }
    std::optional<QDate> date(const QString& text) const;
    // Milliseconds since midnight.
    std::optional<int> time(const QString& text) const;
    // Both, or one ISO-8601 text in `date` with `time` empty; local time.
    std::optional<QDateTime> dateTime(const QString& date, const QString& time) const;

private:
    enum Order { DayMonthYear, MonthDayYear, YearMonthDay, OrderCount };
    struct Numbers {
        std::vector<int> values;
        std::vector<int> digits;
        int month = 0; // from a month name, 0 when none
    };
    Numbers scanDate(const QString& normalizedText) const;
    Order chosen() const;
    static std::optional<QDate> make(int year, int yearDigits, int month, int day);

    std::array<bool, OrderCount> m_fits{true, true, true};
    // Earliest and latest date (Julian day) each order made of the dates learned.
    std::array<qint64, OrderCount> m_first{}, m_last{};
    bool m_learned = false;
    std::array<Order, OrderCount> m_preference{};
    bool m_ownTwoDigitYearFirst = false; // the user's short date starts with "yy"
    bool m_ownOrderUsable = true;        // no learned date contradicts the own year width
};
