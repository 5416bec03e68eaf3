#include "recorderwindow.h"

#include "charterror.h"
#include "datetimetext.h"
#include "dialogs.h"
#include "daycount.h"
#include "errorboundary.h"
#include "livelink.h"
#include "recorder.h"
#include "chart.h"
#include "rangetable.h"
#include "rateeditor.h"
#include "ratetext.h"
#include "stringgrid.h"
#include "timechartsetup.h"

#include <qcustomplot.h>

#include <QCloseEvent>
#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace {

// How long Clear, the function change and closing wait for a busy step. The steps run on
// this thread and never process messages while they sample, so a flag can only still be set
// here when this handler runs nested inside that step, which cannot finish before this
// handler returns: the wait is bounded so that it can never hang the program.
constexpr int kGlyphSize = 20;
// Sample times carry whole milliseconds: a sample within half of one of the axis end has
// reached it (the end is a sum of spans and may differ from the sample time in the last bit).
constexpr double kHalfMillisecond = SecondsToDays(0.0005);

enum class Glyph { Play, Stop, Erase };

// The pictures of the three buttons.
QIcon glyphIcon(Glyph glyph) {
    QPixmap pixmap(kGlyphSize, kGlyphSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    switch (glyph) {
    case Glyph::Play: {
        const QPointF triangle[] = {{5.5, 3.5}, {5.5, 16.5}, {16.5, 10}};
        p.setBrush(QColor(0, 160, 0));
        p.drawPolygon(triangle, 3);
        break;
    }
    case Glyph::Stop:
        p.setBrush(QColor(200, 0, 0));
        p.drawRect(QRectF(4.5, 4.5, 11, 11));
        break;
    case Glyph::Erase: {
        // An eraser lying across the button, its rubber end at the lower left.
        p.translate(10, 10);
        p.rotate(-40);
        p.setBrush(QColor(90, 120, 220));
        p.drawRoundedRect(QRectF(-2, -4, 10, 8), 1.5, 1.5);
        p.setBrush(QColor(255, 160, 180));
        p.drawRoundedRect(QRectF(-8, -4, 6, 8), 1.5, 1.5);
        p.resetTransform();
        p.setPen(QPen(QColor(40, 40, 40), 1.2));
        p.drawLine(QPointF(3, 17.5), QPointF(17, 17.5));
        break;
    }
    }
    return QIcon(pixmap);
}

QToolButton* pictureButton(QWidget* parent, Glyph glyph, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setIcon(glyphIcon(glyph));
    b->setIconSize(QSize(kGlyphSize, kGlyphSize));
    b->setFixedSize(28, 26);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    return b;
}

} // namespace

