#include "chart.h"

#include "charterror.h"
#include "chartmeasurepanel.h"
#include "daycount.h"
#include "decimatedgraph.h"
#include "settingsstore.h"

#include <qcustomplot.h>

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>
#include <QRegularExpression>
#include <QRubberBand>
#include <QTimeZone>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kDragThreshold = 5;        // pixels a press must move to start a zoom band
constexpr double kHotSpotRadius = 8;     // pixels around a point that count as clicking it
constexpr double kZeroSpanDateTime = 60; // seconds each side of a zero-span date-time range
constexpr double kZeroSpanNumber = 0.5;
constexpr double kScreenDpi = 96;
constexpr double kFitMargin = 0.03; // share of the data's span added above and below when fitted
constexpr int kCursorGrab = 5;      // pixels either side of a cursor line that grab it
const QColor kCursorColors[2] = {QColor(255, 140, 0), QColor(0, 190, 255)};

Qt::PenStyle penStyleFor(int type) {
    switch (type) {
    case 1:
        return Qt::DashLine;
    case 2:
        return Qt::DotLine;
    case 3:
        return Qt::DashDotLine;
    case 4:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}

// Default colours of subsets 0, 1, 2, ... until the program sets its own.
PEColor subsetColor(const std::vector<PEColor>& colors, int subset) {
    constexpr PEColor defaults[] = {0x800000, 0x0000FF, 0x008000, 0xFF00FF,
                                    0x808000, 0x008080, 0x000080, 0x800080};
    if (subset >= 0 && subset < int(colors.size()))
        return colors[subset];
    return subset >= 0 ? defaults[subset % int(std::size(defaults))] : 0;
}

template <typename T> T indexed(const std::vector<T>& v, int i, T fallback) {
    return i >= 0 && i < int(v.size()) ? v[i] : fallback;
}

template <typename T> void setIndexed(std::vector<T>& v, int i, T value, T fill, int limit) {
    if (i < 0 || i >= limit)
        return;
    if (i >= int(v.size()))
        v.resize(i + 1, fill);
    v[i] = value;
}

// A range that QCustomPlot accepts: ordered and not of zero span.
QCPRange usableRange(double lower, double upper, double halfSpanIfZero) {
    if (lower > upper)
        std::swap(lower, upper);
    if (!(upper - lower > std::max(std::abs(upper), 1.0) * 1e-12)) {
        lower -= halfSpanIfZero;
        upper += halfSpanIfZero;
    }
    return QCPRange(lower, upper);
}

QString withoutTimeZone(QString format) {
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    return format.remove(zone).trimmed();
}

} // namespace

Chart::Chart(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_plot = new QCustomPlot(this);
    layout->addWidget(m_plot, 1);
    m_plot->setInteractions(QCP::Interactions());
    m_plot->setMouseTracking(true);
    m_plot->setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
    m_plot->setLocale(QLocale());

    m_dateTicker.reset(new QCPAxisTickerDateTime);
    m_dateTicker->setTimeZone(QTimeZone::utc());
    m_numberTicker.reset(new QCPAxisTicker);

    m_band = new QRubberBand(QRubberBand::Rectangle, m_plot);
    m_band->hide();
    m_prompt = new QLabel(m_plot);
    m_prompt->setAutoFillBackground(true);
    m_prompt->setStyleSheet(QStringLiteral(
        "QLabel { background: #ffffe1; color: black; border: 1px solid black; padding: 1px; }"));
    m_prompt->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_prompt->hide();

    m_plot->setFocusPolicy(Qt::StrongFocus); // cursor keys
    setFocusProxy(m_plot);
    m_measurePanel = new ChartMeasurePanel(this, this);
    m_measurePanel->setObjectName(QStringLiteral("measurePanel"));
    m_measurePanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout->addWidget(m_measurePanel, 0);

    m_plot->installEventFilter(this); // to hide the cursor prompt when the mouse leaves
    connect(m_plot, &QCustomPlot::mousePress, this, &Chart::mousePressed);
    connect(m_plot, &QCustomPlot::mouseMove, this, &Chart::mouseMoved);
    connect(m_plot, &QCustomPlot::mouseRelease, this, &Chart::mouseReleased);
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, &Chart::mouseDoubleClicked);
    connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &Chart::updateTickFormat);
    connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this] { updateCursorItems(); emit measureChanged(); });

    rebuild();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

Chart::~Chart() {
    // The graphs read the series' summaries while drawing: let them go first.
    delete m_plot;
    m_plot = nullptr;
}

// ---- data -------------------------------------------------------------------------------

ChartSeries* Chart::series(int subset) {
    if (subset < 0 || subset >= kMaxSubsets)
        return nullptr;
    if (subset >= int(m_series.size()))
        m_series.resize(subset + 1);
    if (!m_series[subset])
        m_series[subset] = std::make_unique<ChartSeries>();
    return m_series[subset].get();
}

const ChartSeries* Chart::series(int subset) const {
    if (subset < 0 || subset >= int(m_series.size()))
        return nullptr;
    return m_series[subset].get();
}

