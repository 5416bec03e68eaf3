#pragma once

#include "clioptions.h"

#include "noviews.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdio>
#include <functional>

class FrameDecoder;
struct Reading;

// The live views of the command-line tool: no window, one line of text per decoded reading.
//
// The live link decodes a frame only while some view exists, and its decoder calls the
// gauge's needle last, once the reading's value has been worked out; so this object says it
// has a gauge and prints there. It also keeps what the link tells the main window's status
// bar, which the meter search uses to say why a port could not be opened.
class ReadingPrinter : public NoViews {
public:
    // The decoder whose current reading is printed; nothing is printed without one.
    void setDecoder(const FrameDecoder* decoder) { m_decoder = decoder; }

    // Where lines go (nullptr: nowhere, the link still decodes), and their format.
    void setOutput(std::FILE* out, CliOptions::Format format);
    // Called after each reading, printed or not; false from a write to the output.
    std::function<void(bool written)> onReading;
    qint64 readings() const { return m_readings; }
    QString statusText(int panel) const { return panel == 0 ? m_status0 : m_status1; }

    // One reading as a line (with its line end) at the given time.
    static QByteArray Line(const Reading& reading, const QDateTime& when,
                           CliOptions::Format format);

    // The gauge is the one view: it is called once a reading's value is worked out.
    bool hasGauge() const override { return true; }
    void gaugeShow(double magnitude, const QString& sign) override;
    void setStatusText(int panel, const QString& text) override;

private:
    const FrameDecoder* m_decoder = nullptr;
    std::FILE* m_out = nullptr;
    CliOptions::Format m_format = CliOptions::Format::Tsv;
    qint64 m_readings = 0;
    QString m_status0;
    QString m_status1;
};
