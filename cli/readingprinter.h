#pragma once

#include "clioptions.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdio>
#include <functional>

class LiveLink;
struct Reading;

// The command-line tool's view of the live link: no window, one line of text per decoded
// reading. It also keeps the link's status texts, which the meter search uses to say why a
// port could not be opened.
class ReadingPrinter {
public:
    // Prints every reading `link` decodes from now on and keeps its status texts. The link
    // must not outlive this printer.
    void follow(LiveLink& link);

    // Where lines go (nullptr: nowhere, the link still decodes), and their format.
    void setOutput(std::FILE* out, CliOptions::Format format);
    // Called after each reading, printed or not; false from a write to the output.
    std::function<void(bool written)> onReading;
    qint64 readings() const { return m_readings; }
    QString statusText(int panel) const { return panel == 0 ? m_status0 : m_status1; }

    // One reading as a line (with its line end) at the given time.
    static QByteArray Line(const Reading& reading, const QDateTime& when,
                           CliOptions::Format format);

    void print(const Reading& reading);
    void setStatusText(int panel, const QString& text);

private:
    std::FILE* m_out = nullptr;
    CliOptions::Format m_format = CliOptions::Format::Tsv;
    qint64 m_readings = 0;
    QString m_status0;
    QString m_status1;
};