void Chart::setSubsets(int n) {
    m_set.subsets = std::clamp(n, 0, int(kMaxSubsets));
}

void Chart::setPoints(int n) {
    n = std::max(n, 0);
    if (n < m_set.points) {
        for (auto& s : m_series)
            if (s)
                s->truncate(n);
    }
    m_set.points = n;
}

float Chart::yData(int subset, int point) const {
    const ChartSeries* s = series(subset);
    return s && point < m_set.points ? s->y(point) : 0.0f;
}

void Chart::setYData(int subset, int point, float value) {
    if (point == -1) {
        if (ChartSeries* s = series(subset))
            s->clear();
        return;
    }
    if (point < 0 || point >= m_set.points)
        return;
    if (ChartSeries* s = series(subset))
        s->setY(point, value);
}

double Chart::xData(int subset, int point) const {
    const ChartSeries* s = series(subset);
    return s && point < m_set.points ? s->x(point) : 0.0;
}

void Chart::setXData(int subset, int point, double value) {
    if (point < 0 || point >= m_set.points)
        return;
    if (ChartSeries* s = series(subset))
        s->setX(point, value);
}

void Chart::markOverload(int subset, int point, bool on) {
    if (point < 0 || point >= m_set.points)
        return;
    if (ChartSeries* s = series(subset))
        s->setMark(point, ChartSeries::Overload, on);
}

void Chart::markGapBefore(int subset, int point, bool on) {
    if (point < 0 || point >= m_set.points)
        return;
    if (ChartSeries* s = series(subset))
        s->setMark(point, ChartSeries::GapBefore, on);
}

ChartSeries::Rule Chart::ruleFor(const Settings& s) const {
    ChartSeries::Rule r;
    r.nullValue = s.nullDataValueY;
    r.useX = s.usingXData;
    r.dateTime = s.dateTimeMode == sgVBDateTime;
    return r;
}

// ---- indexed look properties ----------------------------------------------------------

QString Chart::subsetLabels(int subset) const {
    return indexed(m_set.subsetLabels, subset, QString());
}

void Chart::setSubsetLabels(int subset, const QString& t) {
    setIndexed(m_set.subsetLabels, subset, t, QString(), kMaxSubsets);
}

PEColor Chart::subsetColors(int subset) const {
    return subsetColor(m_set.subsetColors, subset);
}

void Chart::setSubsetColors(int subset, PEColor c) {
    if (subset < 0 || subset >= kMaxSubsets)
        return;
    while (int(m_set.subsetColors.size()) < subset)
        m_set.subsetColors.push_back(subsetColors(int(m_set.subsetColors.size())));
    setIndexed(m_set.subsetColors, subset, c, PEColor(0), kMaxSubsets);
}

int Chart::subsetLineTypes(int subset) const {
    return indexed(m_set.subsetLineTypes, subset, 0);
}

void Chart::setSubsetLineTypes(int subset, int type) {
    setIndexed(m_set.subsetLineTypes, subset, type, 0, kMaxSubsets);
}

Chart::VertLine* Chart::vertLine(int i) {
    if (i < 0 || i >= kMaxIndexed)
        return nullptr;
    if (i >= int(m_set.vertLines.size()))
        m_set.vertLines.resize(i + 1);
    return &m_set.vertLines[i];
}

const Chart::VertLine* Chart::vertLine(int i) const {
    return i >= 0 && i < int(m_set.vertLines.size()) ? &m_set.vertLines[i] : nullptr;
}

double Chart::vertLineAnnotation(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->x : 0.0;
}

void Chart::setVertLineAnnotation(int i, double x) {
    if (VertLine* v = vertLine(i)) {
        v->x = x;
        v->placed = true;
    }
}

int Chart::vertLineAnnotationType(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->type : 0;
}

void Chart::setVertLineAnnotationType(int i, int type) {
    if (VertLine* v = vertLine(i))
        v->type = type;
}

PEColor Chart::vertLineAnnotationColor(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->color : 0;
}

void Chart::setVertLineAnnotationColor(int i, PEColor c) {
    if (VertLine* v = vertLine(i))
        v->color = c;
}

QString Chart::vertLineAnnotationText(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->text : QString();
}

void Chart::setVertLineAnnotationText(int i, const QString& t) {
    if (VertLine* v = vertLine(i))
        v->text = t;
}