RecorderWindow::RecorderWindow(Recorder& recorder, LiveLink& link, QWidget* parent)
    : QWidget(parent), m_recorder(recorder), m_link(link) {
    setWindowTitle(QStringLiteral("Real Time Data Recorder"));

    auto* bar = new QWidget(this);
    bar->setFixedHeight(BarHeight);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 2, 6, 2);
    barLayout->setSpacing(4);
    rateEditor = new RateEditor(bar);
    rateEditor->setObjectName(QStringLiteral("rateEditor"));
    rateEditor->setToolTip(QStringLiteral("Real Time Recording Rate"));
    rateEditor->setStatusTip(QStringLiteral("Editor for Real Time Sampling Rate"));
    rateUnitLabel = new QLabel(QStringLiteral("mm:ss"), bar);
    QFont bold = rateUnitLabel->font();
    bold.setBold(true);
    rateUnitLabel->setFont(bold);
    btnStart = pictureButton(bar, Glyph::Play, QStringLiteral("Start collecting real time data"));
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnStop = pictureButton(bar, Glyph::Stop, QStringLiteral("Stop collecting real time data"));
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnClear = pictureButton(bar, Glyph::Erase, QStringLiteral("Clear real time data"));
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnStart->setEnabled(false);
    btnStop->setEnabled(false);
    barLayout->addWidget(rateEditor);
    barLayout->addWidget(rateUnitLabel);
    barLayout->addSpacing(12);
    barLayout->addWidget(btnStart);
    barLayout->addWidget(btnStop);
    barLayout->addWidget(btnClear);
    barLayout->addStretch(1);

    splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    chart = new Chart(splitter);
    chart->setObjectName(QStringLiteral("chart"));
    chart->setScaleMemoryKey(QStringLiteral("Recorder"));
    recordTable = new StringGrid(splitter);
    recordTable->setObjectName(QStringLiteral("recordTable"));
    splitter->addWidget(chart);
    splitter->addWidget(recordTable);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    const int below = ClientHeight - BarHeight - splitter->handleWidth();
    const int chartHeight = (ClientHeight - BarHeight) * 2 / 3;
    splitter->setSizes({chartHeight, below - chartHeight});

    recordTable->setColCount(6);
    recordTable->setRowCount(2);
    recordTable->setFixedRows(1);
    recordTable->setFixedCols(1);
    recordTable->setFixedColor(Qt::white);
    recordTable->setDefaultRowHeight(20);
    recordTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordTable->setSelectionMode(QAbstractItemView::ContiguousSelection);
    recordTable->setCells(1, 0, QStringLiteral("Date"));
    recordTable->setCells(2, 0, QStringLiteral("Time"));
    recordTable->setCells(3, 0, QStringLiteral("Value"));
    recordTable->setCells(4, 0, QStringLiteral("Range"));
    // Samples taken beyond a limit (Option > Limits) say which.
    recordTable->setCells(5, 0, QStringLiteral("Limit"));

    // The smallest chart whose axis labels stay apart: six time or date labels side by side
    // right of the value labels, and five value labels one above the other over the two-line
    // time labels and the axis caption. The table keeps its caption and two rows.
    const QFontMetrics metrics(chart->font());
    const int em = metrics.averageCharWidth();
    const int timeLabel =
        std::max(metrics.horizontalAdvance(DateTimeText::timeString(QTime(23, 58, 58))),
                 metrics.horizontalAdvance(DateTimeText::dateString(QDate(2026, 12, 28))));
    const int valueLabels = metrics.horizontalAdvance(QStringLiteral("-4000")) + 4 * em;
    // The plot's own minimum: the measure panel under it comes on top.
    chart->plot()->setMinimumSize(valueLabels + 6 * (timeLabel + 2 * em),
                                  11 * metrics.lineSpacing());
    recordTable->setMinimumHeight(3 * recordTable->defaultRowHeight() +
                            style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                            2 * recordTable->frameWidth());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(splitter, 1);
    resize(ClientWidth, ClientHeight);

    connect(rateEditor, &QLineEdit::textEdited, this, &RecorderWindow::onRateEdited);
    connect(btnStart, &QToolButton::clicked, this, &RecorderWindow::startRecording);
    connect(btnStop, &QToolButton::clicked, this, &RecorderWindow::stopRecording);
    connect(btnClear, &QToolButton::clicked, this,
            ErrorBoundary::guard([this] { clearRecording(); }));

    connect(&recorder, &Recorder::sampleTaken, this, &RecorderWindow::showSample);
    connect(&recorder, &Recorder::functionChanged, this, &RecorderWindow::onFunctionChanged);
    connect(&recorder, &Recorder::rangeChanged, this, &RecorderWindow::onRangeChanged);
    connect(&recorder, &Recorder::scaleChanged, this, &RecorderWindow::onScaleChanged);
    connect(&recorder, &Recorder::buttonsChanged, this, &RecorderWindow::showButtons);
    connect(&recorder, &Recorder::recordIntervalChanged, this, [this] { showRate(); });
    connect(&link, &LiveLink::connectionChanged, this, [this](bool connected, int) {
        if (!connected)
            m_gapPending = true;
    });
    showButtons(recorder.canStart(), recorder.canStop());
}

RecorderWindow::~RecorderWindow() = default;

QSize RecorderWindow::sizeHint() const {
    return QSize(ClientWidth, ClientHeight);
}

double RecorderWindow::span() const {
    // The rate 00:00 samples on every tick, about once a second: its axis spans
    // RecorderPoints seconds (a span of zero would never let the axis grow).
    return RecorderState::spanFor(m_recorder.recordInterval());
}

void RecorderWindow::redraw() {
    chart->redraw();
}

