#pragma once

#include "closingquestion.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class LiveLink;
class Recorder;
struct RecorderSample;
class Chart;
class QLabel;
class QSplitter;
class QToolButton;
class RateEditor;
class StringGrid;

// The real-time data recorder's window: a view of the Recorder. It shows each sample as a row
// of recordTable (number, date, time, value text, unit) and as a point of the time chart, and
// follows the recorder's changes of function, range and scale. The rate editor and the Start,
// Stop and Clear buttons are commands to the recorder.
//
// The chart shows the values in the unit of the reading now in force; an overload is drawn as
// the meter sent it and left out of the statistics; a sample taken after the link went down
// and came back starts a new line. Start and Clear leave a zoomed view, so that the new
// recording is in sight.
//
// After creating the window, call setupChart (it prepares the chart's time axis from now).
//
// Closing asks "Save the recording of N rows?" (Save, Discard, Cancel) while the table holds
// rows that were not saved since it was last emptied; the question names the journal files
// that keep the rows either way (noteJournalFile).
class RecorderWindow : public QWidget, public ClosingQuestion {
    Q_OBJECT
public:
    RecorderWindow(Recorder& recorder, LiveLink& link, QWidget* parent = nullptr);
    ~RecorderWindow() override;

    static constexpr int ClientWidth = 800;
    static constexpr int ClientHeight = 500;
    static constexpr int BarHeight = 32;

    // The window's own size, which the main window's Cascade gives it back. Its minimum size
    // keeps the chart's axis labels apart and the table's first rows in view.
    QSize sizeHint() const override;

    // No samples; RecorderSpan from the current rate; the chart's time axis from now to now +
    // RecorderSpan for RecorderPoints points; no pop-up menu. Throws ChartError when the chart
    // template exists but cannot be read.
    void setupChart();
    // The rate editor shows the recorder's rate (2 seconds if it was 0).
    void showRate();

    // Handlers: every edit of the rate, and the three buttons. Clear throws ChartError like
    // setupChart, after it has emptied table and chart (the button runs it inside the error
    // boundary, which reports it); under a running tick step Clear is put off until the
    // step has finished.
    void onRateEdited();
    void startRecording();
    void stopRecording();
    void clearRecording();

    int sampleCount() const { return m_sampleCount; }
    // Rows of the table not saved since it was last emptied.
    int unsavedRows() const { return m_sampleCount - m_savedCount; }

    // Runs the program's Save command on recordTable for the closing question's Save; true
    // when the table was written whole. Without one, Save keeps the window open.
    void setSaveAction(std::function<bool()> save) { m_saveAction = std::move(save); }
    // The table was saved whole (by the closing question or by File > Save).
    void markSaved() { m_savedCount = m_sampleCount; }
    // The recorder's journal started a file at `path`: the rows of the table from now on are
    // kept there.
    void noteJournalFile(const QString& path);
    // The closing question (ClosingQuestion).
    bool askToClose() override;
    // The unit the chart shows its values in, as a RecorderSamples unit size.
    int displayUnit() const { return m_displayUnit; }

    // The window's controls.
    RateEditor* rateEditor;
    QLabel* rateUnitLabel;
    QToolButton* btnStart;
    QToolButton* btnStop;
    QToolButton* btnClear;
    QSplitter* splitter;
    Chart* chart;
    StringGrid* recordTable;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The time axis span for the current rate, in days.
    double span() const;
    void redraw();
    void emptyTable();
    // The chart shows its points in the unit of the given size from now on.
    void followUnit(int unitSize);
    void extendTimeAxis(double when);
    void showSample(const RecorderSample& sample);
    void onFunctionChanged(int unitSize);
    void onRangeChanged(int unitSize);
    void onScaleChanged(int divisor);
    void showButtons(bool canStart, bool canStop);

    Recorder& m_recorder;
    LiveLink& m_link;
    int m_sampleCount = 0;
    int m_savedCount = 0;
    // The journal files holding the table's rows, oldest first.
    QStringList m_journalPaths;
    std::function<bool()> m_saveAction;
    int m_displayUnit = 1;
    int m_numberDigits = 0;
    bool m_shown = false;
    bool m_gapPending = false; // the link went down since the last sample
};