QColor Chart::toQColor(PEColor c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

PEColor Chart::fromQColor(const QColor& c) {
    return PEColor(c.red()) | (PEColor(c.green()) << 8) | (PEColor(c.blue()) << 16);
}

// ---- drawing -------------------------------------------------------------------------------

void Chart::redraw() {
    rebuild();
    updateCursorItems();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    emit measureChanged();
}

void Chart::resetView() {
    m_zoomed = false;
    m_prompt->hide(); // it names a point that may have moved
    redraw();
}

void Chart::rebuild() {
    if (!m_everBuilt || !(m_set == m_built))
        applyLook(m_set);
    const ChartSeries::Rule rule = ruleFor(m_set);
    for (int s = 0; s < int(m_graphs.size()); ++s)
        series(s)->update(rule, m_set.points);
    m_built = m_set;
    m_everBuilt = true;
    if (!m_zoomed)
        applyRanges();
}

void Chart::undoZoom() {
    m_zoomed = false;
    m_prompt->hide(); // it names a point that may have moved
    applyRanges();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

// Puts the look of `s` on the plot: colours, texts, grid, ticker, graphs and annotations.
// Data and axis ranges are not touched.
void Chart::applyLook(const Settings& s) {
    const QColor text = toQColor(s.textColor);
    m_plot->setBackground(QBrush(toQColor(s.deskColor)));
    QCPAxisRect* rect = m_plot->axisRect();
    rect->setBackground(QBrush(toQColor(s.graphBackColor)));

    QPen grid(QColor(128, 128, 128), 0, Qt::SolidLine);
    if (s.gridStyle == 1)
        grid.setWidth(2);
    else if (s.gridStyle == sgDot)
        grid.setStyle(Qt::DotLine);
    else if (s.gridStyle == 3)
        grid.setStyle(Qt::DashLine);
    for (QCPAxis* axis : {m_plot->xAxis, m_plot->yAxis}) {
        axis->setBasePen(QPen(text));
        axis->setTickPen(QPen(text));
        axis->setSubTickPen(QPen(text));
        axis->setLabelColor(text);
        axis->setTickLabelColor(text);
        axis->grid()->setPen(grid);
        axis->grid()->setZeroLinePen(grid);
    }
    m_plot->xAxis->setLabel(s.xAxisLabel);
    m_plot->yAxis->setLabel(yAxisCaption(s));
    const bool dateTime = s.dateTimeMode == sgVBDateTime;
    if (dateTime != (m_plot->xAxis->ticker() == m_dateTicker)) {
        m_plot->xAxis->setTicker(dateTime ? QSharedPointer<QCPAxisTicker>(m_dateTicker)
                                          : m_numberTicker);
        updateTickFormat();
    }

    const int graphs = std::clamp(s.subsets, 0, int(kMaxSubsets));
    while (int(m_graphs.size()) > graphs) {
        m_plot->removeGraph(m_graphs.back());
        m_graphs.pop_back();
    }
    while (int(m_graphs.size()) < graphs) {
        const ChartSeries* data = series(int(m_graphs.size()));
        auto* g = new DecimatedGraph(m_plot->xAxis, m_plot->yAxis, data->blocks());
        g->setData(data->data());
        g->setAntialiased(false);
        m_graphs.push_back(g);
    }
    bool anyLabel = false;
    for (int i = 0; i < graphs; ++i) {
        QPen pen(toQColor(subsetColor(s.subsetColors, i)));
        pen.setStyle(penStyleFor(indexed(s.subsetLineTypes, i, 0)));
        m_graphs[i]->setPen(pen);
        const QString label = indexed(s.subsetLabels, i, QString());
        m_graphs[i]->setName(label);
        anyLabel = anyLabel || !label.isEmpty();
    }
    m_plot->legend->setVisible(anyLabel);
    m_plot->legend->setBrush(QBrush(toQColor(s.graphBackColor)));
    m_plot->legend->setBorderPen(QPen(text));
    m_plot->legend->setTextColor(text);
    for (int i = 0; i < graphs; ++i) {
        if (m_graphs[i]->name().isEmpty())
            m_graphs[i]->removeFromLegend();
        else
            m_graphs[i]->addToLegend();
    }

    applyTitles(s);
    applyAnnotations(s);
}

void Chart::applyTitles(const Settings& s) {
    QCPLayoutGrid* layout = m_plot->plotLayout();
    const QString title = m_title ? m_title->text() : QString();
    const QString subTitle = m_subTitle ? m_subTitle->text() : QString();
    if (title != s.mainTitle || subTitle != s.subTitle || bool(m_title) != !s.mainTitle.isEmpty() ||
        bool(m_subTitle) != !s.subTitle.isEmpty()) {
        for (QCPTextElement** e : {&m_title, &m_subTitle}) {
            if (*e) {
                layout->remove(*e);
                *e = nullptr;
            }
        }
        layout->simplify();
        int row = 0;
        if (!s.mainTitle.isEmpty()) {
            QFont font = m_plot->font();
            font.setPointSizeF(font.pointSizeF() * 1.4);
            font.setBold(true);
            layout->insertRow(row);
            m_title = new QCPTextElement(m_plot, s.mainTitle, font);
            layout->addElement(row++, 0, m_title);
        }
        if (!s.subTitle.isEmpty()) {
            QFont font = m_plot->font();
            font.setPointSizeF(font.pointSizeF() * 1.1);
            layout->insertRow(row);
            m_subTitle = new QCPTextElement(m_plot, s.subTitle, font);
            layout->addElement(row, 0, m_subTitle);
        }
    }
    const QColor text = toQColor(s.textColor);
    if (m_title)
        m_title->setTextColor(text);
    if (m_subTitle)
        m_subTitle->setTextColor(text);
}

void Chart::applyAnnotations(const Settings& s) {
    for (QCPAbstractItem* item : std::as_const(m_annotationItems))
        m_plot->removeItem(item);
    m_annotationItems.clear();
    if (!s.showVertLineAnnotations)
        return;
    // Annotations are always placed by x value.
    ChartSeries::Rule xRule = ruleFor(s);
    xRule.useX = true;
    QFont font = m_plot->font();
    font.setPointSizeF(std::max(1.0, font.pointSizeF() * s.lineAnnotationTextSize / 100.0));
    for (const VertLine& v : s.vertLines) {
        if (!v.placed)
            continue;
        const double key = ChartSeries::keyFor(xRule, 0, v.x);
        const QColor color = toQColor(v.color);
        auto* line = new QCPItemStraightLine(m_plot);
        line->setPen(QPen(color, 1, penStyleFor(v.type)));
        line->point1->setCoords(key, 0);
        line->point2->setCoords(key, 1);
        m_annotationItems.append(line);
        if (v.text.isEmpty())
            continue;
        auto* label = new QCPItemText(m_plot);
        label->position->setTypeX(QCPItemPosition::ptPlotCoords);
        label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        label->position->setCoords(key, 0.02);
        label->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setPadding(QMargins(3, 0, 3, 0));
        label->setColor(color);
        label->setFont(font);
        label->setText(v.text);
        m_annotationItems.append(label);
    }
}

// Axis ranges of the last rebuild: manual values, or the data where the scale is automatic.
void Chart::applyRanges() {
    const Settings& s = m_built;
    const ChartSeries::Rule rule = ruleFor(s);
    bool haveKeys = false, haveValues = false;
    double kLow = 0, kHigh = 1, vLow = 0, vHigh = 1;
    for (int i = 0; i < int(m_graphs.size()); ++i) {
        double lo, hi;
        if (series(i)->keyRange(lo, hi)) {
            kLow = haveKeys ? std::min(kLow, lo) : lo;
            kHigh = haveKeys ? std::max(kHigh, hi) : hi;
            haveKeys = true;
        }
        if (series(i)->valueRange(lo, hi)) {
            vLow = haveValues ? std::min(vLow, lo) : lo;
            vHigh = haveValues ? std::max(vHigh, hi) : hi;
            haveValues = true;
        }
    }
    if (haveValues) {
        const double margin = (vHigh - vLow) * 0.05;
        vLow -= margin;
        vHigh += margin;
    }
    ChartSeries::Rule xRule = rule;
    xRule.useX = true;
    const double minX = ChartSeries::keyFor(xRule, 0, s.manualMinX);
    const double maxX = ChartSeries::keyFor(xRule, 0, s.manualMaxX);
    const auto pick = [](int mode, double manualLow, double manualHigh, double dataLow,
                         double dataHigh, double& low, double& high) {
        low = (mode == sgManualMin || mode == sgManualMinAndMax) ? manualLow : dataLow;
        high = (mode == sgManualMax || mode == sgManualMinAndMax) ? manualHigh : dataHigh;
    };
    double xl, xh, yl, yh;
    pick(s.manualScaleControlX, minX, maxX, kLow, kHigh, xl, xh);
    pick(s.manualScaleControlY, s.manualMinY, s.manualMaxY, vLow, vHigh, yl, yh);
    if (m_fitted && haveKeys) {
        xl = kLow;
        xh = kHigh;
    }
    if (m_fitted && haveValues) {
        // vLow and vHigh carry the automatic scale's 5 %; a fitted scale is tighter.
        const double span = (vHigh - vLow) / 1.1;
        const double mid = (vHigh + vLow) / 2;
        yl = mid - span * (0.5 + kFitMargin);
        yh = mid + span * (0.5 + kFitMargin);
    }
    m_plot->xAxis->setRange(
        usableRange(xl, xh, rule.dateTime ? kZeroSpanDateTime : kZeroSpanNumber));
    m_plot->yAxis->setRange(usableRange(yl, yh, kZeroSpanNumber));
}

// Date-time labels in the user's formats, coarser as the visible span grows.
void Chart::updateTickFormat() {
    const double span = m_plot->xAxis->range().size(); // seconds
    const QLocale locale;
    const QString time = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    const QString date = locale.dateFormat(QLocale::ShortFormat);
    QString format;
    if (span <= kSecondsPerDay)
        format = time;
    else if (span <= 60 * kSecondsPerDay)
        format =
            date + QLatin1Char('\n') + withoutTimeZone(locale.timeFormat(QLocale::ShortFormat));
    else
        format = date;
    if (m_dateTicker->dateTimeFormat() != format)
        m_dateTicker->setDateTimeFormat(format);
}

// ---- printing -------------------------------------------------------------------------------

void Chart::printPage(QPrinter& printer, const QString& title, int copies) {
    printer.setResolution(int(kScreenDpi));
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());

    QCPPainter painter;
    if (!painter.begin(&printer)) {
        const QString file = printer.outputFileName();
        throw ChartError(file.isEmpty() ? QStringLiteral("The printer could not be started.")
                                        : QStringLiteral("The chart could not be printed to ") +
                                              file + QLatin1Char('.'));
    }
    painter.setMode(QCPPainter::pmVectorized);
    // The title's line, then the chart in all the room below it.
    int titleHeight = 0;
    if (!title.isEmpty()) {
        QFont font = painter.font();
        font.setPointSizeF(10);
        font.setBold(true);
        painter.setFont(font);
        titleHeight = QFontMetrics(font, &printer).height() * 3 / 2;
    }
    const int w = page.width();
    const int h = std::max(page.height() - titleHeight, 1);
    const bool written = !(m_set == m_built);
    if (written)
        applyLook(m_set);
    for (int copy = 0; copy < std::max(copies, 1); ++copy) {
        if (copy > 0)
            printer.newPage();
        if (titleHeight > 0)
            painter.drawText(QRect(0, 0, w, titleHeight), Qt::AlignLeft | Qt::AlignTop, title);
        painter.save();
        painter.translate(0, titleHeight);
        m_plot->toPainter(&painter, w, h);
        painter.restore();
    }
    painter.end();
    if (written)
        applyLook(m_built);
    // The print laid the plot out for the page; lay it out for the screen again.
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

// ---- mouse --------------------------------------------------------------------------------

QRect Chart::bandRect(QPoint to) const {
    const QRect area = m_plot->axisRect()->rect();
    QRect band = QRect(m_pressPos, to).normalized();
    if (m_set.allowZooming == sgHorzZooming)
        band = QRect(band.left(), area.top(), band.width(), area.height());
    else if (m_set.allowZooming == sgVertZooming)
        band = QRect(area.left(), band.top(), area.width(), band.height());
    return band.intersected(area);
}

void Chart::mousePressed(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_dragging = false;
    m_pressPos = e->position().toPoint();
    m_draggedCursor = m_plot->axisRect()->rect().contains(m_pressPos)
                          ? cursorNearPixel(m_pressPos.x())
                          : -1;
}

void Chart::mouseMoved(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (m_pressed && m_draggedCursor >= 0) {
        placeCursor(m_draggedCursor, m_plot->xAxis->pixelToCoord(pos.x()));
        m_plot->replot(QCustomPlot::rpQueuedReplot);
        updateCursorPrompt(pos);
        return;
    }
    if (m_pressed && !m_dragging && m_set.allowZooming >= sgHorzZooming &&
        m_set.allowZooming <= sgHorzPlusVertZooming &&
        m_plot->axisRect()->rect().contains(m_pressPos)) {
        const QPoint d = pos - m_pressPos;
        m_dragging = std::abs(d.x()) >= kDragThreshold || std::abs(d.y()) >= kDragThreshold;
    }
    if (m_dragging) {
        m_band->setGeometry(bandRect(pos));
        m_band->show();
    }
    updateCursorPrompt(pos);
}

void Chart::mouseReleased(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    const QPoint pos = e->position().toPoint();
    if (m_draggedCursor >= 0) {
        const int dragged = m_draggedCursor;
        m_draggedCursor = -1;
        if ((pos - m_pressPos).manhattanLength() >= kDragThreshold)
            return; // a cursor was moved, nothing was clicked
        m_activeCursor = dragged;
    } else if (m_dragging) {
        m_dragging = false;
        m_band->hide();
        zoomTo(bandRect(pos));
        return;
    } else if (m_cursorsShown && m_plot->axisRect()->rect().contains(pos)) {
        // Cursor 1, then 2, then whichever is nearer.
        int c = !m_cursors[0].placed ? 0 : !m_cursors[1].placed ? 1 : -1;
        if (c < 0) {
            const double x0 = m_plot->xAxis->coordToPixel(m_cursors[0].key);
            const double x1 = m_plot->xAxis->coordToPixel(m_cursors[1].key);
            c = std::abs(x0 - pos.x()) <= std::abs(x1 - pos.x()) ? 0 : 1;
        }
        placeCursor(c, m_plot->xAxis->pixelToCoord(pos.x()));
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    }
    emit onClick(this);
    int subset, point;
    if (m_set.allowDataHotSpots && hotSpotAt(pos, subset, point))
        emit onDataHotSpot(this, false, subset, point);
}

void Chart::mouseDoubleClicked(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    m_dragging = false;
    m_draggedCursor = -1;
    int subset, point;
    if (m_set.allowDataHotSpots && hotSpotAt(e->position().toPoint(), subset, point))
        emit onDataHotSpot(this, true, subset, point);
    if (m_plot->axisRect()->rect().contains(e->position().toPoint()))
        chooseFitToData(true);
}

void Chart::zoomTo(QRect band) {
    const bool horizontal = m_set.allowZooming != sgVertZooming;
    const bool vertical = m_set.allowZooming != sgHorzZooming;
    if ((horizontal && band.width() < kDragThreshold) ||
        (vertical && band.height() < kDragThreshold))
        return;
    QCPAxis* x = m_plot->xAxis;
    QCPAxis* y = m_plot->yAxis;
    if (horizontal)
        x->setRange(x->pixelToCoord(band.left()), x->pixelToCoord(band.right()));
    if (vertical)
        y->setRange(y->pixelToCoord(band.bottom()), y->pixelToCoord(band.top()));
    m_zoomed = true;
    m_prompt->hide(); // it names a point that has moved
    updateCursorItems();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

bool Chart::hotSpotAt(QPoint pos, int& subset, int& point) const {
    const ChartSeries::Rule rule = ruleFor(m_built);
    double best = kHotSpotRadius;
    subset = point = -1;
    for (int s = 0; s < int(m_graphs.size()); ++s) {
        double d;
        const int p = series(s)->pointNear(rule, m_plot->xAxis, m_plot->yAxis, pos, best, &d);
        if (p >= 0 && (point < 0 || d < best)) {
            subset = s;
            point = p;
            best = d;
        }
    }
    return point >= 0;
}

void Chart::updateCursorPrompt(QPoint pos) {
    const Settings& s = m_set;
    const int style = s.cursorPromptStyle;
    const bool on = s.cursorMode == sgFloatingXY && s.mouseCursorControl && style >= sgXValue &&
                    style <= sgXYValues && m_plot->axisRect()->rect().contains(pos);
    // The nearest drawn point, found by key in each graph's sorted container.
    const QCPAxis* xAxis = m_plot->xAxis;
    const QCPAxis* yAxis = m_plot->yAxis;
    const double key = xAxis->pixelToCoord(pos.x());
    bool found = false;
    double bestDist = 0, bestKey = 0, bestValue = 0;
    for (int g = 0; on && g < int(m_graphs.size()); ++g) {
        const QSharedPointer<QCPGraphDataContainer> data = m_graphs[g]->data();
        if (data->isEmpty())
            continue;
        auto it = std::lower_bound(data->constBegin(), data->constEnd(), key,
                                   [](const QCPGraphData& d, double k) { return d.key < k; });
        // Look at a few points on each side, past gaps.
        auto from = it - std::min<qsizetype>(8, it - data->constBegin());
        auto to = it + std::min<qsizetype>(8, data->constEnd() - it);
        for (auto p = from; p != to; ++p) {
            if (std::isnan(p->value))
                continue;
            const double d = std::hypot(xAxis->coordToPixel(p->key) - pos.x(),
                                        yAxis->coordToPixel(p->value) - pos.y());
            if (!found || d < bestDist) {
                found = true;
                bestDist = d;
                bestKey = p->key;
                bestValue = p->value;
            }
        }
    }
    if (!found) {
        m_prompt->hide();
        return;
    }
    const ChartSeries::Rule rule = ruleFor(m_built);
    const QString xText = keyText(bestKey);
    const QString yText = valueText(bestValue);
    // A value on a time axis is read together with its time.
    QString text = style == sgXValue                  ? xText
                   : style == sgYValue && !rule.dateTime ? yText
                                                          : yText + QLatin1Char('\n') + xText;
    m_prompt->setText(text);
    m_prompt->adjustSize();
    const QRect area = m_plot->axisRect()->rect();
    QPoint at = s.cursorPromptTracking ? pos + QPoint(12, 12) : area.topLeft() + QPoint(4, 4);
    at.setX(std::min(at.x(), area.right() - m_prompt->width()));
    at.setY(std::min(at.y(), area.bottom() - m_prompt->height()));
    m_prompt->move(at);
    m_prompt->show();
    m_prompt->raise();
}

bool Chart::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_plot && event->type() == QEvent::Leave)
        m_prompt->hide();
    if (watched == m_plot && event->type() == QEvent::KeyPress &&
        handleCursorKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

QString Chart::cursorPromptText() const {
    return m_prompt->isHidden() ? QString() : m_prompt->text();
}

// ---- pop-up -------------------------------------------------------------------------------

QMenu* Chart::createPopupMenu() {
    if (!m_set.allowPopup)
        return nullptr;
    auto* menu = new QMenu(this);
    QAction* undo = menu->addAction(QStringLiteral("Undo Zoom"));
    undo->setEnabled(m_zoomed);
    connect(undo, &QAction::triggered, this, &Chart::undoZoom);
    return menu;
}

void Chart::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createPopupMenu();
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// ---- scales, units --------------------------------------------------------------------------

QString Chart::yAxisCaption(const Settings& s) const {
    return s.yAxisLabel.isEmpty() ? s.valueUnit : s.yAxisLabel;
}

void Chart::fitToData() {
    setFitted(true);
}

void Chart::useFixedScales() {
    setFitted(false);
}

namespace {
QString fitToDataKey(const QString& kind) {
    return QStringLiteral("Charts/%1/FitToData").arg(kind);
}
} // namespace

void Chart::chooseFitToData(bool fitted) {
    setFitted(fitted);
    if (!m_scaleMemoryKey.isEmpty())
        settingsStore().setValue(fitToDataKey(m_scaleMemoryKey), fitted);
}

bool Chart::remembersFitToData() const {
    if (m_scaleMemoryKey.isEmpty())
        return false;
    const QVariant stored = settingsStore().value(fitToDataKey(m_scaleMemoryKey));
    return stored.typeId() == QMetaType::Bool ? stored.toBool()
                                               : stored.toString() == QLatin1String("true");
}

void Chart::setFitted(bool fitted) {
    const bool changed = fitted != m_fitted;
    m_fitted = fitted;
    m_zoomed = false;
    m_prompt->hide(); // it names a point that may have moved
    applyRanges();
    updateCursorItems();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    if (changed)
        emit fittedChanged(fitted);
    emit measureChanged();
}

bool Chart::fixedScaleFlattens(double share) const {
    bool have = false;
    double low = 0, high = 0;
    for (int i = 0; i < int(m_graphs.size()); ++i) {
        double lo, hi;
        if (series(i)->valueRange(lo, hi)) {
            low = have ? std::min(low, lo) : lo;
            high = have ? std::max(high, hi) : hi;
            have = true;
        }
    }
    const int mode = m_built.manualScaleControlY;
    if (!have || mode == sgAutoScale)
        return false;
    const double fixedLow =
        (mode == sgManualMin || mode == sgManualMinAndMax) ? m_built.manualMinY : low;
    const double fixedHigh =
        (mode == sgManualMax || mode == sgManualMinAndMax) ? m_built.manualMaxY : high;
    return (high - low) < share * std::abs(fixedHigh - fixedLow);
}

QString Chart::keyText(double key) const {
    const QLocale locale;
    const ChartSeries::Rule rule = ruleFor(m_built);
    if (!rule.dateTime)
        return locale.toString(key, 'g', 10);
    const QDateTime t = daysToUtcDateTime(ChartSeries::xForKey(rule, key));
    return locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(t.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QString Chart::valueText(double value) const {
    const QString number = QLocale().toString(value, 'g', 7);
    return m_built.valueUnit.isEmpty() ? number : number + QLatin1Char(' ') + m_built.valueUnit;
}

QImage Chart::toImage(QSize size) {
    if (size.isEmpty())
        size = m_plot->size();
    const QImage image = m_plot->toPixmap(size.width(), size.height()).toImage();
    m_plot->replot(QCustomPlot::rpQueuedReplot); // laid out for `size`: lay it out for the screen
    return image;
}

// ---- cursors --------------------------------------------------------------------------------

void Chart::setCursorsShown(bool on) {
    if (on == m_cursorsShown)
        return;
    m_cursorsShown = on;
    updateCursorItems();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    emit measureChanged();
}

bool Chart::cursorPlaced(int cursor) const {
    return m_cursorsShown && cursor >= 0 && cursor < 2 && m_cursors[cursor].placed &&
           nearestDrawnIndex(m_cursors[cursor].key) >= 0;
}

double Chart::cursorKey(int cursor) const {
    return cursorPlaced(cursor) ? m_cursors[cursor].key : std::numeric_limits<double>::quiet_NaN();
}

double Chart::cursorValue(int cursor) const {
    if (!cursorPlaced(cursor))
        return std::numeric_limits<double>::quiet_NaN();
    const int i = nearestDrawnIndex(m_cursors[cursor].key);
    return (m_graphs[0]->data()->constBegin() + i)->value;
}

int Chart::nearestDrawnIndex(double key) const {
    if (m_graphs.empty() || !std::isfinite(key))
        return -1;
    const QSharedPointer<QCPGraphDataContainer> data = m_graphs[0]->data();
    const auto begin = data->constBegin();
    const auto end = data->constEnd();
    const auto at = std::lower_bound(begin, end, key,
                                     [](const QCPGraphData& d, double k) { return d.key < k; });
    // The nearest number on either side, past gaps.
    auto after = at;
    while (after != end && std::isnan(after->value))
        ++after;
    auto before = at;
    bool haveBefore = false;
    while (before != begin) {
        --before;
        if (!std::isnan(before->value)) {
            haveBefore = true;
            break;
        }
    }
    if (after == end && !haveBefore)
        return -1;
    if (after == end || (haveBefore && key - before->key <= after->key - key))
        return int(before - begin);
    return int(after - begin);
}

void Chart::placeCursor(int cursor, double key) {
    if (cursor < 0 || cursor > 1)
        return;
    const int i = nearestDrawnIndex(key);
    if (i < 0)
        return;
    m_cursors[cursor] = {true, (m_graphs[0]->data()->constBegin() + i)->key};
    m_activeCursor = cursor;
    updateCursorItems();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    emit measureChanged();
}

void Chart::removeCursors() {
    m_cursors[0] = m_cursors[1] = Cursor{};
    m_activeCursor = 0;
    updateCursorItems();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    emit measureChanged();
}

void Chart::moveCursorBy(int cursor, int points) {
    if (!cursorPlaced(cursor)) {
        placeCursor(cursor, m_plot->xAxis->range().center());
        return;
    }
    const QSharedPointer<QCPGraphDataContainer> data = m_graphs[0]->data();
    int i = nearestDrawnIndex(m_cursors[cursor].key);
    const int step = points < 0 ? -1 : 1;
    for (int moved = 0; moved < std::abs(points);) {
        int next = i + step;
        while (next >= 0 && next < data->size() && std::isnan((data->constBegin() + next)->value))
            next += step;
        if (next < 0 || next >= data->size())
            break;
        i = next;
        ++moved;
    }
    placeCursor(cursor, (data->constBegin() + i)->key);
}

bool Chart::handleCursorKey(QKeyEvent* e) {
    if (!m_cursorsShown)
        return false;
    const int tens = e->modifiers() & Qt::ShiftModifier ? 10 : 1;
    switch (e->key()) {
    case Qt::Key_1:
    case Qt::Key_2: {
        const int c = e->key() == Qt::Key_1 ? 0 : 1;
        m_activeCursor = c;
        if (!cursorPlaced(c))
            placeCursor(c, m_plot->xAxis->range().center());
        else
            updateCursorItems();
        m_plot->replot(QCustomPlot::rpQueuedReplot);
        return true;
    }
    case Qt::Key_Left:
        moveCursorBy(m_activeCursor, -tens);
        return true;
    case Qt::Key_Right:
        moveCursorBy(m_activeCursor, tens);
        return true;
    case Qt::Key_Home:
        placeCursor(m_activeCursor, m_plot->xAxis->range().lower);
        return true;
    case Qt::Key_End:
        placeCursor(m_activeCursor, m_plot->xAxis->range().upper);
        return true;
    case Qt::Key_Escape:
        removeCursors();
        return true;
    default:
        return false;
    }
}

int Chart::cursorNearPixel(int x) const {
    int best = -1;
    double bestDistance = kCursorGrab + 1;
    for (int c = 0; c < 2; ++c) {
        if (!cursorPlaced(c))
            continue;
        const double d = std::abs(m_plot->xAxis->coordToPixel(m_cursors[c].key) - x);
        if (d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    return best;
}

void Chart::updateCursorItems() {
    for (int c = 0; c < 2; ++c) {
        const bool shown = cursorPlaced(c);
        if (!shown) {
            if (m_cursorLines[c]) {
                m_cursorLines[c]->setVisible(false);
                m_cursorLabels[c]->setVisible(false);
            }
            continue;
        }
        if (!m_cursorLines[c]) {
            m_cursorLines[c] = new QCPItemStraightLine(m_plot);
            m_cursorLabels[c] = new QCPItemText(m_plot);
            m_cursorLabels[c]->position->setTypeX(QCPItemPosition::ptPlotCoords);
            m_cursorLabels[c]->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
            m_cursorLabels[c]->setPadding(QMargins(3, 1, 3, 1));
            m_cursorLabels[c]->setBrush(QBrush(QColor(255, 255, 225)));
            m_cursorLabels[c]->setColor(Qt::black);
            m_cursorLabels[c]->setPen(QPen(kCursorColors[c]));
            m_cursorLabels[c]->setClipToAxisRect(true);
        }
        const double key = m_cursors[c].key;
        m_cursorLines[c]->setPen(
            QPen(kCursorColors[c], c == m_activeCursor ? 2 : 1, Qt::SolidLine));
        m_cursorLines[c]->point1->setCoords(key, 0);
        m_cursorLines[c]->point2->setCoords(key, 1);
        m_cursorLines[c]->setVisible(true);
        QCPItemText* label = m_cursorLabels[c];
        const bool rightHalf = key > m_plot->xAxis->range().center();
        label->setPositionAlignment((rightHalf ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        label->position->setCoords(key, 0.01 + 0.1 * c);
        label->setText(QStringLiteral("%1: %2\n%3")
                           .arg(c + 1)
                           .arg(keyText(key), valueText(cursorValue(c))));
        label->setVisible(true);
    }
}

QString Chart::cursorDeltaText() const {
    if (!cursorPlaced(0) || !cursorPlaced(1))
        return QString();
    const QLocale locale;
    const double dt = m_cursors[1].key - m_cursors[0].key;
    const double dv = cursorValue(1) - cursorValue(0);
    const bool dateTime = ruleFor(m_built).dateTime;
    const QString unit = m_built.valueUnit;
    const QString perUnit = (unit.isEmpty() ? QStringLiteral("1") : unit) +
                            (dateTime ? QStringLiteral("/s") : QString());
    // Times are kept to the millisecond; the conversion to seconds leaves noise below that.
    const QString dtText = dateTime ? locale.toString(std::round(dt * 1000) / 1000, 'g', 12) +
                                          QStringLiteral(" s")
                                    : locale.toString(dt, 'g', 10);
    QString text = QStringLiteral("Δt %1   Δ %2").arg(dtText, valueText(dv));
    if (dt != 0)
        text += QStringLiteral("   Δ/Δt %1 %2").arg(locale.toString(dv / dt, 'g', 6), perUnit);
    return text;
}

RangeStatistics Chart::rangeStatistics() const {
    const ChartSeries* data = series(0);
    if (!data || m_graphs.empty())
        return {};
    double from = m_plot->xAxis->range().lower;
    double to = m_plot->xAxis->range().upper;
    if (statisticsBetweenCursors()) {
        from = std::min(m_cursors[0].key, m_cursors[1].key);
        to = std::max(m_cursors[0].key, m_cursors[1].key);
    }
    return data->statistics(ruleFor(m_built), from, to);
}
