#include "filecommands.h"

#include "chartprint.h"
#include "childwindow.h"
#include "datafileformat.h"
#include "datafilereader.h"
#include "datafilewriter.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "gridprintout.h"
#include "listgraph.h"
#include "chart.h"
#include "scopeprogress.h"
#include "stringgrid.h"
#include "listgraphwindow.h"
#include "listwindow.h"
#include "rangeprogressdialog.h"
#include "timechartsetup.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
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
#include <QToolButton>

#include <algorithm>

#include <cmath>

const QString FileCommands::FileFilter =
    QStringLiteral("TXT File(seperated by tab)[*.txt]|*.txt|CSV File(seperated by comma "
                   ")[*.csv]|*.csv|All Files[*.*]|*.*");

namespace {

// A progress window that is discarded when the command ends, however it ends.
struct ProgressWindow {
    explicit ProgressWindow(QWidget* parent) : scope(new RangeProgressDialog(parent)) {}
    ~ProgressWindow() {
        if (scope) {
            scope->hide();
            delete scope;
        }
    }
    QPointer<RangeProgressDialog> scope;
};

} // namespace

FileCommands::FileCommands(QMdiArea* area, QWidget* mainWindow)
    : QObject(mainWindow), m_area(area), m_main(mainWindow),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    addTableWindow<ListWindow>(&ListWindow::recordTable, nullptr);
    addTableWindow<ListGraphWindow>(nullptr, &ListGraphWindow::chart);
    Chart::setSharedPrinter(m_printer.get());
    OutputGraph1 = new QAction(QStringLiteral("output list to graph"), this);
    UndoZoom1 = new QAction(QStringLiteral("Undo Zoom"), this);
    connect(m_area, &QMdiArea::subWindowActivated, this, &FileCommands::updateMenus);
}

FileCommands::~FileCommands() {
    Chart::setSharedPrinter(nullptr);
}

void FileCommands::setRecorderChart(std::function<Chart*()> recorderChart) {
    m_recorderChart = std::move(recorderChart);
}

void FileCommands::attach(const Controls& c) {
    m_controls = c;
    const auto wire = [this](QAction* action, void (FileCommands::*handler)()) {
        if (action)
            connect(action, &QAction::triggered, this,
                    ErrorBoundary::Guard([this, handler] { (this->*handler)(); }));
    };
    wire(c.Open1, &FileCommands::Open1Click);
    wire(c.Save1, &FileCommands::Save1Click);
    wire(c.Print1, &FileCommands::Print1Click);
    wire(c.PrinterSetup1, &FileCommands::PrinterSetup1Click);
    wire(c.Scale1, &FileCommands::Scale1Click);
    wire(OutputGraph1, &FileCommands::btnOutputGraphClick);
    wire(UndoZoom1, &FileCommands::SpeedButton7Click);

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
    if (c.Open1)
        c.Open1->setStatusTip(QStringLiteral("Open a data file to analysis"));
    if (c.Save1)
        c.Save1->setStatusTip(QStringLiteral("save list data to disk"));
    share(c.SpeedButton4, c.Open1);
    share(c.SpeedButton2, c.Save1);
    share(c.SpeedButton3, c.Print1);
    share(c.btnOutputGraph, OutputGraph1);
    share(c.SpeedButton7, UndoZoom1);
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
    enable(m_controls.Open1, true);
    enable(m_controls.PrinterSetup1, true);
    enable(m_controls.Save1, parts.table != nullptr);
    enable(m_controls.Print1, parts.table != nullptr || activeChild<ListGraphWindow>() != nullptr);
    enable(OutputGraph1, activeChild<ListWindow>() != nullptr);
    enable(m_controls.Scale1, scaleTarget() != nullptr);
    enable(UndoZoom1, parts.chart != nullptr);
}

