#pragma once

#include <QColor>
#include <QWidget>

// A flat panel of one colour with an optional single border line and a raised or lowered
// bevel inside it; children are placed on it at fixed positions.
class BevelPanel : public QWidget {
    Q_OBJECT
public:
    enum class Bevel { None, Raised, Lowered };

    BevelPanel(QWidget* parent, Bevel bevel, int bevelWidth, bool borderLine = false);

    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Bevel m_bevel;
    int m_bevelWidth;
    bool m_borderLine;
};
