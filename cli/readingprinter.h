#pragma once

#include "readingformatter.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>

class LiveLink;
struct Reading;

// Where the readings of a run go: one stream (standard output) and its formatter, shared by
// every meter of the run so that their lines never interleave within a line and the portable
// format counts one row sequence. It also holds the run's clock: each reading is stamped with
// the wall time and the milliseconds since the run began on a monotonic clock.
class ReadingOutput {
public:
    ReadingOutput(std::FILE* out, const ReadingFormatter::Settings& settings);

    // The header the format asks for, once; false when writing failed.
    bool begin();
    // One reading as a line; false when writing failed (a closed pipe, a full disk).
    bool write(const Reading& reading, const StampedReading& stamp);
    // The stamp of a reading that arrives now.
    StampedReading stampNow(const QString& meter, qint64 sequence) const;

private:
    bool put(const QByteArray& bytes);

    std::FILE* m_out;
    ReadingFormatter m_formatter;
    QElapsedTimer m_clock;
};

// The command-line tool's view of one meter's live link: no window, one line per decoded
// reading into the run's output. It also keeps the link's status texts, which the meter search
// uses to say why a port could not be opened, and says on standard error when the meter came
// back under another port name.
class ReadingPrinter {
public:
    // Prints every reading `link` decodes from now on and keeps its status texts. The link
    // must not outlive this printer.
    void follow(LiveLink& link);

    // Where lines go (nullptr: nowhere, the link still decodes). The output must outlive the
    // printer or be taken away first.
    void setOutput(ReadingOutput* output) { m_output = output; }
    // The id printed with each reading (MeterIdentity::id).
    void setMeterId(const QString& id) { m_meterId = id; }
    const QString& meterId() const { return m_meterId; }

    // Called after each reading, printed or not; false from a write to the output.
    std::function<void(bool written)> onReading;
    // Called for each reading with its stamp, before onReading (publishers take it from here).
    std::function<void(const Reading& reading, const StampedReading& stamp)> onStamped;
    qint64 readings() const { return m_readings; }
    QString statusText(int panel) const { return panel == 0 ? m_status0 : m_status1; }

    void print(const Reading& reading);
    void setStatusText(int panel, const QString& text);
    // An event line on standard error: the meter's port was opened again under another name.
    void tellMoved(const QString& from, const QString& to);

private:
    ReadingOutput* m_output = nullptr;
    QString m_meterId;
    qint64 m_readings = 0;
    QString m_status0;
    QString m_status1;
};
