#include "pesgraph.h"

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
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QRubberBand>
#include <QScopeGuard>
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

PESGraph::PrintDialogHook PESGraph::sPrintDialogHook;
QPrinter* PESGraph::sSharedPrinter = nullptr;

PESGraph::PESGraph(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    mPlot = new QCustomPlot(this);
    layout->addWidget(mPlot);
    mPlot->setInteractions(QCP::Interactions());
    mPlot->setMouseTracking(true);
    mPlot->setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
    mPlot->setLocale(QLocale());

    mDateTicker.reset(new QCPAxisTickerDateTime);
    mDateTicker->setTimeZone(QTimeZone::utc());
    mNumberTicker.reset(new QCPAxisTicker);

    mBand = new QRubberBand(QRubberBand::Rectangle, mPlot);
    mBand->hide();
    mPrompt = new QLabel(mPlot);
    mPrompt->setAutoFillBackground(true);
    mPrompt->setStyleSheet(QStringLiteral(
        "QLabel { background: #ffffe1; color: black; border: 1px solid black; padding: 1px; }"));
    mPrompt->setAttribute(Qt::WA_TransparentForMouseEvents);
    mPrompt->hide();

    mPlot->installEventFilter(this); // to hide the cursor prompt when the mouse leaves
    connect(mPlot, &QCustomPlot::mousePress, this, &PESGraph::mousePressed);
    connect(mPlot, &QCustomPlot::mouseMove, this, &PESGraph::mouseMoved);
    connect(mPlot, &QCustomPlot::mouseRelease, this, &PESGraph::mouseReleased);
    connect(mPlot, &QCustomPlot::mouseDoubleClick, this, &PESGraph::mouseDoubleClicked);
    connect(mPlot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &PESGraph::updateTickFormat);

    rebuild();
    mPlot->replot(QCustomPlot::rpQueuedReplot);
}

PESGraph::~PESGraph() {
    // The graphs read the series' summaries while drawing: let them go first.
    delete mPlot;
    mPlot = nullptr;
}

// ---- data -------------------------------------------------------------------------------

ChartSeries* PESGraph::series(int subset) {
    if (subset < 0 || subset >= kMaxSubsets)
        return nullptr;
    if (subset >= int(mSeries.size()))
        mSeries.resize(subset + 1);
    if (!mSeries[subset])
        mSeries[subset] = std::make_unique<ChartSeries>();
    return mSeries[subset].get();
}

const ChartSeries* PESGraph::series(int subset) const {
    if (subset < 0 || subset >= int(mSeries.size()))
        return nullptr;
    return mSeries[subset].get();
}

void PESGraph::setSubsets(int n) {
    mSet.Subsets = std::clamp(n, 0, int(kMaxSubsets));
}

void PESGraph::setPoints(int n) {
    n = std::max(n, 0);
    if (n < mSet.Points) {
        for (auto& s : mSeries)
            if (s)
                s->truncate(n);
    }
    mSet.Points = n;
}

float PESGraph::YData(int subset, int point) const {
    const ChartSeries* s = series(subset);
    return s && point < mSet.Points ? s->y(point) : 0.0f;
}

void PESGraph::setYData(int subset, int point, float value) {
    if (point == -1) {
        if (ChartSeries* s = series(subset))
            s->clear();
        return;
    }
    if (point < 0 || point >= mSet.Points)
        return;
    if (ChartSeries* s = series(subset))
        s->setY(point, value);
}

double PESGraph::XDataII(int subset, int point) const {
    const ChartSeries* s = series(subset);
    return s && point < mSet.Points ? s->x(point) : 0.0;
}

void PESGraph::setXDataII(int subset, int point, double value) {
    if (point < 0 || point >= mSet.Points)
        return;
    if (ChartSeries* s = series(subset))
        s->setX(point, value);
}

