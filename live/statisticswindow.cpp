#include "statisticswindow.h"

#include "livelink.h"

#include "bevelpanel.h"
#include "childwindow.h"
#include "dragmover.h"
#include "framedecoder.h"
#include "rangetable.h"
#include "limitmark.h"
#include "stalemark.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int kRowTop[2] = {8, 40};
constexpr int kColumnLeft[2] = {8, 144};
// Offsets of the value box and the unit label from the name label.
constexpr int kBoxOffset = 41;
constexpr int kUnitOffset = 91;
// The unit box at its narrowest, and the room left beside its centred text.
constexpr int kUnitWidth = 36;
constexpr int kUnitPadding = 3;
constexpr int kDesignWidth = 285;

QFont labelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    return font;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  Qt::Alignment alignment, const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setFont(labelFont());
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

// Wide enough for the widest unit the meter can show, in the font the box shows it in.
int unitBoxWidth(const QFont& font) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& unit : RangeTable::unitTexts())
        widest = std::max(widest, metrics.horizontalAdvance(unit));
    return std::max(kUnitWidth, widest + 2 * kUnitPadding);
}

// Yellow on black.
QLabel* makeCaption(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    QLabel* label = makeLabel(parent, name, text, geometry, Qt::AlignHCenter, Qt::yellow);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, Qt::black);
    label->setPalette(pal);
    label->setAutoFillBackground(true);
    return label;
}

// Blue, right-aligned, in a sunken box.
QLabel* makeValueBox(QWidget* parent, const char* name, const QString& text,
                     const QRect& geometry) {
    QLabel* label = makeLabel(parent, name, text, geometry, Qt::AlignRight, Qt::blue);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setMargin(1);
    return label;
}

} // namespace

StatisticsWindow::StatisticsWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Status"));
    // A unit box wider than its narrowest moves the right column, the buttons and the right
    // edge along by the difference.
    const int unitWidth = unitBoxWidth(labelFont());
    const int extra = unitWidth - kUnitWidth;
    const int columnLeft[2] = {kColumnLeft[0], kColumnLeft[1] + extra};
    const int clientWidth = kDesignWidth + 2 * extra;
    resize(clientWidth, ClientHeight);

    auto* panel = new BevelPanel(this, BevelPanel::Bevel::Raised, 2, true);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, clientWidth, ClientHeight);

    auto place = [&columnLeft](int row, int column, int offset, int width) {
        return QRect(columnLeft[column] + offset, kRowTop[row], width, 25);
    };
    makeCaption(panel, "Label1", QStringLiteral("MAX"), place(0, 0, 0, 41));
    makeCaption(panel, "Label2", QStringLiteral("MIN"), place(0, 1, 0, 41));
    makeCaption(panel, "Label3", QStringLiteral("PMAX"), place(1, 0, 0, 41));
    makeCaption(panel, "Label4", QStringLiteral("PMIN"), place(1, 1, 0, 41));
    const QString zero = QStringLiteral("0.00");
    maxLabel = makeValueBox(panel, "lblMAX", zero, place(0, 0, kBoxOffset, 49));
    minLabel = makeValueBox(panel, "lblMIN", zero, place(0, 1, kBoxOffset, 49));
    peakMaxLabel = makeValueBox(panel, "lblPMAX", QString(), place(1, 0, kBoxOffset, 49));
    peakMinLabel = makeValueBox(panel, "lblPMIN", QString(), place(1, 1, kBoxOffset, 49));
    const QString unit = QStringLiteral("mV");
    maxUnitLabel = makeCaption(panel, "lblRange1", unit, place(0, 0, kUnitOffset, unitWidth));
    peakMaxUnitLabel = makeCaption(panel, "lblRange2", unit, place(0, 1, kUnitOffset, unitWidth));
    minUnitLabel = makeCaption(panel, "lblRange3", unit, place(1, 0, kUnitOffset, unitWidth));
    peakMinUnitLabel = makeCaption(panel, "lblRange4", unit, place(1, 1, kUnitOffset, unitWidth));

    resetButton = new QPushButton(QStringLiteral("Reset"), panel);
    resetButton->setObjectName(QStringLiteral("resetButton"));
    resetButton->setGeometry(104 + 2 * extra, 72, 75, 25);
    connect(resetButton, &QPushButton::clicked, this, &StatisticsWindow::resetStatistics);
    closeButton = new QPushButton(QStringLiteral("Close"), panel);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setGeometry(192 + 2 * extra, 72, 75, 25);
    connect(closeButton, &QPushButton::clicked, this, [this] { closeChildWindow(this); });

    DragMover::attach(this);
}

QString StatisticsWindow::statisticText(float count, int divisor) {
    if (count >= 4000)
        return QStringLiteral("OL");
    if (count <= -4000)
        return QStringLiteral("-OL");
    int decimals = FrameDecoder::decimalsFor(divisor);
    if (decimals < 0) { // a divisor the meter never reports: show the plain count
        divisor = 1;
        decimals = 0;
    }
    return FrameDecoder::fixedText(double(count) / divisor, decimals);
}

void StatisticsWindow::showStatistics(const Reading& r, const Statistics& s, bool max, bool pmax,
                                bool min, bool pmin) {
    for (QLabel* unit : {maxUnitLabel, peakMaxUnitLabel, minUnitLabel, peakMinUnitLabel})
        unit->setText(r.unitText);
    if (max)
        maxLabel->setText(statisticText(s.maxCount, r.divisor));
    if (pmax)
        peakMaxLabel->setText(statisticText(s.peakMaxCount, r.divisor));
    if (min)
        minLabel->setText(statisticText(s.minCount, r.divisor));
    if (pmin)
        peakMinLabel->setText(statisticText(s.peakMinCount, r.divisor));
}

void StatisticsWindow::clearPeak() {
    peakMaxLabel->clear();
    peakMinLabel->clear();
}

void StatisticsWindow::follow(LiveLink& link) {
    m_staleMark = new StaleMark(this, link);
    connect(&link, &LiveLink::updated, this, &StatisticsWindow::showUpdate);
    onReset = [&link] { link.resetStatistics(); };
}

void StatisticsWindow::followLimits(const LimitMonitor& monitor) {
    delete m_limitMark;
    m_limitMark = new LimitMark(this,
                                {maxLabel, minLabel, peakMaxLabel, peakMinLabel, maxUnitLabel,
                                 peakMaxUnitLabel, minUnitLabel, peakMinUnitLabel},
                                monitor);
}

bool StatisticsWindow::limitShown() const {
    return m_limitMark && m_limitMark->zone() != LimitWatch::Zone::Inside;
}

bool StatisticsWindow::readingStale() const {
    return m_staleMark && m_staleMark->stale();
}

void StatisticsWindow::showUpdate(const LiveUpdate& update) {
    if (update.peakEnded)
        clearPeak();
    showStatistics(update.reading, update.stats, update.maxMoved, update.peakMaxMoved,
                   update.minMoved, update.peakMinMoved);
}

void StatisticsWindow::resetStatistics() {
    // The reset waits for the receive step, and the window may be closed meanwhile.
    QPointer<StatisticsWindow> self(this);
    if (onReset)
        onReset();
    if (!self)
        return;
    maxLabel->clear();
    minLabel->clear();
    peakMaxLabel->clear();
    peakMinLabel->clear();
}

