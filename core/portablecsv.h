#pragma once

#include "rangetable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The portable data format (docs/portable-format.md): the one file every layer writes for a
// reader that is not this program (a spreadsheet, a script). UTF-8 without a byte-order mark,
// RFC 4180 (comma separated, CR LF line ends, a field with a comma, a quote or a line break
// between double quotes with its quotes doubled), a header row, then one row per reading:
//
//   row,time,value,unit,si_value,si_unit,function,coupling,range,flags
//   1,2026-12-08T14:03:02.125+01:00,1.234,mV,0.001234,V,Voltage,DC,auto,hold
//
// - row: 1 for the first reading of the file, counting up by one; the last row's number is
//   the file's row count, so a reader learns it from the last line alone;
// - time: ISO-8601 local date and time with milliseconds and the UTC offset in force then;
// - value, unit: what the meter showed ("OL" and "-OL" for an overload), dot decimals;
// - si_value, si_unit: the value in the coherent unit of its quantity (mV -> V, KOhm -> Ohm,
//   uF -> F, F -> degrees Celsius, ...), empty for an overload;
// - function: the meter's function;
// - coupling ("AC", "DC" or empty), range ("auto", "manual" or empty when the writer does not
//   know it, as for logger records) and flags (the display's marks, space separated: overload,
//   hold, relative, max, min, peak-max, peak-min, low-battery; the recorder's journal adds
//   limit-above or limit-below for a sample taken beyond a limit).
//
// The last three columns came later: a reader takes the first seven as the minimum a row
// has (files written before them end after `function`), and columns are only ever added at the
// end, so a reader that looks columns up by their header name keeps working.
//
// The writer keeps one small cache (the UTC offset of the current hour), so it is an object;
// one per file being written. Widget-free, used by the recorder's journal, the logger
// downloads and ql350-cli.
class PortableCsv {
public:
    // The header row, line end included.
    static QByteArray header();
    // Whether a line (line end optional) is the header row: today's, or one that starts with
    // the seven columns every file has (older files, and columns added later).
    static bool isHeader(QByteArrayView line);
    // The columns written; a row read back has at least RequiredColumns.
    static constexpr int ColumnCount = 10;
    static constexpr int RequiredColumns = 7;
    enum Column { Row, Time, Value, Unit, SiValue, SiUnit, Function, Coupling, Range, Flags };

    // One reading as the program holds it: `when` a day count (local wall clock, see
    // daycount.h), `shownValue` the value text as the display showed it in the user's locale,
    // `value` the same number.
    struct Reading {
        qint64 row = 0;
        double when = 0;
        QString shownValue;
        double value = 0;
        QString unit;
        QString function;
        QString coupling; // "AC", "DC" or empty
        QString range;    // "auto", "manual" or empty
        QString flags;    // space separated words, see above
    };
    // Appends one row, CR LF included.
    void appendRow(QByteArray& out, const Reading& reading);

    // Appends one field (UTF-8) quoted if it has to be; no separator.
    static void appendField(QByteArray& out, QByteArrayView utf8);
    // The fields of one line (line end optional). A line break inside quotes is not looked
    // for: the writers never put one into a field.
    static QList<QByteArray> splitLine(QByteArrayView line);

    // "2026-12-08T14:03:02.125+01:00" for a day count, with the offset the local time zone
    // had then.
    QByteArray timeText(double when);
    // A time field back as a date-time (with its offset); nothing when it is not one.
    static std::optional<QDateTime> parseTime(QByteArrayView text);

    // The value text with dot decimals and ASCII digits; an overload text ("OL") unchanged.
    static QByteArray portableValue(const QString& shown, double value);

    // What a reader needs of a file without reading all of it: the header, the first and the
    // last line.
    struct Summary {
        bool valid = false; // the file starts with the header
        qint64 rows = 0;
        std::optional<QDateTime> start;
        std::optional<QDateTime> end;
        QString unit;     // of the first row
        QString function; // of the first row
        qint64 bytes = 0;
    };
    static Summary summarize(const QString& path);

private:
    // "2026-12-08T14:03:02.125+01:00"
    static constexpr int kTimeChars = 29;
    char* writeTime(char* p, double when);

    // The UTC offset of one wall-clock hour (hours since 30 Dec 1899); offsets change only at
    // whole hours, and looking one up costs more than formatting the whole row.
    qint64 m_offsetHour = -1;
    int m_offsetSeconds = 0;
    qint64 m_dateJulianDay = -1;
    char m_dateText[10] = {};
    QString m_unit;
    QByteArray m_unitField;
    QByteArray m_siUnitField;
    RangeTable::SiScale m_si;
    QString m_function;
    QByteArray m_functionField;
};
