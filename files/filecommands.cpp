#include "filecommands.h"

#include "chart.h"
#include "chartprint.h"
#include "childwindow.h"
#include "datafileformat.h"
#include "datafilereader.h"
#include "datafilewriter.h"
#include "dialogprogress.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "gridprintout.h"
#include "listdatetimereader.h"
#include "listgraph.h"
#include "listgraphwindow.h"
#include "listwindow.h"
#include "printing.h"
#include "rangeprogressdialog.h"
#include "safefile.h"
#include "stringgrid.h"
#include "stringgridmodel.h"
#include "timechartsetup.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <QToolButton>

#include <algorithm>
#include <climits>

#include <cmath>

const QString FileCommands::portableFilterName =
    QStringLiteral("CSV with header (portable)[*.csv]");
const QString FileCommands::fileFilter =
    QStringLiteral("TXT File(separated by tab)[*.txt]|*.txt|CSV File(separated by comma "
                   ")[*.csv]|*.csv|") +
    portableFilterName + QStringLiteral("|*.csv|All Files[*.*]|*.*");
// Open lists every data file first: a file is read by its extension, whichever it has.
const QString FileCommands::openFilter =
    QStringLiteral("Data Files[*.txt;*.csv]|*.txt;*.csv|") + FileCommands::fileFilter;

