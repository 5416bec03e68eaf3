#include "tfrmdatalogger.h"

#include "decodeddataset.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "pesgraph.h"
#include "stringgrid.h"
#include "tfrmscope.h"
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
// ShowDataSet.
class DecodingProgress {
public:
    explicit DecodingProgress(QWidget* owner, int records) : m_scope(new TfrmScope(owner)) {
        m_scope->setWindowTitle(QStringLiteral("data decoding progress"));
        m_scope->SText1->setText(QStringLiteral("Now is decoding data,please wait !"));
        m_scope->SText1->show();
        m_scope->Progress1->setRange(0, std::max(records, 1));
        m_scope->Progress1->setValue(0);
        m_scope->Progress1->show();
        m_scope->ClearResult();
        m_scope->show();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~DecodingProgress() { QGuiApplication::restoreOverrideCursor(); }
    DecodingProgress(const DecodingProgress&) = delete;
    DecodingProgress& operator=(const DecodingProgress&) = delete;
    void position(int i) { m_scope->Progress1->setValue(i); }

private:
    std::unique_ptr<TfrmScope> m_scope;
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

TfrmDataLogger::TfrmDataLogger(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("DataLogger"));
    setObjectName(QStringLiteral("frmDataLogger"));

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setChildrenCollapsible(false);

    auto* left = new QWidget(Splitter1);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    StaticText1 = captionBar(QStringLiteral("Data Sets"), left);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    Grid2 = new StringGrid(left);
    Grid2->setObjectName(QStringLiteral("Grid2"));
    QFont listFont = Grid2->font();
    listFont.setPixelSize(15);
    Grid2->setFont(listFont);
    Grid2->setColCount(6);
    Grid2->setRowCount(2);
    Grid2->setFixedRows(1);
    Grid2->setFixedCols(0);
    Grid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid2->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid2->viewport()->setCursor(Qt::PointingHandCursor);
    Grid2->setRow(0, {QStringLiteral("Set"), QStringLiteral("DATE"), QStringLiteral("TIME"),
                      QStringLiteral("Function"), QStringLiteral("Rate"), QStringLiteral("Nums")});
    fitListColumns();
    Grid2->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    auto* summary = new QWidget(left);
    auto* grid = new QGridLayout(summary);
    grid->setContentsMargins(4, 4, 4, 4);
    auto* maxCaption = new QLabel(QStringLiteral("MAX"), summary);
    auto* minCaption = new QLabel(QStringLiteral("MIN"), summary);
    for (QLabel* caption : {maxCaption, minCaption})
        caption->setStyleSheet(QStringLiteral("QLabel { color: #c8a000; font-weight: bold; }"));
    lblRHMAX = summaryPanel(summary, 1);
    lblRHMAX->setObjectName(QStringLiteral("lblRHMAX"));
    lblRHMIN = summaryPanel(summary, 2);
    lblRHMIN->setObjectName(QStringLiteral("lblRHMIN"));
    grid->addWidget(maxCaption, 0, 0);
    grid->addWidget(lblRHMAX, 0, 1);
    grid->addWidget(minCaption, 1, 0);
    grid->addWidget(lblRHMIN, 1, 1);
    grid->setColumnStretch(1, 1);

    leftLayout->addWidget(StaticText1);
    leftLayout->addWidget(Grid2, 1);
    leftLayout->addWidget(summary);

    Splitter2 = new QSplitter(Qt::Vertical, Splitter1);
    Splitter2->setChildrenCollapsible(false);
    auto* upper = new QWidget(Splitter2);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    StaticText3 = captionBar(QStringLiteral("Graph"), upper);
    StaticText3->setObjectName(QStringLiteral("StaticText3"));
    PESGraph1 = new PESGraph(upper);
    PESGraph1->setObjectName(QStringLiteral("PESGraph1"));
    upperLayout->addWidget(StaticText3);
    upperLayout->addWidget(PESGraph1, 1);

    auto* lower = new QWidget(Splitter2);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(0);
    StaticText4 = captionBar(QStringLiteral("Tabular"), lower);
    StaticText4->setObjectName(QStringLiteral("StaticText4"));
    Grid1 = new StringGrid(lower);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setToolTip(QStringLiteral("click to position this data on graph"));
    Grid1->viewport()->setCursor(Qt::PointingHandCursor);
    Grid1->setFixedColor(Qt::white);
    Grid1->setColCount(9);
    Grid1->setRowCount(2);
    Grid1->setFixedRows(1);
    Grid1->setFixedCols(1);
    Grid1->setShowGrid(true);
    Grid1->setDefaultRowHeight(20);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->setRow(0, {QStringLiteral("NO"), QStringLiteral("DATE"), QStringLiteral("TIME"),
                      QStringLiteral("VALUE"), QStringLiteral("RANGE")});
    const int defaultWidth = Grid1->DefaultColWidth();
    Grid1->setColWidths(0, int(defaultWidth * 0.8));
    Grid1->setColWidths(1, int(defaultWidth * 1.4));
    Grid1->setColWidths(2, int(defaultWidth * 1.3));
    for (int col = 3; col <= 5; ++col)
        Grid1->setColWidths(col, defaultWidth);
    lowerLayout->addWidget(StaticText4);
    lowerLayout->addWidget(Grid1, 1);

    Splitter2->addWidget(upper);
    Splitter2->addWidget(lower);
    Splitter1->addWidget(left);
    Splitter1->addWidget(Splitter2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter1);
    resize(ClientWidth, ClientHeight);

    SetupTimeChart(PESGraph1, 4, 0, 0);
    HighlightPane(Pane::DataSets);

    for (QWidget* w : {static_cast<QWidget*>(StaticText1), static_cast<QWidget*>(StaticText3),
                       static_cast<QWidget*>(StaticText4), static_cast<QWidget*>(lblRHMAX),
                       static_cast<QWidget*>(lblRHMIN)})
        w->installEventFilter(this);
    connect(Grid2, &QAbstractItemView::clicked, this,
            ErrorBoundary::Guard([this] { Grid2Click(); }));
    connect(Grid1, &QAbstractItemView::clicked, this,
            ErrorBoundary::Guard([this] { Grid1Click(); }));
    connect(PESGraph1, &PESGraph::OnDataHotSpot, this, [this](PESGraph*, bool, int, int point) {
        ErrorBoundary::Run([this, point] { PESGraph1DataHotSpot(point); });
    });
    connect(PESGraph1, &PESGraph::OnClick, this,
            ErrorBoundary::Guard([this] { PESGraph1Click(); }));
}

TfrmDataLogger::~TfrmDataLogger() = default;

void TfrmDataLogger::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The chart takes the upper half of the right pane, the list two thirds of the left.
    const int h = height();
    Splitter1->setSizes({kLeftWidth, std::max(width() - kLeftWidth, 100)});
    fitListColumns();
    Splitter2->setSizes({h / 2, h - h / 2});
    Grid2->setMinimumHeight(std::min(h / 3 * 2, h - 120) - kCaptionHeight);
}

