#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <array>

class LiveLink;
class StaleMark;
struct LiveUpdate;
class QLabel;
class QPushButton;

// The analog gauge: a needle on a 120-degree arc of 41 ticks spanning the meter's full count
// of 4000, with five scale labels for the current decimal point. Captionless; moved by
// dragging its face.
class GaugeWindow : public QWidget {
    Q_OBJECT
public:
    explicit GaugeWindow(QWidget* parent = nullptr);

    // Shows every reading the link decodes, relabelled on each change of scale; a gauge
    // opened while readings arrive starts on the scale of the current reading.
    void follow(const LiveLink& link);
    // Whether the reading shown is stale (no valid frame for two seconds): then drawn faded.
    bool readingStale() const;
    void showUpdate(const LiveUpdate& update);

    // Scale labels and value units per step for the divisor (1, 10, 100 or 1000; any other
    // divisor changes nothing).
    void relabel(int divisor);
    // Moves the needle to the magnitude and shows the sign ("+" or "-").
    void showValue(double magnitude, const QString& sign);

    // What the gauge shows: scale label 1..5, the sign, the needle's ends, the drawing.
    QString labelText(int i) const;
    QString signText() const;
    QPoint centre() const;
    QPoint needleTip() const;
    const QImage& canvas() const { return m_canvas; }
    // Value units per step of the scale; the step the needle was last drawn at.
    float analogScale() const { return m_analogScale; }
    int needlePosition() const { return m_needlePosition; }

    static constexpr int ClientWidth = 289;
    static constexpr int ClientHeight = 184;

private:
    QPoint pointAt(double angle, double radius) const;
    void drawScale();
    void drawNeedle(int step, const QColor& colour);
    void showCanvas();

    // Value units per step of the scale, and the step at which the needle was last drawn.
    float m_analogScale = 100.0f;
    int m_needlePosition = 0;
    // Radii from the picture's width: ticks from R1 to R0 (long ones to R3), needle R2.
    double R0 = 0, R1 = 0, R2 = 0, R3 = 0;
    QImage m_canvas;
    bool m_needleDrawn = false;

    QLabel* dialImage;
    std::array<QLabel*, 5> scaleLabels{};
    QLabel* signLabel;
    QPushButton* closeButton;
    QPushButton* minimizeButton;
    StaleMark* m_staleMark = nullptr;
};