namespace {

// The first `limit` bytes of a device, then its end.
class LimitedReader : public QIODevice {
public:
    LimitedReader(QIODevice& in, qint64 limit) : m_in(in), m_left(limit) {
        open(QIODevice::ReadOnly);
    }

protected:
    qint64 readData(char* data, qint64 size) override {
        const qint64 n = m_in.read(data, std::min(size, m_left));
        if (n > 0)
            m_left -= n;
        if (n < 0)
            setErrorString(m_in.errorString());
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& m_in;
    qint64 m_left;
};

// A progress window that is discarded when the command ends, however it ends.
struct ProgressWindow {
    explicit ProgressWindow(QWidget* parent) : dialog(new RangeProgressDialog(parent)) {}
    ~ProgressWindow() {
        if (dialog) {
            dialog->hide();
            delete dialog;
        }
    }
    QPointer<RangeProgressDialog> dialog;
};

// The progress of a printout in a progress window: the bar runs over the lines to print.
class PrintProgress : public DataFileProgress {
public:
    PrintProgress(RangeProgressDialog* dialog, QObject* watched)
        : m_dialog(dialog),
          m_rows(dialog, watched, [dialog](qint64 done) { dialog->progressBar->setValue(int(done)); }) {}
    void begin(qint64 total) override {
        if (m_dialog)
            m_dialog->progressBar->setRange(0, int(std::min<qint64>(total, INT_MAX)));
    }
    bool advance(qint64 done) override { return m_rows.advance(done); }
    void finish() { m_rows.finish(); }

private:
    QPointer<RangeProgressDialog> m_dialog;
    DialogProgress m_rows;
};

} // namespace

FileCommands::FileCommands(QMdiArea* area, QWidget* mainWindow)
    : QObject(mainWindow), m_area(area), m_main(mainWindow),
      m_printing(std::make_unique<Printing>()) {
    addTableWindow<ListWindow>(&ListWindow::recordTable, nullptr);
    addTableWindow<ListGraphWindow>(nullptr, &ListGraphWindow::chart);
    graphAction = new QAction(QStringLiteral("output list to graph"), this);
    undoZoomAction = new QAction(QStringLiteral("Undo Zoom"), this);
    connect(m_area, &QMdiArea::subWindowActivated, this, &FileCommands::updateMenus);
    setLastFolder(QString());
}

void FileCommands::useFolderOf(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (folder == m_lastFolder)
        return;
    m_lastFolder = folder;
    emit lastFolderChanged(folder);
}

void FileCommands::setLastFolder(const QString& folder) {
    // Never the program's own folder (read-only once installed): the user's documents.
    m_lastFolder = !folder.isEmpty() && QFileInfo(folder).isDir()
                       ? folder
                       : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

FileCommands::~FileCommands() = default;

void FileCommands::setRecorderChart(std::function<Chart*()> recorderChart) {
    m_recorderChart = std::move(recorderChart);
}

void FileCommands::attach(const Controls& c) {
    m_controls = c;
    const auto wire = [this](QAction* action, void (FileCommands::*handler)()) {
        if (action)
            connect(action, &QAction::triggered, this,
                    ErrorBoundary::guard([this, handler] { (this->*handler)(); }));
    };
    wire(c.openAction, &FileCommands::openFile);
    wire(c.saveAction, &FileCommands::saveActiveTable);
    wire(c.printAction, &FileCommands::print);
    wire(c.printerSetupAction, &FileCommands::setUpPrinter);
    wire(c.scaleAction, &FileCommands::editScale);
    wire(graphAction, &FileCommands::graphList);
    wire(undoZoomAction, &FileCommands::undoZoom);

    // The button's look and hint become the action's, so that the button keeps them.
    const auto share = [](QToolButton* button, QAction* action) {
        if (!button || !action)
            return;
        if (!button->icon().isNull()) {
            action->setIcon(button->icon());
            action->setIconVisibleInMenu(false);
        }
        if (!button->toolTip().isEmpty())
            action->setToolTip(button->toolTip());
        if (action->statusTip().isEmpty())
            action->setStatusTip(button->statusTip());
        const QSize size = button->size();
        const Qt::ToolButtonStyle style =
            button->icon().isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly;
        button->setDefaultAction(action);
        button->setToolButtonStyle(style);
        button->resize(size);
    };
    if (c.openAction)
        c.openAction->setStatusTip(QStringLiteral("Open a data file to analysis"));
    if (c.saveAction)
        c.saveAction->setStatusTip(QStringLiteral("save list data to disk"));
    share(c.openButton, c.openAction);
    share(c.saveButton, c.saveAction);
    share(c.printButton, c.printAction);
    share(c.graphButton, graphAction);
    share(c.undoZoomButton, undoZoomAction);
    updateMenus();
}

QWidget* FileCommands::activeMdiChild() const {
    // The current child window stays current while another top-level window (a dialog, a
    // message) is active, where activeSubWindow() would be none.
    const QMdiSubWindow* sub = m_area ? m_area->currentSubWindow() : nullptr;
    return sub ? sub->widget() : nullptr;
}

FileCommands::Parts FileCommands::partsOf(QWidget* window) const {
    if (window)
        for (const auto& kind : m_kinds)
            if (const auto parts = kind(window))
                return *parts;
    return {};
}

Chart* FileCommands::scaleTarget() const {
    QWidget* active = activeMdiChild();
    if (Chart* chart = partsOf(active).chart)
        return chart;
    return m_recorderChart ? m_recorderChart() : nullptr;
}

void FileCommands::updateMenus() {
    const Parts parts = partsOf(activeMdiChild());
    const auto enable = [](QAction* a, bool on) {
        if (a)
            a->setEnabled(on);
    };
    enable(m_controls.openAction, true);
    enable(m_controls.printerSetupAction, true);
    enable(m_controls.saveAction, parts.table != nullptr);
    enable(m_controls.printAction,
           parts.table != nullptr || activeChild<ListGraphWindow>() != nullptr);
    enable(graphAction, activeChild<ListWindow>() != nullptr);
    enable(m_controls.scaleAction, scaleTarget() != nullptr);
    enable(undoZoomAction, parts.chart != nullptr);
}

QMdiSubWindow* FileCommands::addChild(QWidget* content) {
    QMdiSubWindow* sub = addChildWindow(m_area, content, ChildWindowStyle::Sizeable);
    // The area places a new window in free space, which may leave most of it below the visible
    // part: it is moved (and if need be shrunk) to lie wholly inside the area.
    const QRect area = m_area->viewport()->rect();
    if (!area.isEmpty()) {
        QRect frame = sub->geometry();
        frame.setWidth(std::min(frame.width(), area.width()));
        frame.setHeight(std::min(frame.height(), area.height()));
        frame.moveLeft(std::clamp(frame.left(), 0, area.width() - frame.width()));
        frame.moveTop(std::clamp(frame.top(), 0, area.height() - frame.height()));
        sub->setGeometry(frame);
    }
    // The commands follow the window that just appeared even before the system activates it.
    m_area->setActiveSubWindow(sub);
    return sub;
}

// ---- save -------------------------------------------------------------------------------------

void FileCommands::saveActiveTable() {
    saveTable(partsOf(activeMdiChild()).table);
}

QString FileCommands::suggestedName(const QString& what, const QDateTime& now) {
    QString name = what.simplified();
    // A list window is titled with its file's path: its name is what it holds.
    if (name.contains(u'/') || name.contains(u'\\') ||
        name.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive) ||
        name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        name = QFileInfo(QDir::fromNativeSeparators(name)).completeBaseName();
    for (QChar& c : name)
        if (QStringLiteral("/\\:*?\"<>|.").contains(c) || c.category() == QChar::Other_Control)
            c = u'-';
    if (name.isEmpty())
        name = QStringLiteral("Readings");
    return name + u' ' + now.toString(QStringLiteral("yyyy-MM-dd HHmm"));
}

bool FileCommands::saveTable(StringGrid* grid, const QString& what) {
    if (m_busy)
        return false;
    // The window may be closed while a dialog of the save is up.
    QPointer<StringGrid> table = grid;
    if (!table)
        return false;
    const QScopedValueRollback busy(m_busy, true);
    const int lastRow = table->gridRowCount() - 1;

    QString title = what;
    for (QWidget* w = table; w && title.isEmpty(); w = w->parentWidget())
        if (w->isWindow() || qobject_cast<QMdiSubWindow*>(w->parentWidget()))
            title = w->windowTitle();
    const Dialogs::FileChoice choice = Dialogs::chooseFile(
        m_main, {Dialogs::FileRequest::Kind::Save, QString(), m_lastFolder, fileFilter,
                 QStringLiteral("txt"), suggestedName(title, QDateTime::currentDateTime())});
    const QString path = choice.path;
    const auto layout = choice.filter == portableFilterName ? DataFileWriter::Layout::Portable
                                                            : DataFileWriter::Layout::Plain;
    if (!path.isEmpty())
        useFolderOf(path);
    if (path.isEmpty() || !table)
        return false;

    DataFileWriter::RowRange range;
    {
        RangeProgressDialog picker(m_main);
        picker.setWindowTitle(QStringLiteral("Save File"));
        picker.rangeBox->show();
        picker.okButton->show();
        picker.cancelButton->show();
        picker.fromEdit->setText(QStringLiteral("1"));
        picker.toEdit->setText(QString::number(lastRow));
        picker.allRowsButton->setChecked(true);
        if (picker.exec() != QDialog::Accepted)
            return false;
        if (!table)
            return false;
        if (picker.allRowsButton->isChecked()) {
            range = DataFileWriter::allRows(lastRow + 1);
        } else {
            const auto chosen = DataFileWriter::rangeFromTexts(picker.fromEdit->text(),
                                                               picker.toEdit->text(), lastRow);
            if (!chosen) {
                Dialogs::showMessage(m_main, QStringLiteral("invalid integer"));
                return false;
            }
            range = *chosen;
        }
    }

    ProgressWindow progress(m_main);
    RangeProgressDialog* dialog = progress.dialog;
    dialog->setWindowTitle(QStringLiteral("Saving Progress"));
    dialog->progressBar->show();
    dialog->statusLabel->show();
    dialog->cancelButton->show();
    dialog->statusLabel->setText(QStringLiteral("saving....."));
    dialog->progressBar->setRange(0, int(range.count()));
    dialog->progressBar->setValue(0);
    dialog->show();
    dialog->clearResult();
    DialogProgress rows(dialog, table->gridModel(),
                        [dialog](qint64 done) { dialog->progressBar->setValue(int(done)); });
    const auto result = DataFileWriter::save(path, *table->gridModel(), range, &rows,
                                             DataFileWriter::OnCancel::KeepWritten, layout);
    rows.finish();
    if (result.status == DataFileWriter::Result::Status::Failed)
        Dialogs::showError(m_main, result.error);
    else if (result.status == DataFileWriter::Result::Status::Cancelled)
        Dialogs::showMessage(
            m_main, result.keptPartial
                        ? QStringLiteral("The save was cancelled: %1 holds the first %2 rows.")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(result.rows)
                        : QStringLiteral("The save was cancelled: %1 was left as it was.")
                              .arg(QDir::toNativeSeparators(path)));
    const bool whole = result.saved() && range.count() == lastRow && table;
    if (result.saved())
        emit saved(path, result.rows);
    if (whole)
        emit tableSaved(table);
    return result.saved();
}

// ---- open -------------------------------------------------------------------------------------

void FileCommands::openFile() {
    if (m_busy)
        return;
    QString path;
    {
        const QScopedValueRollback busy(m_busy, true);
        path = Dialogs::askFile(m_main, {Dialogs::FileRequest::Kind::Open, QString(),
                                         m_lastFolder, openFilter, QString(), QString()});
    }
    if (path.isEmpty())
        return;
    useFolderOf(path);
    openPath(path);
}

void FileCommands::openPath(const QString& path) {
    if (m_busy)
        return;
    const QScopedValueRollback busy(m_busy, true);
    ProgressWindow progress(m_main);
    RangeProgressDialog* dialog = progress.dialog;
    dialog->setWindowTitle(QStringLiteral("Open Progress"));
    dialog->statusLabel->show();
    dialog->cancelButton->show();
    dialog->statusLabel->setText(QStringLiteral("0"));
    dialog->show();
    dialog->clearResult();

    // A pipe would block the whole program in open() until something writes to it, and a
    // device such as /dev/urandom never ends: only regular files are read.
    if (const QString why = SafeFile::notAFile(path); !why.isEmpty()) {
        Dialogs::showError(m_main, QStringLiteral("Could not open %1: %2")
                                       .arg(QDir::toNativeSeparators(path), why));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Dialogs::showError(m_main, QStringLiteral("Could not open %1: %2")
                                       .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    // A file that another program keeps writing (a log) is read as far as it was when it was
    // opened; otherwise reading would last as long as the writing.
    const qint64 sizeAtOpen = file.size();
    LimitedReader limited(file, sizeAtOpen);
    auto* list = new ListWindow;
    list->setWindowTitle(QDir::toNativeSeparators(path));
    addChild(list);
    QPointer<StringGrid> grid = list->recordTable;
    grid->setUpdatesEnabled(false);
    DialogProgress rows(dialog, grid->gridModel(), [dialog](qint64 done) {
        dialog->statusLabel->setText(QString::number(done));
    });
    DataFileReader::Result result;
    {
        // The list is out of sight until it is full: its view hears of the rows once.
        const StringGridModel::BulkFill fill(*grid->gridModel());
        result = DataFileReader::read(limited, DataFileFormat::separatorFor(path),
                                      *grid->gridModel(), &rows);
    }
    rows.finish();
    delete progress.dialog;
    if (!grid)
        return; // closed while it was read
    grid->setUpdatesEnabled(true);
    grid->viewport()->update();
    emit listOpened(list);
    if (result.status == DataFileReader::Result::Status::Failed)
        Dialogs::showError(m_main, QStringLiteral("Could not read %1: %2")
                                       .arg(QDir::toNativeSeparators(path), result.error));
    else if (!result.notice.isEmpty())
        Dialogs::showMessage(m_main, result.notice);
    if (result.status != DataFileReader::Result::Status::Failed && file.size() > sizeAtOpen)
        Dialogs::showMessage(m_main, QStringLiteral("%1 grew while it was read: the list shows "
                                                    "its first %2 bytes, as they were when it "
                                                    "was opened. Open it again for the rest.")
                                         .arg(QDir::toNativeSeparators(path))
                                         .arg(sizeAtOpen));
}

// ---- list to graph ----------------------------------------------------------------------------

void FileCommands::graphList() {
    if (m_busy)
        return;
    auto* list = activeChild<ListWindow>();
    if (!list)
        return;
    const QScopedValueRollback busy(m_busy, true);
    const StringGridModel& table = *list->recordTable->gridModel();
    if (table.cells(1, 1).isEmpty()) {
        Dialogs::showMessage(m_main, QStringLiteral("No data to graph !"));
        return;
    }
    const int last = table.gridRowCount() - 1;
    const QString firstText = table.cells(1, 1) + u' ' + table.cells(2, 1);
    const QString lastText = table.cells(1, last) + u' ' + table.cells(2, last);
    ListDateTimeReader reader;
    reader.learnDates(table);
    const auto start = reader.read(table.cells(1, 1), table.cells(2, 1));
    const auto end = start ? reader.read(table.cells(1, last), table.cells(2, last)) : std::nullopt;
    if (!start || !end) {
        Dialogs::showError(
            m_main,
            QStringLiteral("'%1' is not a valid date and time").arg(start ? lastText : firstText));
        return;
    }

    auto* graph = new ListGraphWindow;
    // Its own title, so the Window menu tells the list and its graph apart.
    graph->setWindowTitle(list->windowTitle() + QStringLiteral(" - Graph"));
    QPointer<ListGraphWindow> alive = graph;
    const auto discard = qScopeGuard([&] {
        // A failure below leaves no half-made window behind.
        if (alive && !alive->parentWidget())
            delete alive;
    });
    Chart* chart = graph->chart;
    setupTimeChart(chart, last, *start, *end);
    chart->setScaleMemoryKey(QStringLiteral("ListGraph"));
    QMdiSubWindow* sub = addChild(graph);

    ProgressWindow progress(m_main);
    RangeProgressDialog* dialog = progress.dialog;
    dialog->setWindowTitle(QStringLiteral("Graphing Progress"));
    dialog->statusLabel->show();
    dialog->progressBar->show();
    dialog->statusLabel->setText(QStringLiteral("graphing....."));
    dialog->progressBar->setRange(0, last);
    dialog->progressBar->setValue(0);
    dialog->show();
    DialogProgress rows(
        dialog, list->recordTable->gridModel(),
        [dialog](qint64 done) { dialog->progressBar->setValue(int(done)); }, false);
    const ListGraph::Bounds b = ListGraph::fill(table, chart, [&](int i) {
        // Both windows may be closed while the user interface is serviced.
        return rows.advance(i) && alive;
    });
    delete progress.dialog;
    if (!alive)
        return;
    sub->showNormal();
    sub->raise();
    m_area->setActiveSubWindow(sub);
    const ListGraph::Bounds scale = ListGraph::withMargins(b);
    chart->setManualMaxY(scale.top);
    chart->setManualMinY(scale.bottom);
    chart->setValueUnit(table.cells(4, 1).trimmed());
    chart->redraw();
    // Values drawn as a flat line on the fixed scale are shown fitted to their data, and so
    // are all when the user last chose Fit to Data on a list graph.
    if (chart->remembersFitToData() || chart->fixedScaleFlattens())
        chart->fitToData();
    emit graphMade(graph);
    // Nothing is left out of a graph unsaid.
    QStringList left;
    const auto tell = [&left](const ListGraph::Bounds::LeftOut& rows, const char* what) {
        if (rows.count > 0)
            left << QStringLiteral("%1 row(s) %2 were left out (the first: row %3, '%4').")
                        .arg(rows.count)
                        .arg(QLatin1String(what))
                        .arg(rows.firstRow)
                        .arg(rows.firstText);
    };
    tell(b.unreadableValues, "with a value that is not a number");
    tell(b.outOfRangeValues, "with a value a graph cannot draw (infinite, NaN or beyond 3.4e38)");
    tell(b.unreadableTimes, "without a readable date and time");
    if (!left.isEmpty())
        Dialogs::showMessage(m_main, left.join(u'\n'));
}

// ---- scale and undo zoom ----------------------------------------------------------------------

void FileCommands::editScale() {
    QPointer<Chart> chart = scaleTarget();
    if (!chart)
        return;
    RangeProgressDialog editor(m_main);
    editor.rangeBox->show();
    editor.okButton->show();
    editor.cancelButton->show();
    editor.setWindowTitle(QStringLiteral("Customize graph scale"));
    editor.allRowsButton->hide();
    editor.rowRangeButton->hide();
    const auto whole = [](double v) { return QString::number(std::trunc(v), 'f', 0); };
    QLineEdit* topEdit = editor.fromEdit;
    QLineEdit* bottomEdit = editor.toEdit;
    topEdit->setText(whole(chart->manualMaxY()));
    bottomEdit->setText(whole(chart->manualMinY()));
    if (editor.exec() != QDialog::Accepted || !chart)
        return;
    const QLocale locale;
    bool topOk = false, bottomOk = false;
    // "nan" and "inf" convert, and would leave a chart without a scale.
    float top = locale.toFloat(topEdit->text(), &topOk);
    topOk = topOk && std::isfinite(top);
    if (!topOk)
        Dialogs::showMessage(m_main, topEdit->text() + QStringLiteral(" is invalid number !"));
    float bottom = locale.toFloat(bottomEdit->text(), &bottomOk);
    bottomOk = bottomOk && std::isfinite(bottom);
    if (!bottomOk)
        Dialogs::showMessage(m_main, bottomEdit->text() + QStringLiteral(" is invalid number !"));
    if (!topOk || !bottomOk || !chart)
        return;
    if (bottom > top)
        std::swap(top, bottom);
    chart->setManualMaxY(top);
    chart->setManualMinY(bottom);
    chart->resetView();
    chart->chooseFitToData(false); // the scale just typed is the one to see
}

void FileCommands::undoZoom() {
    if (Chart* chart = partsOf(activeMdiChild()).chart)
        chart->resetView();
}

// ---- printing ---------------------------------------------------------------------------------

void FileCommands::print() {
    if (m_busy)
        return;
    QWidget* window = activeMdiChild();
    if (StringGrid* table = partsOf(window).table) {
        printTable(table, window->windowTitle());
        return;
    }
    if (auto* graph = qobject_cast<ListGraphWindow*>(window))
        printChartInPaperColours(*m_printing, graph->chart, m_main, graph->windowTitle());
}

void FileCommands::printTable(StringGrid* table, const QString& title) {
    QPointer<StringGrid> alive = table; // the window may be closed while the dialog is up
    bool cancelled = false;
    m_printing->print(m_main, [&](QPrinter& printer) {
        if (!alive)
            return;
        ProgressWindow progress(m_main);
        RangeProgressDialog* dialog = progress.dialog;
        dialog->setWindowTitle(QStringLiteral("Printing Progress"));
        dialog->progressBar->show();
        dialog->statusLabel->show();
        dialog->cancelButton->show();
        dialog->statusLabel->setText(QStringLiteral("printing....."));
        dialog->progressBar->setValue(0);
        dialog->show();
        dialog->clearResult();
        PrintProgress lines(dialog, alive->gridModel());
        cancelled = !GridPrintout::print(printer, *alive->gridModel(), title,
                                         QDateTime::currentDateTime(), &lines);
        lines.finish();
    });
    if (cancelled)
        Dialogs::showMessage(m_main, QStringLiteral("The printout was cancelled."));
}

void FileCommands::setUpPrinter() {
    m_printing->setUp(m_main);
}