ChartSeries::Rule PESGraph::ruleFor(const Settings& s) const {
    ChartSeries::Rule r;
    r.nullValue = s.NullDataValueY;
    r.useX = s.UsingXDataII;
    r.dateTime = s.DateTimeMode == sgVBDateTime;
    return r;
}

// ---- indexed look properties ----------------------------------------------------------

QString PESGraph::SubsetLabels(int subset) const {
    return indexed(mSet.SubsetLabels, subset, QString());
}

void PESGraph::setSubsetLabels(int subset, const QString& t) {
    setIndexed(mSet.SubsetLabels, subset, t, QString(), kMaxSubsets);
}

PEColor PESGraph::SubsetColors(int subset) const {
    return subsetColor(mSet.SubsetColors, subset);
}

void PESGraph::setSubsetColors(int subset, PEColor c) {
    if (subset < 0 || subset >= kMaxSubsets)
        return;
    while (int(mSet.SubsetColors.size()) < subset)
        mSet.SubsetColors.push_back(SubsetColors(int(mSet.SubsetColors.size())));
    setIndexed(mSet.SubsetColors, subset, c, PEColor(0), kMaxSubsets);
}

int PESGraph::SubsetLineTypes(int subset) const {
    return indexed(mSet.SubsetLineTypes, subset, 0);
}

void PESGraph::setSubsetLineTypes(int subset, int type) {
    setIndexed(mSet.SubsetLineTypes, subset, type, 0, kMaxSubsets);
}

PESGraph::VertLine* PESGraph::vertLine(int i) {
    if (i < 0 || i >= kMaxIndexed)
        return nullptr;
    if (i >= int(mSet.VertLines.size()))
        mSet.VertLines.resize(i + 1);
    return &mSet.VertLines[i];
}

const PESGraph::VertLine* PESGraph::vertLine(int i) const {
    return i >= 0 && i < int(mSet.VertLines.size()) ? &mSet.VertLines[i] : nullptr;
}

double PESGraph::VertLineAnnotation(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->x : 0.0;
}

void PESGraph::setVertLineAnnotation(int i, double x) {
    if (VertLine* v = vertLine(i)) {
        v->x = x;
        v->placed = true;
    }
}

int PESGraph::VertLineAnnotationType(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->type : 0;
}

void PESGraph::setVertLineAnnotationType(int i, int type) {
    if (VertLine* v = vertLine(i))
        v->type = type;
}

PEColor PESGraph::VertLineAnnotationColor(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->color : 0;
}

void PESGraph::setVertLineAnnotationColor(int i, PEColor c) {
    if (VertLine* v = vertLine(i))
        v->color = c;
}

QString PESGraph::VertLineAnnotationText(int i) const {
    const VertLine* v = vertLine(i);
    return v ? v->text : QString();
}

void PESGraph::setVertLineAnnotationText(int i, const QString& t) {
    if (VertLine* v = vertLine(i))
        v->text = t;
}

