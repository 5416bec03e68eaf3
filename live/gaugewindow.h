#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <array>

class QLabel;
class QPushButton;

// The analog gauge: a needle on a 120-degree arc of 41 ticks spanning the meter's full count
// of 4000, with five scale labels for the current decimal point. Captionless; moved by
// dragging its face.
class GaugeWindow : public QWidget {
    Q_OBJECT
public:
    // analogScale (value units per step) and needlePosition (the step at which the needle was
    // last drawn) outlive the window.
    GaugeWindow(float& analogScale, int& needlePosition, QWidget* parent = nullptr);

    // Scale labels and value units per step for the divisor (1, 10, 100 or 1000; any other
    // divisor changes nothing).
    void Relabel(int divisor);
    // Moves the needle to the magnitude and shows the sign ("+" or "-").
    void ShowValue(double magnitude, const QString& sign);

    // What the gauge shows: scale label 1..5, the sign, the needle's ends, the drawing.
    QString LabelText(int i) const;
    QString SignText() const;
    QPoint Centre() const;
    QPoint NeedleTip() const;
    const QImage& Canvas() const { return m_canvas; }

    static constexpr int ClientWidth = 289;
    static constexpr int ClientHeight = 184;

private:
    QPoint PointAt(double angle, double radius) const;
    void DrawScale();
    void DrawNeedle(int step, const QColor& colour);
    void ShowCanvas();

    float& m_analogScale;
    int& m_needlePosition;
    // Radii from the picture's width: ticks from R1 to R0 (long ones to R3), needle R2.
    double R0 = 0, R1 = 0, R2 = 0, R3 = 0;
    QImage m_canvas;
    bool m_needleDrawn = false;

    QLabel* Image1;
    std::array<QLabel*, 5> Labels{};
    QLabel* lblPlus;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};