void RecorderWindow::emptyTable() {
    recordTable->setRowCount(2);
    recordTable->clearRow(1);
    m_savedCount = 0;
    m_journalPaths.clear();
}

void RecorderWindow::setupChart() {
    m_sampleCount = 0;
    m_savedCount = 0;
    m_journalPaths.clear();
    m_recorder.clear();
    const double now = m_link.clock().now();
    setupTimeChart(chart, RecorderState::Points, now, now + m_recorder.span());
    chart->setAllowPopup(false);
    // A new recorder opens the way the user last left the recorder's chart.
    if (chart->remembersFitToData())
        chart->fitToData();
}

// ---- rate ----------------------------------------------------------------------------------

void RecorderWindow::onRateEdited() {
    const RateText rate = RateText::parse(rateEditor->rateText());
    m_recorder.setRecordInterval(rate.interval());
    if (rate.corrected)
        rateEditor->setRateText(rate.text);
}

void RecorderWindow::showRate() {
    if (m_recorder.recordInterval() == 0)
        m_recorder.setRecordInterval(2);
    rateEditor->setRateText(RateText::Format(m_recorder.recordInterval()));
}

// ---- buttons -------------------------------------------------------------------------------

void RecorderWindow::showButtons(bool canStart, bool canStop) {
    btnStart->setEnabled(canStart);
    btnStop->setEnabled(canStop);
}

void RecorderWindow::startRecording() {
    m_recorder.start();
    chart->resetView(); // a zoom on the old samples would hide the new ones
}

void RecorderWindow::stopRecording() {
    // Stop also ends a schedule, running or waiting.
    m_recorder.stop();
}

void RecorderWindow::clearRecording() {
    // Not under a running tick step, which may be taking a sample.
    if (m_link.tickStepRunning()) {
        m_link.whenTimerIdle(this, ErrorBoundary::guard([this] { clearRecording(); }));
        return;
    }
    m_sampleCount = 0;
    m_recorder.clear();
    const double maxY = chart->manualMaxY();
    const double minY = chart->manualMinY();
    const double now = m_link.clock().now();
    std::optional<ChartError> failure;
    try {
        setupTimeChart(chart, RecorderState::Points, now, now + m_recorder.span());
    } catch (const ChartError& e) {
        // The chart keeps its settings, but the samples go all the same: table, chart and
        // count must agree, or the next sample would overwrite row 1 of the old table.
        failure = e;
        chart->setYData(0, -1, 0);
        chart->setPoints(RecorderState::Points);
    }
    chart->setManualMaxY(maxY);
    chart->setManualMinY(minY);
    chart->removeCursors();
    m_gapPending = false;
    chart->resetView();
    chart->setAllowPopup(false);
    emptyTable();
    if (failure)
        throw *failure;
}

// ---- sampling ------------------------------------------------------------------------------

void RecorderWindow::showSample(const RecorderSample& sample) {
    const double when = sample.when;
    const int n = ++m_sampleCount;
    if (recordTable->gridRowCount() < n + 1)
        recordTable->setRowCount(n + 1);
    // The newest row is shown at the bottom.
    const int visible = recordTable->visibleRowCount();
    if (visible < recordTable->gridRowCount())
        recordTable->setTopRow(recordTable->gridRowCount() - visible);
    const QString number = QString::number(n);
    if (number.size() > m_numberDigits) {
        // Column 0 widens when the row numbers would no longer fit.
        m_numberDigits = int(number.size());
        const int needed = recordTable->fontMetrics().horizontalAdvance(number) + 8;
        if (recordTable->colWidths(0) < needed)
            recordTable->setColWidths(0, needed);
    }
    const QDateTime stamp = daysToDateTime(when);
    recordTable->setRow(n, {number, DateTimeText::dateString(stamp.date()),
                            DateTimeText::timeString(stamp.time()), sample.valueText,
                            sample.unitText, sample.limit});

    // The chart's capacity grows in steps of 100 points.
    while (chart->points() < n)
        chart->setPoints(chart->points() + 100);
    followUnit(sample.unitSize);
    chart->setXData(0, n - 1, when);
    chart->setYData(0, n - 1, m_recorder.samples().converted(sample.number - 1, m_displayUnit));
    chart->markOverload(0, n - 1, sample.overload);
    if (m_gapPending && n > 1)
        chart->markGapBefore(0, n - 1);
    m_gapPending = false;
    chart->setValueUnit(sample.unitText);
    extendTimeAxis(when);
    redraw();
}