QMdiSubWindow* FileCommands::addChild(QWidget* content) {
    QMdiSubWindow* sub = AddChildWindow(m_area, content, ChildWindowStyle::Sizeable);
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

void FileCommands::Save1Click() {
    SaveTable(partsOf(activeMdiChild()).table);
}

bool FileCommands::SaveTable(StringGrid* grid) {
    if (m_busy)
        return false;
    // The window may be closed while a dialog of the save is up.
    QPointer<StringGrid> table = grid;
    if (!table)
        return false;
    const QScopedValueRollback busy(m_busy, true);
    const int lastRow = table->RowCount() - 1;

    const QString path = Dialogs::AskFile(m_main, {Dialogs::FileRequest::Kind::Save, QString(),
                                                   QCoreApplication::applicationDirPath(),
                                                   FileFilter, QStringLiteral("txt")});
    if (path.isEmpty() || !table)
        return false;

    DataFileWriter::RowRange range;
    {
        RangeProgressDialog picker(m_main);
        picker.setWindowTitle(QStringLiteral("Save File"));
        picker.GroupBox1->show();
        picker.BitBtn1->show();
        picker.BitBtn2->show();
        picker.edtSelFrom->setText(QStringLiteral("1"));
        picker.edtSelTo->setText(QString::number(lastRow));
        picker.radAll->setChecked(true);
        if (picker.exec() != QDialog::Accepted)
            return false;
        if (!table)
            return false;
        if (picker.radAll->isChecked()) {
            range = DataFileWriter::allRows(lastRow + 1);
        } else {
            const auto chosen = DataFileWriter::rangeFromTexts(picker.edtSelFrom->text(),
                                                               picker.edtSelTo->text(), lastRow);
            if (!chosen) {
                Dialogs::ShowMessage(m_main, QStringLiteral("invalid integer"));
                return false;
            }
            range = *chosen;
        }
    }

    ProgressWindow progress(m_main);
    RangeProgressDialog* scope = progress.scope;
    scope->setWindowTitle(QStringLiteral("Saving Progress"));
    scope->Progress1->show();
    scope->SText1->show();
    scope->BitBtn2->show();
    scope->SText1->setText(QStringLiteral("saving....."));
    scope->Progress1->setRange(0, int(range.count()));
    scope->Progress1->setValue(0);
    scope->show();
    scope->ClearResult();
    ScopeProgress rows(scope, table->gridModel(),
                       [scope](qint64 done) { scope->Progress1->setValue(int(done)); });
    const auto result = DataFileWriter::save(path, *table->gridModel(), range, &rows,
                                             DataFileWriter::OnCancel::KeepWritten);
    rows.finish();
    if (result.status == DataFileWriter::Result::Status::Failed)
        Dialogs::ShowError(m_main, result.error);
    return result.status == DataFileWriter::Result::Status::Saved;
}

// ---- open -------------------------------------------------------------------------------------

void FileCommands::Open1Click() {
    if (m_busy)
        return;
    const QScopedValueRollback busy(m_busy, true);
    const QString path =
        Dialogs::AskFile(m_main, {Dialogs::FileRequest::Kind::Open, QString(),
                                  QCoreApplication::applicationDirPath(), FileFilter, QString()});
    if (path.isEmpty())
        return;

    ProgressWindow progress(m_main);
    RangeProgressDialog* scope = progress.scope;
    scope->setWindowTitle(QStringLiteral("Open Progress"));
    scope->SText1->show();
    scope->BitBtn2->show();
    scope->SText1->setText(QStringLiteral("0"));
    scope->show();
    scope->ClearResult();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Dialogs::ShowError(m_main, QStringLiteral("Could not open %1: %2")
                                       .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    auto* list = new ListWindow;
    list->setWindowTitle(QDir::toNativeSeparators(path));
    addChild(list);
    QPointer<StringGrid> grid = list->recordTable;
    grid->setUpdatesEnabled(false);
    ScopeProgress rows(scope, grid->gridModel(),
                       [scope](qint64 done) { scope->SText1->setText(QString::number(done)); });
    const auto result =
        DataFileReader::read(file, DataFileFormat::separatorFor(path), *grid->gridModel(), &rows);
    rows.finish();
    delete progress.scope;
    if (!grid)
        return; // closed while it was read
    grid->setUpdatesEnabled(true);
    grid->viewport()->update();
    emit listOpened(list);
    if (result.status == DataFileReader::Result::Status::Failed)
        Dialogs::ShowError(m_main, QStringLiteral("Could not read %1: %2")
                                       .arg(QDir::toNativeSeparators(path), result.error));
    else if (!result.notice.isEmpty())
        Dialogs::ShowMessage(m_main, result.notice);
}

// ---- list to graph ----------------------------------------------------------------------------

void FileCommands::btnOutputGraphClick() {
    if (m_busy)
        return;
    auto* list = activeChild<ListWindow>();
    if (!list)
        return;
    const QScopedValueRollback busy(m_busy, true);
    const StringGridModel& table = *list->recordTable->gridModel();
    if (table.Cells(1, 1).isEmpty()) {
        Dialogs::ShowMessage(m_main, QStringLiteral("No data to graph !"));
        return;
    }
    const int last = table.RowCount() - 1;
    const QString firstText = table.Cells(1, 1) + u' ' + table.Cells(2, 1);
    const QString lastText = table.Cells(1, last) + u' ' + table.Cells(2, last);
    const auto start = ListDateTimeReader::readSlowly(firstText);
    const auto end = start ? ListDateTimeReader::readSlowly(lastText) : std::nullopt;
    if (!start || !end) {
        Dialogs::ShowError(
            m_main,
            QStringLiteral("'%1' is not a valid date and time").arg(start ? lastText : firstText));
        return;
    }

    auto* graph = new ListGraphWindow;
    graph->setWindowTitle(list->windowTitle());
    QPointer<ListGraphWindow> alive = graph;
    const auto discard = qScopeGuard([&] {
        // A failure below leaves no half-made window behind.
        if (alive && !alive->parentWidget())
            delete alive;
    });
    Chart* chart = graph->chart;
    SetupTimeChart(chart, last, *start, *end);
    QMdiSubWindow* sub = addChild(graph);

    ProgressWindow progress(m_main);
    RangeProgressDialog* scope = progress.scope;
    scope->setWindowTitle(QStringLiteral("Graphing Progress"));
    scope->SText1->show();
    scope->Progress1->show();
    scope->SText1->setText(QStringLiteral("graphing....."));
    scope->Progress1->setRange(0, last);
    scope->Progress1->setValue(0);
    scope->show();
    ScopeProgress rows(
        scope, list->recordTable->gridModel(),
        [scope](qint64 done) { scope->Progress1->setValue(int(done)); }, false);
    const ListGraph::Bounds b = ListGraph::Fill(table, chart, [&](int i) {
        // Both windows may be closed while the user interface is serviced.
        return rows.advance(i) && alive;
    });
    delete progress.scope;
    if (!alive)
        return;
    sub->showNormal();
    sub->raise();
    m_area->setActiveSubWindow(sub);
    const ListGraph::Bounds scale = ListGraph::WithMargins(b);
    chart->setManualMaxY(scale.Ymax);
    chart->setManualMinY(scale.Ymin);
    chart->setPEnarg1(0);
    chart->setPEnarg2(0);
    chart->setPEactions(sgResetImage);
    chart->setPEactions(sgInvalidateImage);
    emit graphMade(graph);
}

// ---- scale and undo zoom ----------------------------------------------------------------------

void FileCommands::Scale1Click() {
    QPointer<Chart> chart = scaleTarget();
    if (!chart)
        return;
    RangeProgressDialog editor(m_main);
    editor.GroupBox1->show();
    editor.BitBtn1->show();
    editor.BitBtn2->show();
    editor.setWindowTitle(QStringLiteral("Customize graph scale"));
    editor.radAll->hide();
    editor.radNo->hide();
    const auto whole = [](double v) { return QString::number(std::trunc(v), 'f', 0); };
    editor.edtSelFrom->setText(whole(chart->ManualMaxY()));
    editor.edtSelTo->setText(whole(chart->ManualMinY()));
    if (editor.exec() != QDialog::Accepted || !chart)
        return;
    const QLocale locale;
    bool topOk = false, bottomOk = false;
    float top = locale.toFloat(editor.edtSelFrom->text(), &topOk);
    if (!topOk)
        Dialogs::ShowMessage(m_main,
                             editor.edtSelFrom->text() + QStringLiteral(" is invalid number !"));
    float bottom = locale.toFloat(editor.edtSelTo->text(), &bottomOk);
    if (!bottomOk)
        Dialogs::ShowMessage(m_main,
                             editor.edtSelTo->text() + QStringLiteral(" is invalid number !"));
    if (!topOk || !bottomOk || !chart)
        return;
    if (bottom > top)
        std::swap(top, bottom);
    chart->setManualMaxY(top);
    chart->setManualMinY(bottom);
    chart->setPEactions(sgReinitAndReset);
    chart->setPEactions(sgReinitAndReset);
}

void FileCommands::SpeedButton7Click() {
    Chart* chart = partsOf(activeMdiChild()).chart;
    if (!chart)
        return;
    chart->setPEactions(sgUndoZoom);
    chart->setPEnarg1(0);
    chart->setPEnarg2(0);
    chart->setPEactions(sgResetImage);
}

// ---- printing ---------------------------------------------------------------------------------

void FileCommands::SpeedButton3Click() {
    if (m_busy)
        return;
    QWidget* window = activeMdiChild();
    if (StringGrid* table = partsOf(window).table) {
        printTable(table);
        return;
    }
    if (auto* graph = qobject_cast<ListGraphWindow*>(window))
        PrintChartInPaperColours(graph->chart);
}

void FileCommands::printTable(StringGrid* table) {
    QPointer<StringGrid> alive = table;
    if (!Chart::ShowPrintDialog(*m_printer, m_main) || !alive)
        return;
    GridPrintout::Print(*m_printer, *table->gridModel());
}

void FileCommands::PrinterSetup1Click() {
    // Only the printer and its settings are chosen here; nothing is printed.
    Chart::ShowPrintDialog(*m_printer, m_main, QStringLiteral("Printer Setup"));
}
