#include "dataloggerwindow.h"

#include "decodeddataset.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "chart.h"
#include "stringgrid.h"
#include "rangeprogressdialog.h"
#include "timechartsetup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int kCaptionHeight = 20;
constexpr int kLeftWidth = 375;
constexpr PEColor kMarkerGreen = 65280;
// The decoding progress is shown every this many records: the bar moves smoothly and costs
// nothing next to the decoding itself.
constexpr int kProgressStep = 1024;

QLabel* captionBar(const QString& text, QWidget* parent) {
    auto* bar = new QLabel(text, parent);
    bar->setAlignment(Qt::AlignCenter);
    bar->setFixedHeight(kCaptionHeight);
    bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->setAutoFillBackground(true);
    bar->setCursor(Qt::PointingHandCursor);
    return bar;
}

QLabel* summaryPanel(QWidget* parent, int tag) {
    auto* panel = new QLabel(parent);
    panel->setProperty("Tag", tag);
    panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panel->setStyleSheet(
        QStringLiteral("QLabel { background: black; color: yellow; font-weight: bold; }"));
    panel->setCursor(Qt::PointingHandCursor);
    panel->setMinimumHeight(22);
    return panel;
}

// The decoding progress window, and the hourglass while it is up: both go whatever ends
// showDataSet.
class DecodingProgress {
public:
    explicit DecodingProgress(QWidget* owner, int records) : m_scope(new RangeProgressDialog(owner)) {
        m_scope->setWindowTitle(QStringLiteral("data decoding progress"));
        m_scope->statusLabel->setText(QStringLiteral("Now is decoding data,please wait !"));
        m_scope->statusLabel->show();
        m_scope->progressBar->setRange(0, std::max(records, 1));
        m_scope->progressBar->setValue(0);
        m_scope->progressBar->show();
        m_scope->clearResult();
        m_scope->show();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~DecodingProgress() { QGuiApplication::restoreOverrideCursor(); }
    DecodingProgress(const DecodingProgress&) = delete;
    DecodingProgress& operator=(const DecodingProgress&) = delete;
    void position(int i) { m_scope->progressBar->setValue(i); }

private:
    std::unique_ptr<RangeProgressDialog> m_scope;
};

// Shows the table again however its filling ends.
class ShowOnExit {
public:
    explicit ShowOnExit(QWidget* w) : m_widget(w) {}
    ~ShowOnExit() { m_widget->show(); }
    ShowOnExit(const ShowOnExit&) = delete;
    ShowOnExit& operator=(const ShowOnExit&) = delete;

private:
    QWidget* m_widget;
};

} // namespace