// ---- data ----------------------------------------------------------------------------------

void TfrmDataLogger::fitListColumns() {
    // The list's least widths, widened to its longest text (dates in the user's short format
    // differ in length from one region to another).
    static constexpr int kLeastWidths[] = {25, 60, 60, 65, 40, 40};
    const QFontMetrics metrics(Grid2->font());
    int total = 0;
    for (int col = 0; col < Grid2->ColCount(); ++col) {
        int width = kLeastWidths[col];
        for (int row = 0; row < Grid2->RowCount(); ++row)
            width = std::max(width, metrics.horizontalAdvance(Grid2->Cells(col, row)) + 12);
        Grid2->setColWidths(col, width);
        total += width;
    }
    // The left pane shows the whole list when the window is wide enough for it.
    const int wanted = total + Grid2->verticalScrollBar()->sizeHint().width() + 4;
    const QList<int> sizes = Splitter1->sizes();
    if (sizes.size() == 2 && sizes[0] < wanted && sizes[0] + sizes[1] > wanted + 300)
        Splitter1->setSizes({wanted, sizes[0] + sizes[1] - wanted});
}

void TfrmDataLogger::ShowLoggerData(const LoggerImage& image, const QList<DataSetInfo>& sets) {
    m_image = image;
    m_sets = sets;
    m_shownSet = -1;
    Grid2->setRowCount(int(sets.size()) + 1);
    if (sets.isEmpty())
        Grid2->clearRow(1);
    for (int k = 0; k < sets.size(); ++k)
        Grid2->setRow(k + 1, sets[k].ListRow(k));
    Grid2->setTopRow(1);
    fitListColumns();
    if (sets.isEmpty())
        return;
    Grid2->SelectRow(1, 0, 4);
    ShowDataSet(0);
}

