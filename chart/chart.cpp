#include "chart.h"

#include "charterror.h"
#include "daycount.h"
#include "decimatedgraph.h"

#include <qcustomplot.h>

#include <QContextMenuEvent>
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
    layout->addWidget(m_plot);
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

    m_plot->installEventFilter(this); // to hide the cursor prompt when the mouse leaves
    connect(m_plot, &QCustomPlot::mousePress, this, &Chart::mousePressed);
    connect(m_plot, &QCustomPlot::mouseMove, this, &Chart::mouseMoved);
    connect(m_plot, &QCustomPlot::mouseRelease, this, &Chart::mouseReleased);
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, &Chart::mouseDoubleClicked);
    connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &Chart::updateTickFormat);

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
    m_set.Subsets = std::clamp(n, 0, int(kMaxSubsets));
}

void Chart::setPoints(int n) {
    n = std::max(n, 0);
    if (n < m_set.Points) {
        for (auto& s : m_series)
            if (s)
                s->truncate(n);
    }
    m_set.Points = n;
}

float Chart::YData(int subset, int point) const {
    const ChartSeries* s = series(subset);
    return s && point < m_set.Points ? s->y(point) : 0.0f;
}

void Chart::setYData(int subset, int point, float value) {
    if (point == -1) {
        if (ChartSeries* s = series(subset))
            s->clear();
        return;
    }
    if (point < 0 || point >= m_set.Points)
        return;
    if (ChartSeries* s = series(subset))
        s->setY(point, value);
}

double Chart::XDataII(int subset, int point) const {
    const ChartSeries* s = series(subset);
    return s && point < m_set.Points ? s->x(point) : 0.0;
}

void Chart::setXDataII(int subset, int point, double value) {
    if (point < 0 || point >= m_set.Points)
        return;
    if (ChartSeries* s = series(subset))
        s->setX(point, value);
}

ChartSeries::Rule Chart::ruleFor(const Settings& s) const {
    ChartSeries::Rule r;
    r.nullValue = s.NullDataValueY;
    r.useX = s.UsingXDataII;
    r.dateTime = s.DateTimeMode == sgVBDateTime;
    return r;
}

// ---- indexed look properties ----------------------------------------------------------

QString Chart::SubsetLabels(int subset) const {
    return indexed(m_set.SubsetLabels, subset, QString());
}

void Chart::setSubsetLabels(int subset, const QString& t) {
    setIndexed(m_set.SubsetLabels, subset, t, QString(), kMaxSubsets);
}

PEColor Chart::SubsetColors(int subset) const {
    return subsetColor(m_set.SubsetColors, subset);
}

void Chart::setSubsetColors(int subset, PEColor c) {
    if (subset < 0 || subset >= kMaxSubsets)
        return;
    while (int(m_set.SubsetColors.size()) < subset)
        m_set.SubsetColors.push_back(SubsetColors(int(m_set.SubsetColors.size())));
    setIndexed(m_set.SubsetColors, subset, c, PEColor(0), kMaxSubsets);
}

int Chart::SubsetLineTypes(int subset) const {
    return indexed(m_set.SubsetLineTypes, subset, 0);
}

void Chart::setSubsetLineTypes(int subset, int type) {
    setIndexed(m_set.SubsetLineTypes, subset, type, 0, kMaxSubsets);
}

Chart::VertLine* Chart::vertLine(int i) {
    if (i < 0 || i >= kMaxIndexed)
        return nullptr;
    if (i >= int(m_set.VertLines.size()))
        m_set.VertLines.resize(i + 1);
    return &m_set.VertLines[i];
}

const Chart::VertLine* Chart::vertLine(int i) const {
    return i >= 0 && i < int(m_set.VertLines.size()) ? &m_set.VertLines[i] : nullptr;
}

double Chart::VertLineAnnotation(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->x : 0.0;
}

void Chart::setVertLineAnnotation(int i, double x) {
    if (VertLine* v = vertLine(i)) {
        v->x = x;
        v->placed = true;
    }
}

