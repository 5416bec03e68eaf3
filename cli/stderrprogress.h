#pragma once

#include "clioptions.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

// The progress of a long command (download, setup, erase: seconds to minutes) on standard
// error, so that the user sees it working. Shown when standard error is a terminal, unless
// --quiet; always with --progress. On a terminal one line is rewritten in place, with the
// percentage where the work has a measure and the seconds spent on the step where it has none
// (counted up once a second while the meter is waited for); elsewhere (a log file) a line is
// written per step and per tenth of the work, so the log stays short. The line is ended when
// the progress goes away, before anything else is said.
class StderrProgress {
public:
    StderrProgress(CliOptions::Progress mode, const QString& operation);
    ~StderrProgress();
    StderrProgress(const StderrProgress&) = delete;
    StderrProgress& operator=(const StderrProgress&) = delete;

    bool shown() const { return m_enabled; }
    // A step without a measure ("calling the meter").
    void step(const QString& text);
    // Work with a measure: `percent` of it done.
    void show(const QString& text, int percent);
    // Ends the line, so that a message can follow on a line of its own.
    void finishLine();

    static bool enabled(CliOptions::Progress mode);
    // Ends the line of the progress now shown, if any: called before a message is told.
    static void endCurrentLine();

private:
    void draw();

    bool m_enabled;
    bool m_terminal;
    QString m_operation;
    QString m_text;
    int m_percent = -1;
    int m_printedPercent = -1;
    bool m_lineOpen = false;
    QElapsedTimer m_since;
    QTimer m_tick;
};
