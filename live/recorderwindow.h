#pragma once

#include "recordersamples.h"

#include <QWidget>

class LiveLink;
class Chart;
class QLabel;
class QSplitter;
class QToolButton;
class RateEditor;
class StringGrid;

// The real-time data recorder: samples the live reading at the rate typed into MaskEdit1
// while recording is on (paced by the main timer, which calls TakeSample), and shows each
// sample as a row of recordTable (number, date, time, value text, unit) and as a point of the time
// chart chart. Start, Stop and Clear are the window's own buttons; the decoder tells it of
// changes of function, range and scale.
//
// After creating the window, call SetupChart (it prepares the chart's time axis from now).
class RecorderWindow : public QWidget {
    Q_OBJECT
public:
    explicit RecorderWindow(LiveLink& link, QWidget* parent = nullptr);
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
    void SetupChart();
    // One sample of the current reading, taken at `when` (days since 30 Dec 1899).
    void TakeSample(double when);
    // The meter changed function: table and chart are emptied, the time axis stays.
    void FunctionChange();
    // The meter changed range: the chart shows every point in the new unit.
    void RangeChange(int previousMultiplier, int multiplier);
    // The meter changed scale: y limits symmetric about 0 for the new divisor.
    void ScaleChange();
    // The rate editor shows RecordInterval (2 if it was 0).
    void ShowRate();
    void SetButtons(bool startEnabled, bool stopEnabled);

    // Handlers: every edit of the rate, and the three buttons. Clear throws ChartError like
    // SetupChart, after it has emptied table and chart (the button runs it inside the error
    // boundary, which reports it); under a running timer step Clear is put off until the
    // step has finished.
    void MaskEdit1Change();
    void btnStartClick();
    void btnStopClick();
    void btnClearClick();

    int SampleCount() const { return m_sampleCount; }
    // The unit the chart shows its values in, as a RecorderSamples unit size.
    int DisplayUnit() const { return m_displayUnit; }

    // The window's controls.
    RateEditor* MaskEdit1;
    QLabel* Label1;
    QToolButton* btnStart;
    QToolButton* btnStop;
    QToolButton* btnClear;
    QSplitter* Splitter1;
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

    LiveLink& m_link;
    RecorderSamples m_samples;
    int m_sampleCount = 0;
    int m_displayUnit = 1;
    int m_numberDigits = 0;
    bool m_shown = false;
};
