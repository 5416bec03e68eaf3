#pragma once

#include "clioptions.h"

#include "portablecsv.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

struct Reading;

// One reading as it is printed, with what the tool knows besides the meter's frame: which
// meter sent it, its number in that meter's stream, and when it arrived on the one clock of a
// run (the wall clock with its UTC offset, and a monotonic time that never jumps).
struct StampedReading {
    QString meter;       // the meter's id (MeterIdentity::id)
    qint64 sequence = 0; // 1 for the meter's first reading of the run, then counting up
    QDateTime wall;
    qint64 monotonicMs = 0;
};

// Turns readings into the lines of one output format. Lines end with a line feed, except the
// portable CSV's, which end with CR LF as its format says. A formatter is stateful (the
// portable format counts rows), so there is one per output.
//
//   tsv, legacy csv   time, value, unit, function, coupling, ranging, hold, overload;
//                     with several meters also the meter's id and the monotonic time
//   csv               the portable format (docs/portable-format.md), header always; with
//                     several meters two more columns, meter and monotonic_ms, at the end
//   json              one object a line, every key on every line; the value is written with
//                     the meter's own digits (1.230 stays 1.230), null when overloaded
//   influx            InfluxDB line protocol: measurement ql350, tags meter, function,
//                     coupling and unit, fields value, si_value and overload, nanoseconds
class ReadingFormatter {
public:
    struct Settings {
        CliOptions::Format format = CliOptions::Format::Tsv;
        bool legacyColumns = false; // csv: today's eight columns instead of the portable ones
        bool header = false;        // tsv and legacy csv: a header line first
        bool severalMeters = false; // the meter and the monotonic time in tsv and csv lines
    };
    explicit ReadingFormatter(const Settings& settings);

    // What goes before the first line (a header row), possibly nothing.
    QByteArray header() const;
    QByteArray line(const Reading& reading, const StampedReading& stamp);

    // The value as the meter's display shows it, in the C locale: "1.230", "-0.567"; "OL" or
    // "-OL" when overloaded.
    static QString valueText(const Reading& reading);
    // "AC", "DC" or empty.
    static QString couplingText(const Reading& reading);
    // The display's marks as the portable format's flags column writes them.
    static QString flagsText(const Reading& reading);

    // Line protocol escapes: a measurement escapes commas and spaces, a tag key or value
    // also equal signs, each with a backslash.
    static QByteArray influxEscape(const QString& text, bool measurement);

private:
    QByteArray jsonLine(const Reading& reading, const StampedReading& stamp) const;
    QByteArray influxLine(const Reading& reading, const StampedReading& stamp) const;
    QByteArray separatedLine(const Reading& reading, const StampedReading& stamp) const;
    QByteArray portableLine(const Reading& reading, const StampedReading& stamp);

    Settings m_settings;
    PortableCsv m_portable;
    qint64 m_rows = 0;
};