DataLoggerWindow::DataLoggerWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("DataLogger"));
    setObjectName(QStringLiteral("dataLoggerWindow"));

    mainSplitter = new QSplitter(Qt::Horizontal, this);
    mainSplitter->setChildrenCollapsible(false);

    auto* left = new QWidget(mainSplitter);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    dataSetsCaption = captionBar(QStringLiteral("Data Sets"), left);
    dataSetsCaption->setObjectName(QStringLiteral("dataSetsCaption"));
    dataSetList = new StringGrid(left);
    dataSetList->setObjectName(QStringLiteral("dataSetList"));
    QFont listFont = dataSetList->font();
    listFont.setPixelSize(15);
    dataSetList->setFont(listFont);
    dataSetList->setColCount(6);
    dataSetList->setRowCount(2);
    dataSetList->setFixedRows(1);
    dataSetList->setFixedCols(0);
    dataSetList->setSelectionBehavior(QAbstractItemView::SelectRows);
    dataSetList->setSelectionMode(QAbstractItemView::SingleSelection);
    dataSetList->viewport()->setCursor(Qt::PointingHandCursor);
    dataSetList->setRow(0, {QStringLiteral("Set"), QStringLiteral("DATE"), QStringLiteral("TIME"),
                      QStringLiteral("Function"), QStringLiteral("Rate"), QStringLiteral("Nums")});
    fitListColumns();
    dataSetList->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    auto* summary = new QWidget(left);
    auto* grid = new QGridLayout(summary);
    grid->setContentsMargins(4, 4, 4, 4);
    auto* maxCaption = new QLabel(QStringLiteral("MAX"), summary);
    auto* minCaption = new QLabel(QStringLiteral("MIN"), summary);
    for (QLabel* caption : {maxCaption, minCaption})
        caption->setStyleSheet(QStringLiteral("QLabel { color: #c8a000; font-weight: bold; }"));
    maxPanel = summaryPanel(summary, 1);
    maxPanel->setObjectName(QStringLiteral("maxPanel"));
    minPanel = summaryPanel(summary, 2);
    minPanel->setObjectName(QStringLiteral("minPanel"));
    grid->addWidget(maxCaption, 0, 0);
    grid->addWidget(maxPanel, 0, 1);
    grid->addWidget(minCaption, 1, 0);
    grid->addWidget(minPanel, 1, 1);
    grid->setColumnStretch(1, 1);

    leftLayout->addWidget(dataSetsCaption);
    leftLayout->addWidget(dataSetList, 1);
    leftLayout->addWidget(summary);

    chartTableSplitter = new QSplitter(Qt::Vertical, mainSplitter);
    chartTableSplitter->setChildrenCollapsible(false);
    auto* upper = new QWidget(chartTableSplitter);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    graphCaption = captionBar(QStringLiteral("Graph"), upper);
    graphCaption->setObjectName(QStringLiteral("graphCaption"));
    chart = new Chart(upper);
    chart->setObjectName(QStringLiteral("chart"));
    chart->setScaleMemoryKey(QStringLiteral("DataLogger"));
    upperLayout->addWidget(graphCaption);
    upperLayout->addWidget(chart, 1);

    auto* lower = new QWidget(chartTableSplitter);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(0);
    tableCaption = captionBar(QStringLiteral("Tabular"), lower);
    tableCaption->setObjectName(QStringLiteral("tableCaption"));
    recordTable = new StringGrid(lower);
    recordTable->setObjectName(QStringLiteral("recordTable"));
    recordTable->setToolTip(QStringLiteral("click to position this data on graph"));
    recordTable->viewport()->setCursor(Qt::PointingHandCursor);
    recordTable->setFixedColor(Qt::white);
    recordTable->setColCount(9);
    recordTable->setRowCount(2);
    recordTable->setFixedRows(1);
    recordTable->setFixedCols(1);
    recordTable->setShowGrid(true);
    recordTable->setDefaultRowHeight(20);
    recordTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordTable->setSelectionMode(QAbstractItemView::SingleSelection);
    recordTable->setRow(0, {QStringLiteral("NO"), QStringLiteral("DATE"), QStringLiteral("TIME"),
                      QStringLiteral("VALUE"), QStringLiteral("RANGE")});
    const int defaultWidth = recordTable->defaultColWidth();
    recordTable->setColWidths(0, int(defaultWidth * 0.8));
    recordTable->setColWidths(1, int(defaultWidth * 1.4));
    recordTable->setColWidths(2, int(defaultWidth * 1.3));
    for (int col = 3; col <= 5; ++col)
        recordTable->setColWidths(col, defaultWidth);
    lowerLayout->addWidget(tableCaption);
    lowerLayout->addWidget(recordTable, 1);

    chartTableSplitter->addWidget(upper);
    chartTableSplitter->addWidget(lower);
    mainSplitter->addWidget(left);
    mainSplitter->addWidget(chartTableSplitter);
    mainSplitter->setStretchFactor(0, 0);
    mainSplitter->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mainSplitter);
    resize(ClientWidth, ClientHeight);

    setupTimeChart(chart, 4, 0, 0);
    highlightPane(Pane::DataSets);

    for (QWidget* w : {static_cast<QWidget*>(dataSetsCaption), static_cast<QWidget*>(graphCaption),
                       static_cast<QWidget*>(tableCaption), static_cast<QWidget*>(maxPanel),
                       static_cast<QWidget*>(minPanel)})
        w->installEventFilter(this);
    // The shown set follows the list's current row however it moves (mouse, keyboard, the
    // program), so the highlighted set is the one shown and saved.
    connect(dataSetList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            ErrorBoundary::guard([this] { onDataSetClicked(); }));
    connect(recordTable, &QAbstractItemView::clicked, this,
            ErrorBoundary::guard([this] { onRecordClicked(); }));
    connect(chart, &Chart::onDataHotSpot, this, [this](Chart*, bool, int, int point) {
        ErrorBoundary::Run([this, point] { onChartHotSpot(point); });
    });
    connect(chart, &Chart::onClick, this,
            ErrorBoundary::guard([this] { onChartClick(); }));
}