void RecorderWindow::extendTimeAxis(double when) {
    // The axis keeps its start at the first sample and grows by whole spans once a sample
    // reaches its end; it never scrolls old samples out. After a pause in the readings the
    // axis grows by as many spans as it takes to hold the new sample again. A zoomed chart
    // keeps its axis.
    const double end = chart->manualMaxX();
    if (end > when + kHalfMillisecond || chart->zoomMode())
        return;
    const double step = m_recorder.span() > 0 ? m_recorder.span() : span();
    chart->setManualMaxX(RecorderState::axisEndFor(end, when, step, kHalfMillisecond));
    chart->setManualMinX(chart->xData(0, 0));
}

// ---- reactions to the meter -----------------------------------------------------------------

void RecorderWindow::followUnit(int unitSize) {
    if (unitSize == m_displayUnit)
        return;
    m_displayUnit = unitSize;
    const int first = m_recorder.sampleCount() - m_sampleCount;
    m_recorder.samples().forEachConverted(unitSize, [this, first](int i, float v) {
        if (i >= first)
            chart->setYData(0, i - first, v);
    });
}

void RecorderWindow::onFunctionChanged(int unitSize) {
    // Called from the receive step, which never runs inside the tick step.
    m_sampleCount = 0;
    m_displayUnit = unitSize;
    m_gapPending = false;
    chart->setPoints(0);
    chart->removeCursors();
    redraw();
    emptyTable();
}

// The recorder knows which unit each stored point was taken in, so the window only needs the
// unit of the reading now in force: the chart converts every point from the unit it was taken
// in into that one, and its y limits (the scale change) fit.
void RecorderWindow::onRangeChanged(int unitSize) {
    followUnit(unitSize);
    redraw();
}

void RecorderWindow::onScaleChanged(int divisor) {
    const DivisorScale* scale = RangeTable::forDivisor(divisor);
    const double limit = scale ? scale->fullScale : 0;
    if (limit > 0) {
        chart->setManualMaxY(limit);
        chart->setManualMinY(-limit);
    }
    redraw();
}

// ---- window --------------------------------------------------------------------------------

void RecorderWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown || event->spontaneous())
        return;
    m_shown = true;
    recordTable->setColWidths(0, int(recordTable->colWidths(0) * 0.7));
    recordTable->setColWidths(1, int(recordTable->colWidths(1) * 1.5));
    recordTable->setColWidths(2, int(recordTable->colWidths(2) * 1.5));
    showRate();
}

void RecorderWindow::noteJournalFile(const QString& path) {
    m_journalPaths << path;
}

bool RecorderWindow::askToClose() {
    const int rows = unsavedRows();
    if (rows <= 0)
        return true;
    Dialogs::Request question;
    question.icon = QMessageBox::Question;
    question.title = QStringLiteral("Confirm");
    question.text = QStringLiteral("Save the recording of %1 rows?").arg(rows);
    if (!m_journalPaths.isEmpty()) {
        QStringList shown;
        for (const QString& path : std::as_const(m_journalPaths))
            shown << QDir::toNativeSeparators(path);
        question.text += QStringLiteral("\n\nThe journal keeps it either way in\n") +
                         shown.join(u'\n');
    }
    question.buttons = QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    switch (Dialogs::ask(this, question)) {
    case QMessageBox::Save:
        if (!m_saveAction || !m_saveAction())
            return false;
        markSaved();
        return true;
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void RecorderWindow::closeEvent(QCloseEvent* event) {
    // A receive step in progress may still feed the window: it closes once the step is over.
    if (m_link.receiveStepRunning()) {
        event->ignore();
        m_link.whenReceiveIdle(
            this, [this] { close(); }, 3000, LiveLink::OnTimeout::Run);
        return;
    }
    // Its table goes with it (the next recorder window starts empty). A save that throws is
    // reported by the boundary and keeps the window open.
    bool close = false;
    ErrorBoundary::Run([this, &close] { close = askToClose(); });
    if (!close) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