QColor PESGraph::toQColor(PEColor c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

PEColor PESGraph::fromQColor(const QColor& c) {
    return PEColor(c.red()) | (PEColor(c.green()) << 8) | (PEColor(c.blue()) << 16);
}

// ---- commands -----------------------------------------------------------------------------

void PESGraph::setPEactions(int code) {
    mLastAction = code;
    switch (code) {
    case sgReinitAndReset:
        mZoomed = false;
        rebuild();
        mPlot->replot(QCustomPlot::rpQueuedReplot);
        break;
    case sgResetImage:
        rebuild();
        break;
    case sgInvalidateImage:
        mPlot->replot(QCustomPlot::rpQueuedReplot);
        break;
    case sgPrintDialog:
        printWithDialog();
        break;
    case sgUndoZoom:
        leaveZoom();
        break;
    default:
        break;
    }
}

void PESGraph::rebuild() {
    if (!mEverBuilt || !(mSet == mBuilt))
        applyLook(mSet);
    const ChartSeries::Rule rule = ruleFor(mSet);
    for (int s = 0; s < int(mGraphs.size()); ++s)
        series(s)->update(rule, mSet.Points);
    mBuilt = mSet;
    mEverBuilt = true;
    if (!mZoomed)
        applyRanges();
}

void PESGraph::leaveZoom() {
    mZoomed = false;
    mPrompt->hide(); // it names a point that may have moved
    applyRanges();
    mPlot->replot(QCustomPlot::rpQueuedReplot);
}

// Puts the look of `s` on the plot: colours, texts, grid, ticker, graphs and annotations.
// Data and axis ranges are not touched.
void PESGraph::applyLook(const Settings& s) {
    const QColor text = toQColor(s.TextColor);
    mPlot->setBackground(QBrush(toQColor(s.DeskColor)));
    QCPAxisRect* rect = mPlot->axisRect();
    rect->setBackground(QBrush(toQColor(s.GraphBackColor)));

    QPen grid(QColor(128, 128, 128), 0, Qt::SolidLine);
    if (s.GridStyle == 1)
        grid.setWidth(2);
    else if (s.GridStyle == sgDot)
        grid.setStyle(Qt::DotLine);
    else if (s.GridStyle == 3)
        grid.setStyle(Qt::DashLine);
    for (QCPAxis* axis : {mPlot->xAxis, mPlot->yAxis}) {
        axis->setBasePen(QPen(text));
        axis->setTickPen(QPen(text));
        axis->setSubTickPen(QPen(text));
        axis->setLabelColor(text);
        axis->setTickLabelColor(text);
        axis->grid()->setPen(grid);
        axis->grid()->setZeroLinePen(grid);
    }
    mPlot->xAxis->setLabel(s.XAxisLabel);
    mPlot->yAxis->setLabel(s.YAxisLabel);
    const bool dateTime = s.DateTimeMode == sgVBDateTime;
    if (dateTime != (mPlot->xAxis->ticker() == mDateTicker)) {
        mPlot->xAxis->setTicker(dateTime ? QSharedPointer<QCPAxisTicker>(mDateTicker)
                                         : mNumberTicker);
        updateTickFormat();
    }

    const int graphs = std::clamp(s.Subsets, 0, int(kMaxSubsets));
    while (int(mGraphs.size()) > graphs) {
        mPlot->removeGraph(mGraphs.back());
        mGraphs.pop_back();
    }
    while (int(mGraphs.size()) < graphs) {
        const ChartSeries* data = series(int(mGraphs.size()));
        auto* g = new DecimatedGraph(mPlot->xAxis, mPlot->yAxis, data->blocks());
        g->setData(data->data());
        g->setAntialiased(false);
        mGraphs.push_back(g);
    }
    bool anyLabel = false;
    for (int i = 0; i < graphs; ++i) {
        QPen pen(toQColor(subsetColor(s.SubsetColors, i)));
        pen.setStyle(penStyleFor(indexed(s.SubsetLineTypes, i, 0)));
        mGraphs[i]->setPen(pen);
        const QString label = indexed(s.SubsetLabels, i, QString());
        mGraphs[i]->setName(label);
        anyLabel = anyLabel || !label.isEmpty();
    }
    mPlot->legend->setVisible(anyLabel);
    mPlot->legend->setBrush(QBrush(toQColor(s.GraphBackColor)));
    mPlot->legend->setBorderPen(QPen(text));
    mPlot->legend->setTextColor(text);
    for (int i = 0; i < graphs; ++i) {
        if (mGraphs[i]->name().isEmpty())
            mGraphs[i]->removeFromLegend();
        else
            mGraphs[i]->addToLegend();
    }

    applyTitles(s);
    applyAnnotations(s);
}

void PESGraph::applyTitles(const Settings& s) {
    QCPLayoutGrid* layout = mPlot->plotLayout();
    const QString title = mTitle ? mTitle->text() : QString();
    const QString subTitle = mSubTitle ? mSubTitle->text() : QString();
    if (title != s.MainTitle || subTitle != s.SubTitle || bool(mTitle) != !s.MainTitle.isEmpty() ||
        bool(mSubTitle) != !s.SubTitle.isEmpty()) {
        for (QCPTextElement** e : {&mTitle, &mSubTitle}) {
            if (*e) {
                layout->remove(*e);
                *e = nullptr;
            }
        }
        layout->simplify();
        int row = 0;
        if (!s.MainTitle.isEmpty()) {
            QFont font = mPlot->font();
            font.setPointSizeF(font.pointSizeF() * 1.4);
            font.setBold(true);
            layout->insertRow(row);
            mTitle = new QCPTextElement(mPlot, s.MainTitle, font);
            layout->addElement(row++, 0, mTitle);
        }
        if (!s.SubTitle.isEmpty()) {
            QFont font = mPlot->font();
            font.setPointSizeF(font.pointSizeF() * 1.1);
            layout->insertRow(row);
            mSubTitle = new QCPTextElement(mPlot, s.SubTitle, font);
            layout->addElement(row, 0, mSubTitle);
        }
    }
    const QColor text = toQColor(s.TextColor);
    if (mTitle)
        mTitle->setTextColor(text);
    if (mSubTitle)
        mSubTitle->setTextColor(text);
}

void PESGraph::applyAnnotations(const Settings& s) {
    for (QCPAbstractItem* item : std::as_const(mAnnotationItems))
        mPlot->removeItem(item);
    mAnnotationItems.clear();
    if (!s.ShowVertLineAnnotations)
        return;
    // Annotations are always placed by x value.
    ChartSeries::Rule xRule = ruleFor(s);
    xRule.useX = true;
    QFont font = mPlot->font();
    font.setPointSizeF(std::max(1.0, font.pointSizeF() * s.LineAnnotationTextSize / 100.0));
    for (const VertLine& v : s.VertLines) {
        if (!v.placed)
            continue;
        const double key = ChartSeries::keyFor(xRule, 0, v.x);
        const QColor color = toQColor(v.color);
        auto* line = new QCPItemStraightLine(mPlot);
        line->setPen(QPen(color, 1, penStyleFor(v.type)));
        line->point1->setCoords(key, 0);
        line->point2->setCoords(key, 1);
        mAnnotationItems.append(line);
        if (v.text.isEmpty())
            continue;
        auto* label = new QCPItemText(mPlot);
        label->position->setTypeX(QCPItemPosition::ptPlotCoords);
        label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        label->position->setCoords(key, 0.02);
        label->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setPadding(QMargins(3, 0, 3, 0));
        label->setColor(color);
        label->setFont(font);
        label->setText(v.text);
        mAnnotationItems.append(label);
    }
}

// Axis ranges of the last rebuild: manual values, or the data where the scale is automatic.
void PESGraph::applyRanges() {
    const Settings& s = mBuilt;
    const ChartSeries::Rule rule = ruleFor(s);
    bool haveKeys = false, haveValues = false;
    double kLow = 0, kHigh = 1, vLow = 0, vHigh = 1;
    for (int i = 0; i < int(mGraphs.size()); ++i) {
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
    mPlot->xAxis->setRange(
        usableRange(xl, xh, rule.dateTime ? kZeroSpanDateTime : kZeroSpanNumber));
    mPlot->yAxis->setRange(usableRange(yl, yh, kZeroSpanNumber));
}

// Date-time labels in the user's formats, coarser as the visible span grows.
void PESGraph::updateTickFormat() {
    const double span = mPlot->xAxis->range().size(); // seconds
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
    if (mDateTicker->dateTimeFormat() != format)
        mDateTicker->setDateTimeFormat(format);
}

// ---- printing -------------------------------------------------------------------------------

PESGraph::PrintDialogHook PESGraph::setPrintDialogHook(PrintDialogHook hook) {
    std::swap(hook, sPrintDialogHook);
    return hook;
}

void PESGraph::setSharedPrinter(QPrinter* printer) {
    sSharedPrinter = printer;
}

void PESGraph::printWithDialog() {
    std::unique_ptr<QPrinter> own;
    if (!sSharedPrinter)
        own = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrinter& printer = sSharedPrinter ? *sSharedPrinter : *own;
    // printChart sets the resolution for its page; the next print starts from the printer's
    // own again.
    const int resolution = printer.resolution();
    const auto restoreResolution = qScopeGuard([&] { printer.setResolution(resolution); });
    if (ShowPrintDialog(printer, this))
        printChart(printer);
}

bool PESGraph::ShowPrintDialog(QPrinter& printer, QWidget* parent, const QString& title) {
    if (sPrintDialogHook)
        return sPrintDialogHook(printer);
    QPrintDialog dialog(&printer, parent);
    if (!title.isEmpty())
        dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}

void PESGraph::printChart(QPrinter& printer) {
    printer.setResolution(int(kScreenDpi));
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double perMm = kScreenDpi / 25.4;
    const double aspect = mPlot->width() > 0 && mPlot->height() > 0
                              ? double(mPlot->height()) / mPlot->width()
                              : 2.0 / 3.0;
    double w = mEnarg1 > 0 ? mEnarg1 * perMm : 0;
    double h = mEnarg2 > 0 ? mEnarg2 * perMm : 0;
    if (w <= 0 && h <= 0)
        w = page.width();
    if (w <= 0)
        w = h / aspect;
    if (h <= 0)
        h = w * aspect;
    const double fit = std::min({1.0, page.width() / w, page.height() / h});
    w *= fit;
    h *= fit;

    QCPPainter painter;
    if (!painter.begin(&printer)) {
        const QString file = printer.outputFileName();
        throw ChartError(file.isEmpty() ? QStringLiteral("The printer could not be started.")
                                        : QStringLiteral("The chart could not be printed to ") +
                                              file + QLatin1Char('.'));
    }
    painter.setMode(QCPPainter::pmVectorized);
    const bool written = !(mSet == mBuilt);
    if (written)
        applyLook(mSet);
    mPlot->toPainter(&painter, int(w), int(h));
    painter.end();
    if (written)
        applyLook(mBuilt);
    // The print laid the plot out for the page; lay it out for the screen again.
    mPlot->replot(QCustomPlot::rpQueuedReplot);
}

// ---- mouse --------------------------------------------------------------------------------

QRect PESGraph::bandRect(QPoint to) const {
    const QRect area = mPlot->axisRect()->rect();
    QRect band = QRect(mPressPos, to).normalized();
    if (mSet.AllowZooming == sgHorzZooming)
        band = QRect(band.left(), area.top(), band.width(), area.height());
    else if (mSet.AllowZooming == sgVertZooming)
        band = QRect(area.left(), band.top(), area.width(), band.height());
    return band.intersected(area);
}

void PESGraph::mousePressed(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    mPressed = true;
    mDragging = false;
    mPressPos = e->position().toPoint();
}

void PESGraph::mouseMoved(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (mPressed && !mDragging && mSet.AllowZooming >= sgHorzZooming &&
        mSet.AllowZooming <= sgHorzPlusVertZooming &&
        mPlot->axisRect()->rect().contains(mPressPos)) {
        const QPoint d = pos - mPressPos;
        mDragging = std::abs(d.x()) >= kDragThreshold || std::abs(d.y()) >= kDragThreshold;
    }
    if (mDragging) {
        mBand->setGeometry(bandRect(pos));
        mBand->show();
    }
    updateCursorPrompt(pos);
}

void PESGraph::mouseReleased(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !mPressed)
        return;
    mPressed = false;
    const QPoint pos = e->position().toPoint();
    if (mDragging) {
        mDragging = false;
        mBand->hide();
        zoomTo(bandRect(pos));
        return;
    }
    emit OnClick(this);
    int subset, point;
    if (mSet.AllowDataHotSpots && hotSpotAt(pos, subset, point))
        emit OnDataHotSpot(this, false, subset, point);
}

void PESGraph::mouseDoubleClicked(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    mPressed = false;
    mDragging = false;
    int subset, point;
    if (mSet.AllowDataHotSpots && hotSpotAt(e->position().toPoint(), subset, point))
        emit OnDataHotSpot(this, true, subset, point);
}

void PESGraph::zoomTo(QRect band) {
    const bool horizontal = mSet.AllowZooming != sgVertZooming;
    const bool vertical = mSet.AllowZooming != sgHorzZooming;
    if ((horizontal && band.width() < kDragThreshold) ||
        (vertical && band.height() < kDragThreshold))
        return;
    QCPAxis* x = mPlot->xAxis;
    QCPAxis* y = mPlot->yAxis;
    if (horizontal)
        x->setRange(x->pixelToCoord(band.left()), x->pixelToCoord(band.right()));
    if (vertical)
        y->setRange(y->pixelToCoord(band.bottom()), y->pixelToCoord(band.top()));
    mZoomed = true;
    mPrompt->hide(); // it names a point that has moved
    mPlot->replot(QCustomPlot::rpQueuedReplot);
}

bool PESGraph::hotSpotAt(QPoint pos, int& subset, int& point) const {
    const ChartSeries::Rule rule = ruleFor(mBuilt);
    double best = kHotSpotRadius;
    subset = point = -1;
    for (int s = 0; s < int(mGraphs.size()); ++s) {
        double d;
        const int p = series(s)->pointNear(rule, mPlot->xAxis, mPlot->yAxis, pos, best, &d);
        if (p >= 0 && (point < 0 || d < best)) {
            subset = s;
            point = p;
            best = d;
        }
    }
    return point >= 0;
}

void PESGraph::updateCursorPrompt(QPoint pos) {
    const Settings& s = mSet;
    const int style = s.CursorPromptStyle;
    const bool on = s.CursorMode == sgFloatingXY && s.MouseCursorControl && style >= sgXValue &&
                    style <= sgXYValues && mPlot->axisRect()->rect().contains(pos);
    // The nearest drawn point, found by key in each graph's sorted container.
    const QCPAxis* xAxis = mPlot->xAxis;
    const QCPAxis* yAxis = mPlot->yAxis;
    const double key = xAxis->pixelToCoord(pos.x());
    bool found = false;
    double bestDist = 0, bestKey = 0, bestValue = 0;
    for (int g = 0; on && g < int(mGraphs.size()); ++g) {
        const QSharedPointer<QCPGraphDataContainer> data = mGraphs[g]->data();
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
        mPrompt->hide();
        return;
    }
    const QLocale locale;
    const ChartSeries::Rule rule = ruleFor(mBuilt);
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
    mPrompt->setText(text);
    mPrompt->adjustSize();
    const QRect area = mPlot->axisRect()->rect();
    QPoint at = s.CursorPromptTracking ? pos + QPoint(12, 12) : area.topLeft() + QPoint(4, 4);
    at.setX(std::min(at.x(), area.right() - mPrompt->width()));
    at.setY(std::min(at.y(), area.bottom() - mPrompt->height()));
    mPrompt->move(at);
    mPrompt->show();
    mPrompt->raise();
}

bool PESGraph::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mPlot && event->type() == QEvent::Leave)
        mPrompt->hide();
    return QWidget::eventFilter(watched, event);
}

QString PESGraph::cursorPromptText() const {
    return mPrompt->isHidden() ? QString() : mPrompt->text();
}

// ---- pop-up -------------------------------------------------------------------------------

QMenu* PESGraph::createPopupMenu() {
    if (!mSet.AllowPopup)
        return nullptr;
    auto* menu = new QMenu(this);
    QAction* undo = menu->addAction(QStringLiteral("Undo Zoom"));
    undo->setEnabled(mZoomed);
    connect(undo, &QAction::triggered, this, [this] { setPEactions(sgUndoZoom); });
    return menu;
}

void PESGraph::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createPopupMenu();
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
