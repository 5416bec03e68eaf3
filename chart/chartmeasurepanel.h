#pragma once

#include <QElapsedTimer>
#include <QWidget>

class Chart;
class QLabel;
class QToolButton;

// The small panel under a chart: the cursors' readout (Δt, Δvalue, Δvalue/Δt) while both are
// placed, and the statistics of the visible range or of the range between the cursors, with
// a "Copy" button that puts both on the clipboard as text (one "name<TAB>value" line each).
//
// It follows the chart's measureChanged(); a burst of changes (a redraw per sample, a cursor
// dragged) is shown once, when control returns to the event loop, so the statistics are
// computed at most once per burst. The statistics read every point in view, which on a long
// recording takes milliseconds while the chart changes with every sample: refreshes are then
// spaced so that they take at most a twentieth of the time (a short chart still refreshes at
// once), and a recorder of a million samples keeps its cost per sample.
class ChartMeasurePanel : public QWidget {
    Q_OBJECT
public:
    ChartMeasurePanel(Chart* chart, QWidget* parent);

    // What Copy puts on the clipboard.
    QString clipboardText() const;
    // Shows the chart's current numbers now.
    void refresh();

    QLabel* cursorLabel;
    QLabel* statisticsLabel;
    QToolButton* copyButton;

private:
    void scheduleRefresh();
    void copy();

    Chart* m_chart;
    bool m_refreshPending = false;
    // When the last refresh ended, and what it cost.
    QElapsedTimer m_sinceRefresh;
    qint64 m_refreshCostNs = 0;
};
