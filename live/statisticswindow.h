#pragma once

#include "reading.h"

#include <QWidget>

#include <functional>

class LiveLink;
class StaleMark;
struct LiveUpdate;
class QLabel;
class QPushButton;

// The status window: MAX, MIN, PMAX and PMIN of the live readings in the current unit, and the
// Reset of those statistics. Captionless; moved by dragging its face.
class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsWindow(QWidget* parent = nullptr);

    // Shows the statistics of every reading the link decodes; Reset resets the link's.
    void follow(LiveLink& link);
    // Whether the reading shown is stale (no valid frame for two seconds): then drawn faded.
    bool readingStale() const;
    // Colours the values while the readings are beyond a limit.
    void followLimits(const class LimitMonitor& monitor);
    bool limitShown() const;
    void showUpdate(const LiveUpdate& update);

    // Shows the unit, and the trackers whose flag says they changed on this reading.
    void showStatistics(const Reading& r, const Statistics& s, bool max, bool pmax, bool min,
                        bool pmin);
    // Peak hold ended: PMAX and PMIN go blank.
    void clearPeak();

    // A tracker's count as shown: "OL" from 4000 up, "-OL" from -4000 down, else the count
    // divided by the divisor with its decimals.
    static QString statisticText(float count, int divisor);

    // Called by Reset before the four boxes are emptied: resets the statistics (after the
    // receive step has finished). follow() sets it.
    std::function<void()> onReset;

    // The width is 285 when the widest unit fits a 36-pixel box, and grows with the unit boxes
    // in a wider font.
    static constexpr int ClientHeight = 104;

private:
    void resetStatistics();

    QLabel* maxLabel;
    QLabel* minLabel;
    QLabel* peakMaxLabel;
    QLabel* peakMinLabel;
    QLabel* maxUnitLabel;
    QLabel* peakMaxUnitLabel;
    QLabel* minUnitLabel;
    QLabel* peakMinUnitLabel;
    QPushButton* resetButton;
    QPushButton* closeButton;
    StaleMark* m_staleMark = nullptr;
    class LimitMark* m_limitMark = nullptr;
};