void TfrmDataLogger::ShowDataSet(int index) {
    if (index < 0 || index >= m_sets.size())
        return;
    const DataSetInfo& info = m_sets[index];
    const int n = info.RecordCount;
    DecodingProgress progress(this, n);
    ShowOnExit showTable(Grid1);
    Grid1->hide();
    Grid1->setRowCount(2);
    Grid1->clearRow(1);
    m_shownSet = index;
    MaxRow = 0;
    MinRow = 0;
    lblRHMAX->clear();
    lblRHMIN->clear();

    const DecodedDataSet set = DecodeDataSet(m_image, info);
    Grid1->setRowCount(std::max(n, 1) + 1);
    for (int i = 0; i < set.count(); ++i) {
        if (i % kProgressStep == 0)
            progress.position(i);
        Grid1->setRow(i + 1, set.Rows[i]);
    }
    Grid1->setTopRow(1);
    MaxRow = set.MaxRow;
    MinRow = set.MinRow;
    lblRHMAX->setText(set.MaxText);
    lblRHMIN->setText(set.MinText);

    // The chart last: a damaged chart template stops here, with the table already filled.
    const double step = info.IntervalSeconds / 86400.0;
    SetupTimeChart(PESGraph1, n, info.StartTime, info.StartTime + n * step);
    PESGraph1->setAllowPopup(false);
    for (int i = 0; i < set.count(); ++i) {
        PESGraph1->setXDataII(0, i, set.X[i]);
        PESGraph1->setYData(0, i, float(set.Y[i]));
    }
    if (set.AxisLimit) {
        PESGraph1->setManualMaxY(*set.AxisLimit);
        PESGraph1->setManualMinY(-*set.AxisLimit);
    }
    PESGraph1->setYAxisLabel(set.BaseUnit);
    PESGraph1->setShowVertLineAnnotations(true);
    if (n > 0)
        MarkChartPoint(0);
    PESGraph1->setPEnarg1(0);
    PESGraph1->setPEnarg2(0);
    PESGraph1->setPEactions(sgResetImage);
    PESGraph1->setPEactions(sgInvalidateImage);
    PESGraph1->setPEactions(sgUndoZoom);
}

// ---- panes, marker and selection -----------------------------------------------------------

void TfrmDataLogger::HighlightPane(Pane pane) {
    m_pane = pane;
    const std::pair<QLabel*, Pane> bars[] = {
        {StaticText1, Pane::DataSets}, {StaticText3, Pane::Graph}, {StaticText4, Pane::Tabular}};
    for (const auto& [bar, which] : bars) {
        QPalette p = bar->palette();
        const bool on = which == pane;
        p.setColor(QPalette::Window, on ? QColor(Qt::blue) : palette().color(QPalette::Button));
        p.setColor(QPalette::WindowText,
                   on ? QColor(Qt::white) : palette().color(QPalette::WindowText));
        bar->setPalette(p);
    }
}

