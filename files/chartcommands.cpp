#include "chartcommands.h"

#include "chart.h"
#include "chartexport.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "exportsizedialog.h"
#include "filecommands.h"
#include "stringgrid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QKeySequence>

#include <set>
#include <vector>

ChartCommands::ChartCommands(FileCommands& files, QWidget* mainWindow)
    : QObject(mainWindow), m_files(files), m_main(mainWindow) {
    fitToDataAction = new QAction(QStringLiteral("&Fit to Data"), this);
    fitToDataAction->setObjectName(QStringLiteral("fitToDataAction"));
    fitToDataAction->setCheckable(true);
    fitToDataAction->setStatusTip(
        QStringLiteral("Scale the chart to its data (double click on the chart); uncheck for "
                       "the fixed scale"));
    cursorsAction = new QAction(QStringLiteral("C&ursors"), this);
    cursorsAction->setObjectName(QStringLiteral("cursorsAction"));
    cursorsAction->setCheckable(true);
    cursorsAction->setStatusTip(
        QStringLiteral("Two cursors on the chart: click or keys 1, 2, Left, Right; Escape "
                       "removes them"));
    // "t": the File menu's E is Exit's.
    exportChartAction = new QAction(QStringLiteral("Expor&t Chart..."), this);
    exportChartAction->setObjectName(QStringLiteral("exportChartAction"));
    exportChartAction->setStatusTip(QStringLiteral("Save the chart as a PNG, SVG or PDF file"));
    copyAction = new QAction(QStringLiteral("&Copy"), this);
    copyAction->setObjectName(QStringLiteral("copyAction"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setStatusTip(
        QStringLiteral("Copy the selected table rows as text, or the chart as a picture"));

    connect(fitToDataAction, &QAction::triggered, this,
            [this](bool on) { ErrorBoundary::Run([this, on] { toggleFitToData(on); }); });
    connect(cursorsAction, &QAction::triggered, this,
            [this](bool on) { ErrorBoundary::Run([this, on] { toggleCursors(on); }); });
    connect(exportChartAction, &QAction::triggered, this,
            ErrorBoundary::guard([this] { exportChart(); }));
    connect(copyAction, &QAction::triggered, this, ErrorBoundary::guard([this] { copy(); }));
    updateActions();
}

ChartCommands::~ChartCommands() = default;

Chart* ChartCommands::activeChart() const {
    return m_files.partsOf(m_files.activeMdiChild()).chart;
}

StringGrid* ChartCommands::activeTable() const {
    return m_files.partsOf(m_files.activeMdiChild()).table;
}

void ChartCommands::setExportSize(QSize size) {
    if (size.isValid() && size.width() <= kMaxExportSide && size.height() <= kMaxExportSide)
        m_exportSize = size;
}

void ChartCommands::updateActions() {
    Chart* chart = activeChart();
    StringGrid* table = activeTable();
    fitToDataAction->setEnabled(chart);
    cursorsAction->setEnabled(chart);
    exportChartAction->setEnabled(chart);
    copyAction->setEnabled(chart || table);
    fitToDataAction->setChecked(chart && chart->fittedToData());
    cursorsAction->setChecked(chart && chart->cursorsShown());
    if (chart != m_followed) {
        disconnect(m_fittedConnection);
        m_followed = chart;
        if (chart)
            m_fittedConnection = connect(chart, &Chart::fittedChanged, fitToDataAction,
                                         &QAction::setChecked);
    }
}

void ChartCommands::toggleFitToData(bool fitted) {
    Chart* chart = activeChart();
    if (!chart)
        return;
    chart->chooseFitToData(fitted);
}

void ChartCommands::toggleCursors(bool shown) {
    if (Chart* chart = activeChart()) {
        chart->setCursorsShown(shown);
        if (shown)
            chart->setFocus(Qt::OtherFocusReason); // the cursor keys go to it at once
    }
}

void ChartCommands::exportChart() {
    QPointer<Chart> chart = activeChart();
    if (!chart)
        return;
    Dialogs::FileRequest request;
    request.kind = Dialogs::FileRequest::Kind::Save;
    request.title = QStringLiteral("Export Chart");
    request.folder = m_files.lastFolder();
    request.filter = QStringLiteral(
        "PNG Image[*.png]|*.png|SVG Drawing[*.svg]|*.svg|PDF Document[*.pdf]|*.pdf");
    request.defaultSuffix = QStringLiteral("png");
    const QString path = Dialogs::askFile(m_main, request);
    if (path.isEmpty() || !chart)
        return;
    ExportSizeDialog sizes(m_exportSize, m_main);
    if (sizes.exec() != QDialog::Accepted || !chart)
        return;
    const QSize size = sizes.chosenSize();
    if (size != m_exportSize) {
        m_exportSize = size;
        emit exportSizeChanged(size);
    }
    ::exportChart(*chart, path, chartImageFormatFor(path), size);
}

QString ChartCommands::selectedRowsText(const StringGrid& table) {
    const QItemSelectionModel* selection = table.selectionModel();
    if (!selection || !selection->hasSelection())
        return QString();
    std::set<int> rows; // grid rows, in order
    for (const QItemSelectionRange& range : selection->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.insert(r + table.fixedRows());
    std::vector<int> copied;
    if (table.fixedRows() > 0)
        copied.push_back(0); // the captions
    copied.insert(copied.end(), rows.begin(), rows.end());
    // Columns after the last one with a text in the copied rows would only add empty cells.
    int columns = 0;
    for (int row : copied)
        for (int c = columns; c < table.gridColCount(); ++c)
            if (!table.cells(c, row).isEmpty())
                columns = c + 1;
    QString text;
    for (int row : copied) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                text += u'\t';
            // A tab or line break inside a cell would split it.
            QString cell = table.cells(c, row);
            cell.replace(u'\t', u' ').replace(u'\n', u' ');
            text += cell;
        }
        text += u'\n';
    }
    return text;
}

void ChartCommands::copy() {
    StringGrid* table = activeTable();
    Chart* chart = activeChart();
    const QWidget* focus = QApplication::focusWidget();
    const bool inTable = table && focus && (focus == table || table->isAncestorOf(focus));
    const QString rows = table ? selectedRowsText(*table) : QString();
    if (!rows.isEmpty() && (inTable || !chart)) {
        QApplication::clipboard()->setText(rows);
        return;
    }
    if (chart)
        QApplication::clipboard()->setImage(chart->toImage());
}