int Chart::VertLineAnnotationType(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->type : 0;
}

void Chart::setVertLineAnnotationType(int i, int type) {
    if (VertLine* v = vertLine(i))
        v->type = type;
}

PEColor Chart::VertLineAnnotationColor(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->color : 0;
}

void Chart::setVertLineAnnotationColor(int i, PEColor c) {
    if (VertLine* v = vertLine(i))
        v->color = c;
}

QString Chart::VertLineAnnotationText(int i) const {
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
    m_plot->replot(QCustomPlot::rpQueuedReplot);
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
        series(s)->update(rule, m_set.Points);
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
    const QColor text = toQColor(s.TextColor);
    m_plot->setBackground(QBrush(toQColor(s.DeskColor)));
    QCPAxisRect* rect = m_plot->axisRect();
    rect->setBackground(QBrush(toQColor(s.GraphBackColor)));

    QPen grid(QColor(128, 128, 128), 0, Qt::SolidLine);
    if (s.GridStyle == 1)
        grid.setWidth(2);
    else if (s.GridStyle == sgDot)
        grid.setStyle(Qt::DotLine);
    else if (s.GridStyle == 3)
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
    m_plot->xAxis->setLabel(s.XAxisLabel);
    m_plot->yAxis->setLabel(s.YAxisLabel);
    const bool dateTime = s.DateTimeMode == sgVBDateTime;
    if (dateTime != (m_plot->xAxis->ticker() == m_dateTicker)) {
        m_plot->xAxis->setTicker(dateTime ? QSharedPointer<QCPAxisTicker>(m_dateTicker)
                                          : m_numberTicker);
        updateTickFormat();
    }

    const int graphs = std::clamp(s.Subsets, 0, int(kMaxSubsets));
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
        QPen pen(toQColor(subsetColor(s.SubsetColors, i)));
        pen.setStyle(penStyleFor(indexed(s.SubsetLineTypes, i, 0)));
        m_graphs[i]->setPen(pen);
        const QString label = indexed(s.SubsetLabels, i, QString());
        m_graphs[i]->setName(label);
        anyLabel = anyLabel || !label.isEmpty();
    }
    m_plot->legend->setVisible(anyLabel);
    m_plot->legend->setBrush(QBrush(toQColor(s.GraphBackColor)));
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
    if (title != s.MainTitle || subTitle != s.SubTitle || bool(m_title) != !s.MainTitle.isEmpty() ||
        bool(m_subTitle) != !s.SubTitle.isEmpty()) {
        for (QCPTextElement** e : {&m_title, &m_subTitle}) {
            if (*e) {
                layout->remove(*e);
                *e = nullptr;
            }
        }
        layout->simplify();
        int row = 0;
        if (!s.MainTitle.isEmpty()) {
            QFont font = m_plot->font();
            font.setPointSizeF(font.pointSizeF() * 1.4);
            font.setBold(true);
            layout->insertRow(row);
            m_title = new QCPTextElement(m_plot, s.MainTitle, font);
            layout->addElement(row++, 0, m_title);
        }
        if (!s.SubTitle.isEmpty()) {
            QFont font = m_plot->font();
            font.setPointSizeF(font.pointSizeF() * 1.1);
            layout->insertRow(row);
            m_subTitle = new QCPTextElement(m_plot, s.SubTitle, font);
            layout->addElement(row, 0, m_subTitle);
        }
    }
    const QColor text = toQColor(s.TextColor);
    if (m_title)
        m_title->setTextColor(text);
    if (m_subTitle)
        m_subTitle->setTextColor(text);
}

