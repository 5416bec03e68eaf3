#include "gaugewindow.h"

#include "livelink.h"

#include "childwindow.h"
#include "dragmover.h"
#include "rangetable.h"
#include "stalemark.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {

// The gauge's own half turn, slightly short of pi.
constexpr double kHalfTurn = 3.14156;
// Angle of step 0 (lower left, about 30 degrees) and of one step (about 3 degrees).
constexpr double kStartAngle = kHalfTurn * 0.16666666666666666;
constexpr double kStep = kHalfTurn * 0.6666666666666666 * 0.025;
// Steps a needle can go past either end; far beyond anything the meter can show.
constexpr double kStepLimit = 1e6;
constexpr double kStepTolerance = 1e-4;
// Needle steps between two labels of the scale.
constexpr int kStepsPerLabel = 10;

constexpr std::array<QPoint, 5> kLabelPos{QPoint(6, 87), QPoint(47, 34), QPoint(127, 12),
                                          QPoint(219, 32), QPoint(260, 111)};

// Label i of the scale's five: the full scale divided into quarters.
QString scaleLabel(const DivisorScale& scale, std::size_t i) {
    return QString::number(scale.fullScale * int(i) / 4);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, int left) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, 8, 13, 13);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

GaugeWindow::GaugeWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Analog"));
    resize(ClientWidth, ClientHeight);

    dialImage = new QLabel(this);
    dialImage->setObjectName(QStringLiteral("Image1"));
    dialImage->setGeometry(0, 0, ClientWidth, ClientHeight);
    m_canvas = QImage(dialImage->size(), QImage::Format_RGB32);
    m_canvas.fill(Qt::white);

    const int w = m_canvas.width();
    R0 = w / 2;
    R1 = R0 - 10;
    R2 = R0 - 15;
    R3 = R0 + 5;
    drawScale();
    showCanvas();

    QFont labelFont = font();
    labelFont.setPixelSize(11);
    for (std::size_t i = 0; i < scaleLabels.size(); ++i) {
        auto* label = new QLabel(scaleLabel(*RangeTable::forDivisor(1), i), this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setFont(labelFont);
        label->move(kLabelPos[i]);
        label->adjustSize();
        scaleLabels[i] = label;
    }

    signLabel = new QLabel(QStringLiteral("+"), this);
    signLabel->setObjectName(QStringLiteral("lblPlus"));
    signLabel->move(5, 105);
    QFont signFont = signLabel->font();
    signFont.setBold(true);
    signLabel->setFont(signFont);
    signLabel->adjustSize();

    closeButton = makeButton(this, "closeButton", QStringLiteral("X"), 262);
    connect(closeButton, &QPushButton::clicked, this, [this] { closeChildWindow(this); });
    minimizeButton = makeButton(this, "minimizeButton", QStringLiteral("-"), 246);
    QFont black(QStringLiteral("Arial Black"));
    black.setBold(true);
    black.setPixelSize(11);
    minimizeButton->setFont(black);
    connect(minimizeButton, &QPushButton::clicked, this, [this] { minimiseChildWindow(this); });

    DragMover::attach(this);
}

QPoint GaugeWindow::pointAt(double angle, double radius) const {
    return QPoint(int(std::trunc(R0 - std::cos(angle) * radius)),
                  int(std::trunc(R0 - std::sin(angle) * radius)) + 30);
}

QPoint GaugeWindow::centre() const {
    return pointAt(kStartAngle, 0);
}

QPoint GaugeWindow::needleTip() const {
    return pointAt(kStartAngle + m_needlePosition * kStep, R2);
}

void GaugeWindow::drawScale() {
    QPainter p(&m_canvas);
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
    double angle = kStartAngle;
    for (int i = 0; i <= 40; ++i) {
        p.drawLine(pointAt(angle, R1), pointAt(angle, i % 10 == 0 ? R3 : R0));
        angle += kStep;
    }
}

void GaugeWindow::drawNeedle(int step, const QColor& colour) {
    // Aliased, so that the white line covers the black one exactly.
    QPainter p(&m_canvas);
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre(), pointAt(kStartAngle + step * kStep, R2));
}

void GaugeWindow::showCanvas() {
    // White is the canvas' background and shows the window's own colour.
    QImage shown = m_canvas.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < shown.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x)
            if (line[x] == 0xFFFFFFFF)
                line[x] = 0;
    }
    dialImage->setPixmap(QPixmap::fromImage(shown));
}

void GaugeWindow::relabel(int divisor) {
    const DivisorScale* scale = RangeTable::forDivisor(divisor);
    if (!scale)
        return;
    for (std::size_t i = 0; i < scaleLabels.size(); ++i) {
        scaleLabels[i]->setText(scaleLabel(*scale, i));
        scaleLabels[i]->adjustSize();
    }
    // A needle step is a tenth of the distance between two labels.
    m_analogScale = float(scale->fullScale) / float(4 * kStepsPerLabel);
}

void GaugeWindow::showValue(double magnitude, const QString& sign) {
    signLabel->setText(sign);
    signLabel->adjustSize();

    double steps = magnitude / double(m_analogScale);
    if (std::isnan(steps))
        return;
    // Readings are whole hundredths of a step, but in single precision 2.000 / 0.1 comes out
    // just below 20: nudge before truncating so that a reading on a tick shows on it.
    steps += steps >= 0 ? kStepTolerance : -kStepTolerance;
    const int n = int(std::trunc(std::clamp(steps, -kStepLimit, kStepLimit)));
    if (m_needleDrawn && n == m_needlePosition)
        return;
    drawNeedle(m_needlePosition, Qt::white);
    drawNeedle(n, Qt::black);
    m_needlePosition = n;
    m_needleDrawn = true;
    showCanvas();
}

QString GaugeWindow::labelText(int i) const {
    if (i < 1 || i > int(scaleLabels.size()))
        return {};
    return scaleLabels[std::size_t(i - 1)]->text();
}

QString GaugeWindow::signText() const {
    return signLabel->text();
}

void GaugeWindow::follow(const LiveLink& link) {
    m_staleMark = new StaleMark(this, link);
    connect(&link, &LiveLink::updated, this, &GaugeWindow::showUpdate);
    if (link.connected())
        relabel(link.reading().divisor);
}

bool GaugeWindow::readingStale() const {
    return m_staleMark && m_staleMark->stale();
}

void GaugeWindow::showUpdate(const LiveUpdate& update) {
    if (update.functionChanged || update.scaleChanged)
        relabel(update.reading.divisor);
    showValue(update.needleMagnitude(),
              update.needleNegative() ? QStringLiteral("-") : QStringLiteral("+"));
}