DataLoggerWindow::~DataLoggerWindow() = default;

void DataLoggerWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The chart takes the upper half of the right pane, the list two thirds of the left.
    const int h = height();
    mainSplitter->setSizes({kLeftWidth, std::max(width() - kLeftWidth, 100)});
    fitListColumns();
    chartTableSplitter->setSizes({h / 2, h - h / 2});
    dataSetList->setMinimumHeight(std::min(h / 3 * 2, h - 120) - kCaptionHeight);
}

// ---- data ----------------------------------------------------------------------------------

void DataLoggerWindow::fitListColumns() {
    // The list's least widths, widened to its longest text (dates in the user's short format
    // differ in length from one region to another).
    static constexpr int kLeastWidths[] = {25, 60, 60, 65, 40, 40};
    const QFontMetrics metrics(dataSetList->font());
    int total = 0;
    for (int col = 0; col < dataSetList->gridColCount(); ++col) {
        int width = kLeastWidths[col];
        for (int row = 0; row < dataSetList->gridRowCount(); ++row)
            width = std::max(width, metrics.horizontalAdvance(dataSetList->cells(col, row)) + 12);
        dataSetList->setColWidths(col, width);
        total += width;
    }
    // The left pane shows the whole list when the window is wide enough for it.
    const int wanted = total + dataSetList->verticalScrollBar()->sizeHint().width() + 4;
    const QList<int> sizes = mainSplitter->sizes();
    if (sizes.size() == 2 && sizes[0] < wanted && sizes[0] + sizes[1] > wanted + 300)
        mainSplitter->setSizes({wanted, sizes[0] + sizes[1] - wanted});
}

void DataLoggerWindow::showLoggerData(const LoggerImage& image, const QList<DataSetInfo>& sets) {
    setWindowTitle(QStringLiteral("DataLogger"));
    m_image = image;
    m_sets = sets;
    m_shownSet = -1;
    dataSetList->setRowCount(int(sets.size()) + 1);
    if (sets.isEmpty())
        dataSetList->clearRow(1);
    for (int k = 0; k < sets.size(); ++k)
        dataSetList->setRow(k + 1, sets[k].listRow(k));
    dataSetList->setTopRow(1);
    fitListColumns();
    if (sets.isEmpty())
        return;
    // Moving the current row shows its set, unless the row was current already.
    dataSetList->selectRow(1, 0, 4);
    if (m_shownSet != 0)
        showDataSet(0);
}

void DataLoggerWindow::markErasedFromMeter() {
    if (!m_sets.isEmpty())
        setWindowTitle(QStringLiteral("DataLogger - erased from the meter, kept only here"));
}

void DataLoggerWindow::showDataSet(int index) {
    if (index < 0 || index >= m_sets.size())
        return;
    const DataSetInfo& info = m_sets[index];
    const int n = info.recordCount;
    DecodingProgress progress(this, n);
    ShowOnExit showTable(recordTable);
    recordTable->hide();
    recordTable->setRowCount(2);
    recordTable->clearRow(1);
    m_shownSet = index;
    m_maxRow = 0;
    m_minRow = 0;
    maxPanel->clear();
    minPanel->clear();

    const DecodedDataSet set = decodeDataSet(m_image, info);
    recordTable->setRowCount(std::max(n, 1) + 1);
    for (int i = 0; i < set.count(); ++i) {
        if (i % kProgressStep == 0)
            progress.position(i);
        recordTable->setRow(i + 1, set.rows[i]);
    }
    recordTable->setTopRow(1);
    m_maxRow = set.maxRow;
    m_minRow = set.minRow;
    maxPanel->setText(set.maxText);
    minPanel->setText(set.minText);

    // The chart last: a damaged chart template stops here, with the table already filled.
    const double step = info.intervalSeconds / 86400.0;
    setupTimeChart(chart, n, info.startTime, info.startTime + n * step);
    chart->setAllowPopup(false);
    for (int i = 0; i < set.count(); ++i) {
        chart->setXData(0, i, set.x[i]);
        chart->setYData(0, i, float(set.y[i]));
        chart->markOverload(0, i, set.overload[i]);
    }
    if (set.axisLimit) {
        chart->setManualMaxY(*set.axisLimit);
        chart->setManualMinY(-*set.axisLimit);
    }
    chart->setValueUnit(set.baseUnit);
    chart->setShowVertLineAnnotations(true);
    chart->removeCursors(); // they were on the previous set's points
    if (n > 0)
        markChartPoint(0);
    chart->resetView();
    // A set drawn as a flat line on the fixed scale opens fitted to its data, and so does every
    // set when the user last chose Fit to Data on the data logger's chart.
    if (chart->remembersFitToData() || chart->fixedScaleFlattens())
        chart->fitToData();
    else
        chart->useFixedScales();
}