void Chart::applyAnnotations(const Settings& s) {
    for (QCPAbstractItem* item : std::as_const(m_annotationItems))
        m_plot->removeItem(item);
    m_annotationItems.clear();
    if (!s.ShowVertLineAnnotations)
        return;
    // Annotations are always placed by x value.
    ChartSeries::Rule xRule = ruleFor(s);
    xRule.useX = true;
    QFont font = m_plot->font();
    font.setPointSizeF(std::max(1.0, font.pointSizeF() * s.LineAnnotationTextSize / 100.0));
    for (const VertLine& v : s.VertLines) {
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
    const double minX = ChartSeries::keyFor(xRule, 0, s.ManualMinX);
    const double maxX = ChartSeries::keyFor(xRule, 0, s.ManualMaxX);
    const auto pick = [](int mode, double manualLow, double manualHigh, double dataLow,
                         double dataHigh, double& low, double& high) {
        low = (mode == sgManualMin || mode == sgManualMinAndMax) ? manualLow : dataLow;
        high = (mode == sgManualMax || mode == sgManualMinAndMax) ? manualHigh : dataHigh;
    };
    double xl, xh, yl, yh;
    pick(s.ManualScaleControlX, minX, maxX, kLow, kHigh, xl, xh);
    pick(s.ManualScaleControlY, s.ManualMinY, s.ManualMaxY, vLow, vHigh, yl, yh);
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
    if (m_set.AllowZooming == sgHorzZooming)
        band = QRect(band.left(), area.top(), band.width(), area.height());
    else if (m_set.AllowZooming == sgVertZooming)
        band = QRect(area.left(), band.top(), area.width(), band.height());
    return band.intersected(area);
}

void Chart::mousePressed(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_dragging = false;
    m_pressPos = e->position().toPoint();
}

void Chart::mouseMoved(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (m_pressed && !m_dragging && m_set.AllowZooming >= sgHorzZooming &&
        m_set.AllowZooming <= sgHorzPlusVertZooming &&
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
    if (m_dragging) {
        m_dragging = false;
        m_band->hide();
        zoomTo(bandRect(pos));
        return;
    }
    emit OnClick(this);
    int subset, point;
    if (m_set.AllowDataHotSpots && hotSpotAt(pos, subset, point))
        emit OnDataHotSpot(this, false, subset, point);
}

void Chart::mouseDoubleClicked(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    m_dragging = false;
    int subset, point;
    if (m_set.AllowDataHotSpots && hotSpotAt(e->position().toPoint(), subset, point))
        emit OnDataHotSpot(this, true, subset, point);
}

void Chart::zoomTo(QRect band) {
    const bool horizontal = m_set.AllowZooming != sgVertZooming;
    const bool vertical = m_set.AllowZooming != sgHorzZooming;
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
    const int style = s.CursorPromptStyle;
    const bool on = s.CursorMode == sgFloatingXY && s.MouseCursorControl && style >= sgXValue &&
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
    const QLocale locale;
    const ChartSeries::Rule rule = ruleFor(m_built);
    QString xText;
    if (rule.dateTime) {
        const QDateTime t = DaysToUtcDateTime(ChartSeries::xForKey(rule, bestKey));
        xText = locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                locale.toString(t.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
    } else {
        xText = locale.toString(bestKey, 'g', 10);
    }
    const QString yText = locale.toString(bestValue, 'g', 7);
    QString text = style == sgXValue   ? xText
                   : style == sgYValue ? yText
                                       : xText + QLatin1Char('\n') + yText;
    m_prompt->setText(text);
    m_prompt->adjustSize();
    const QRect area = m_plot->axisRect()->rect();
    QPoint at = s.CursorPromptTracking ? pos + QPoint(12, 12) : area.topLeft() + QPoint(4, 4);
    at.setX(std::min(at.x(), area.right() - m_prompt->width()));
    at.setY(std::min(at.y(), area.bottom() - m_prompt->height()));
    m_prompt->move(at);
    m_prompt->show();
    m_prompt->raise();
}

bool Chart::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_plot && event->type() == QEvent::Leave)
        m_prompt->hide();
    return QWidget::eventFilter(watched, event);
}

QString Chart::cursorPromptText() const {
    return m_prompt->isHidden() ? QString() : m_prompt->text();
}

// ---- pop-up -------------------------------------------------------------------------------

QMenu* Chart::createPopupMenu() {
    if (!m_set.AllowPopup)
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