void TfrmDataLogger::redrawChart() {
    PESGraph1->setPEnarg1(0);
    PESGraph1->setPEnarg2(0);
    PESGraph1->setPEactions(sgResetImage);
    PESGraph1->setPEactions(sgInvalidateImage);
}

void TfrmDataLogger::MarkChartPoint(int p) {
    if (p < 0 || p >= PESGraph1->Points() || p + 1 >= Grid1->RowCount())
        return;
    PESGraph1->setLineAnnotationTextSize(100);
    PESGraph1->setVertLineAnnotation(0, PESGraph1->XDataII(0, p));
    PESGraph1->setVertLineAnnotationType(0, 2);
    PESGraph1->setVertLineAnnotationColor(0, kMarkerGreen);
    PESGraph1->setVertLineAnnotationText(0, Grid1->Cells(2, p + 1) + ' ' + Grid1->Cells(3, p + 1) +
                                                ' ' + Grid1->Cells(4, p + 1));
    redrawChart();
}

void TfrmDataLogger::SelectTableRow(int r) {
    if (m_shownSet < 0 || r < 1 || r >= Grid1->RowCount())
        return;
    Grid1->SelectRow(r, 1, Grid1->ColCount() - 1);
    const int visible = Grid1->VisibleRowCount();
    Grid1->setTopRow(r > visible ? r - visible / 2 : 1);
    Grid1->viewport()->update();
    MarkChartPoint(r - 1);
}

// ---- handlers ------------------------------------------------------------------------------

void TfrmDataLogger::Grid2Click() {
    const int row = Grid2->Row();
    if (row < 1)
        return;
    ShowDataSet(row - 1);
}

void TfrmDataLogger::Grid1Click() {
    HighlightPane(Pane::Tabular);
    if (m_shownSet >= 0)
        MarkChartPoint(Grid1->Row() - 1);
}

void TfrmDataLogger::PESGraph1DataHotSpot(int point) {
    SelectTableRow(point + 1);
}

void TfrmDataLogger::lblRHMAXClick(int tag) {
    const int row = tag == 1 ? MaxRow : tag == 2 ? MinRow : 0;
    if (row > 0)
        SelectTableRow(row);
}

void TfrmDataLogger::StaticText1Click() {
    HighlightPane(Pane::DataSets);
}

void TfrmDataLogger::StaticText3Click() {
    HighlightPane(Pane::Graph);
}

void TfrmDataLogger::PESGraph1Click() {
    HighlightPane(Pane::Graph);
}

void TfrmDataLogger::StaticText4Click() {
    HighlightPane(Pane::Tabular);
}

bool TfrmDataLogger::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == StaticText1)
            StaticText1Click();
        else if (watched == StaticText3)
            StaticText3Click();
        else if (watched == StaticText4)
            StaticText4Click();
        else if (watched == lblRHMAX || watched == lblRHMIN) {
            const int tag = watched->property("Tag").toInt();
            ErrorBoundary::Run([this, tag] { lblRHMAXClick(tag); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- closing -------------------------------------------------------------------------------

bool TfrmDataLogger::FormCloseQuery() {
    if (!LoggerDataLoaded)
        return true;
    Dialogs::Request question;
    question.icon = QMessageBox::Question;
    question.title = QStringLiteral("Confirm");
    question.text = QStringLiteral("Save DataLogger Data ?");
    question.buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    switch (Dialogs::Ask(this, question)) {
    case QMessageBox::Yes:
        return OnSaveRequested && OnSaveRequested();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TfrmDataLogger::closeEvent(QCloseEvent* event) {
    // A save that throws is reported by the boundary and keeps the window open.
    bool close = false;
    ErrorBoundary::Run([this, &close] { close = FormCloseQuery(); });
    if (close)
        event->accept();
    else
        event->ignore();
}