// ---- panes, marker and selection -----------------------------------------------------------

void DataLoggerWindow::highlightPane(Pane pane) {
    m_pane = pane;
    const std::pair<QLabel*, Pane> bars[] = {{dataSetsCaption, Pane::DataSets},
                                             {graphCaption, Pane::Graph},
                                             {tableCaption, Pane::Tabular}};
    for (const auto& [bar, which] : bars) {
        QPalette p = bar->palette();
        const bool on = which == pane;
        p.setColor(QPalette::Window, on ? QColor(Qt::blue) : palette().color(QPalette::Button));
        p.setColor(QPalette::WindowText,
                   on ? QColor(Qt::white) : palette().color(QPalette::WindowText));
        bar->setPalette(p);
    }
}

void DataLoggerWindow::redrawChart() {
    chart->redraw();
}

void DataLoggerWindow::markChartPoint(int p) {
    if (p < 0 || p >= chart->points() || p + 1 >= recordTable->gridRowCount())
        return;
    chart->setLineAnnotationTextSize(100);
    chart->setVertLineAnnotation(0, chart->xData(0, p));
    chart->setVertLineAnnotationType(0, 2);
    chart->setVertLineAnnotationColor(0, kMarkerGreen);
    chart->setVertLineAnnotationText(0, recordTable->cells(2, p + 1) + ' ' + recordTable->cells(3, p + 1) +
                                                ' ' + recordTable->cells(4, p + 1));
    redrawChart();
}

void DataLoggerWindow::selectTableRow(int r) {
    if (m_shownSet < 0 || r < 1 || r >= recordTable->gridRowCount())
        return;
    recordTable->selectRow(r, 1, recordTable->gridColCount() - 1);
    const int visible = recordTable->visibleRowCount();
    recordTable->setTopRow(r > visible ? r - visible / 2 : 1);
    recordTable->viewport()->update();
    markChartPoint(r - 1);
}

// ---- handlers ------------------------------------------------------------------------------

void DataLoggerWindow::onDataSetClicked() {
    const int row = dataSetList->currentRow();
    if (row < 1 || row - 1 == m_shownSet)
        return;
    showDataSet(row - 1);
}

void DataLoggerWindow::onRecordClicked() {
    highlightPane(Pane::Tabular);
    if (m_shownSet >= 0)
        markChartPoint(recordTable->currentRow() - 1);
}

void DataLoggerWindow::onChartHotSpot(int point) {
    selectTableRow(point + 1);
}

void DataLoggerWindow::selectExtremeRow(int tag) {
    const int row = tag == 1 ? m_maxRow : tag == 2 ? m_minRow : 0;
    if (row > 0)
        selectTableRow(row);
}

void DataLoggerWindow::onChartClick() {
    highlightPane(Pane::Graph);
}

bool DataLoggerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == dataSetsCaption)
            highlightPane(Pane::DataSets);
        else if (watched == graphCaption)
            highlightPane(Pane::Graph);
        else if (watched == tableCaption)
            highlightPane(Pane::Tabular);
        else if (watched == maxPanel || watched == minPanel) {
            const int tag = watched->property("Tag").toInt();
            ErrorBoundary::Run([this, tag] { selectExtremeRow(tag); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- closing -------------------------------------------------------------------------------

bool DataLoggerWindow::askToClose() {
    if (!m_loggerDataLoaded)
        return true;
    Dialogs::Request question;
    question.icon = QMessageBox::Question;
    question.title = QStringLiteral("Confirm");
    question.text = QStringLiteral("Save DataLogger Data ?");
    question.buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    switch (Dialogs::ask(this, question)) {
    case QMessageBox::Yes:
        return m_saveAction && m_saveAction();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void DataLoggerWindow::closeEvent(QCloseEvent* event) {
    // A save that throws is reported by the boundary and keeps the window open.
    bool close = false;
    ErrorBoundary::Run([this, &close] { close = askToClose(); });
    if (close)
        event->accept();
    else
        event->ignore();
}
