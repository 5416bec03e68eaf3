#include "mainwindow.h"

#include "limitsdialog.h"

#include "charterror.h"
#include "childwindow.h"
#include "closingquestion.h"
#include "datetimetext.h"
#include "delay.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "filecommands.h"
#include "loggercommands.h"
#include "aboutbox.h"
#include "portselector.h"
#include "windowarranger.h"
#include "gaugewindow.h"
#include "dataloggerwindow.h"
#include "lcdwindow.h"
#include "recorderwindow.h"
#include "recordingsdialog.h"
#include "scheduledialog.h"
#include "statisticswindow.h"
#include "stringgrid.h"
#include "toolicons.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <functional>

namespace {

const QString kMainCaption = QStringLiteral("QL350");

// A hint of the form "short|long": the short part is the tool tip, the long one the status
// bar text; without a bar both are the whole text.
void setHint(QWidget* w, const QString& hint) {
    const int bar = hint.indexOf(u'|');
    w->setToolTip(bar < 0 ? hint : hint.left(bar));
    w->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QSettings settingsStore() {
    // The per-user store: a normal user may always write it.
    return QSettings(QSettings::UserScope, QStringLiteral("QL350"), QStringLiteral("QL350"));
}

const QString kLastPortKey = QStringLiteral("SOFTWARE/QL350/LastConnectedPort");
const QString kLastFolderKey = QStringLiteral("SOFTWARE/QL350/LastFolder");
const QString kJournalOnKey = QStringLiteral("Journal/Enabled");
const QString kJournalDaysKey = QStringLiteral("Journal/MaxAgeDays");
const QString kJournalMiBKey = QStringLiteral("Journal/MaxTotalMiB");

} // namespace

MainWindow::MainWindow(AboutBox* splash) : m_aboutBox(splash) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(kMainCaption);
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setFrameShape(QFrame::NoFrame);
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(m_mdiArea);
    buildMenu();
    buildToolBar();
    buildStatusBar();
    const auto loadData = ErrorBoundary::Guard([this] {
        link.WhenIdle(this, [this] { ErrorBoundary::Run([this] { m_logger->loadData(); }); });
    });
    connect(m_loadDataAction, &QAction::triggered, this, loadData);
    connect(m_loadDataButton, &QToolButton::clicked, this, loadData);
    buildFileCommands();

    connect(&link, &LiveLink::statusTextChanged, this, &MainWindow::setStatusText);
    connect(&link, &LiveLink::connectionChanged, this, [this](bool connected, int model) {
        setLoggerCommandsEnabled(connected && model == 122);
    });
    connect(m_ports, &PortSelector::progress, this, &MainWindow::showProgress);
    connect(m_ports, &PortSelector::openFailed, this,
            [this](const QString& reason) { setStatusText(0, reason); });
    connect(m_ports, &PortSelector::portChanged, this, &MainWindow::updateCaption);
    // A limit crossed is said in the status bar, with a beep when the limits ask for one.
    connect(&limits, &LimitMonitor::zoneChanged, this,
            [this](LimitWatch::Zone zone, const QString& text) {
                if (zone == LimitWatch::Zone::Inside)
                    return;
                setStatusText(0, QStringLiteral("Limit: %1").arg(text));
                if (limits.limits().beep)
                    QApplication::beep();
            });
    journal.setSettings(ReadJournalSettings());
    journal.follow(recorder);
    connect(&journal, &RecordingJournal::writeFailed, this,
            [this](const QString& message) { setStatusText(0, message); });
    setInitialState();
    // Failures of commands are shown as the program's error message.
    ErrorBoundary::SetReporter(
        [this](const QString& message) { Dialogs::ShowError(this, message); });
}

MainWindow::~MainWindow() {
    ErrorBoundary::SetReporter(nullptr);
    link.stopTicking();
    // Views go before the link they follow.
    const auto windows = m_mdiArea->subWindowList();
    for (QMdiSubWindow* w : windows)
        delete w;
}

// ---------------------------------------------------------------------------------------------
// Construction

void MainWindow::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    auto add = [](QMenu* menu, const char* name, const QString& text) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    m_openAction = add(file, "openAction", QStringLiteral("&Open"));
    m_saveAction = add(file, "saveAction", QStringLiteral("&Save"));
    m_printAction = add(file, "printAction", QStringLiteral("&Print"));
    m_printerSetupAction = add(file, "printerSetupAction", QStringLiteral("Printer Setup "));
    m_recordingsAction = add(file, "recordingsAction", QStringLiteral("&Recordings..."));
    m_recordingsAction->setStatusTip(
        QStringLiteral("The journal of every recording: list, open and graph them"));
    connect(m_recordingsAction, &QAction::triggered, this,
            ErrorBoundary::Guard([this] { showRecordings(); }));
    file->addSeparator();
    m_exitAction = add(file, "exitAction", QStringLiteral("&Exit"));
    connect(m_exitAction, &QAction::triggered, this, &MainWindow::exitNow);

    m_loggerMenu = bar->addMenu(QStringLiteral("&DataLogger"));
    m_loggerMenu->setObjectName(QStringLiteral("loggerMenu"));
    m_loadDataAction = add(m_loggerMenu, "loadDataAction", QStringLiteral("&Load Data"));
    m_loggerSetupAction = add(m_loggerMenu, "loggerSetupAction", QStringLiteral("&Setup"));
    m_eraseMemoryAction = add(m_loggerMenu, "eraseMemoryAction", QStringLiteral("&Erase Memory"));
    m_loadDataAction->setEnabled(false);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    m_recorderAction = add(view, "recorderAction", QStringLiteral("&Real Time Data Recorder"));
    m_lcdAction = add(view, "lcdAction", QStringLiteral("&Lcd panel"));
    m_statusAction = add(view, "statusAction", QStringLiteral("&Status"));
    m_gaugeAction = add(view, "gaugeAction", QStringLiteral("&Analog "));
    connect(m_recorderAction, &QAction::triggered, this,
            ErrorBoundary::Guard([this] { showRecorder(); }));
    connect(m_lcdAction, &QAction::triggered, this, ErrorBoundary::Guard([this] { showLcd(); }));
    connect(m_statusAction, &QAction::triggered, this,
            ErrorBoundary::Guard([this] { showStatistics(); }));
    connect(m_gaugeAction, &QAction::triggered, this, ErrorBoundary::Guard([this] { showGauge(); }));

    QMenu* option = bar->addMenu(QStringLiteral("&Option"));
    QMenu* graph = option->addMenu(QStringLiteral("&Graph"));
    m_scaleAction = add(graph, "scaleAction", QStringLiteral("&Scale"));
    m_limitsAction = add(option, "limitsAction", QStringLiteral("&Limits..."));
    connect(m_limitsAction, &QAction::triggered, this,
            ErrorBoundary::Guard([this] { editLimits(); }));

    QMenu* window = bar->addMenu(QStringLiteral("Window"));
    window->setObjectName(QStringLiteral("windowMenu"));
    m_arranger = new WindowArranger(m_mdiArea, window, this);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    m_helpAction = add(help, "helpAction", QStringLiteral("&Contents"));
    m_aboutAction = add(help, "aboutAction", QStringLiteral("&About"));
    connect(m_helpAction, &QAction::triggered, this, ErrorBoundary::Guard([this] { showHelp(); }));
    connect(m_aboutAction, &QAction::triggered, this, ErrorBoundary::Guard([this] { showAbout(); }));

    // The factory memory check has a hidden menu item (ql350 --factory-check shows it).
    m_factoryCheckAction = bar->addAction(QStringLiteral("出廠記憶體檢查"));
    m_factoryCheckAction->setObjectName(QStringLiteral("factoryCheckAction"));
    m_factoryCheckAction->setVisible(false);

    // The logger commands start once neither live step runs. Each is a plain call: a call
    // through a member-function pointer on a member, `(m_logger->*handler)()`, is miscompiled
    // by GCC 12's -fsanitize=vptr (a non-virtual target checks a stray register), which made
    // the sanitized build abort on these menu items.
    m_logger = new LoggerCommands(link, m_mdiArea, this);
    connect(m_logger, &LoggerCommands::statusMessage, this,
            [this](const QString& text) { setStatusText(0, text); });
    auto whenIdle = [this](std::function<void()> command) {
        return [this, command] { link.WhenIdle(this, ErrorBoundary::Guard(command)); };
    };
    connect(m_loggerSetupAction, &QAction::triggered, this,
            whenIdle([this] { m_logger->setUpLogger(); }));
    connect(m_eraseMemoryAction, &QAction::triggered, this,
            whenIdle([this] { m_logger->eraseMemory(); }));
    connect(m_factoryCheckAction, &QAction::triggered, this,
            whenIdle([this] { m_logger->runFactoryCheck(); }));
}

void MainWindow::buildToolBar() {
    m_toolBar = addToolBar(QStringLiteral("toolBar"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFixedHeight(50);
    m_toolBar->setIconSize(QSize(32, 32));

    auto button = [this](const char* name, ToolIcon icon, const QString& hint) {
        auto* b = new QToolButton(m_toolBar);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoRaise(true); // flat
        b->setIcon(QIcon(QPixmap::fromImage(ToolIconPicture(icon))));
        b->setFixedSize(44, 44);
        setHint(b, hint);
        m_toolBar->addWidget(b);
        return b;
    };
    m_openButton = button("openButton", ToolIcon::OpenFile,
                          QStringLiteral("open file| open a data file to analysis"));
    m_saveButton = button("saveButton", ToolIcon::SaveFile, QStringLiteral("save file"));
    m_loadDataButton =
        button("loadDataButton", ToolIcon::LoadData, QStringLiteral("load data from multimeter"));
    m_loadDataButton->setEnabled(false);
    m_printButton = button("printButton", ToolIcon::Print, QStringLiteral("print"));
    m_scheduleButton =
        button("scheduleButton", ToolIcon::Schedule, QStringLiteral("timer program |"));
    connect(m_scheduleButton, &QToolButton::clicked, this,
            ErrorBoundary::Guard([this] { showSchedule(); }));
    m_listToGraphButton =
        button("listToGraphButton", ToolIcon::OutputGraph, QStringLiteral("output list to graph"));
    m_listToGraphButton->setEnabled(false);
    m_helpButton = button("helpButton", ToolIcon::Help, QStringLiteral("help "));
    connect(m_helpButton, &QToolButton::clicked, this, ErrorBoundary::Guard([this] { showHelp(); }));

    m_undoZoomButton = new QToolButton(m_toolBar);
    m_undoZoomButton->setObjectName(QStringLiteral("undoZoomButton"));
    m_undoZoomButton->setAutoRaise(true);
    m_undoZoomButton->setText(QStringLiteral("Undo Zoom"));
    m_undoZoomButton->setFixedHeight(44);
    m_toolBar->addWidget(m_undoZoomButton);

    m_toolBar->addSeparator();
    m_ports = new PortSelector(link, m_toolBar);
    m_toolBar->addWidget(m_ports->box());
}

void MainWindow::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(false);
    m_statusPanel0 = new QLabel(bar);
    m_statusPanel0->setObjectName(QStringLiteral("statusPanel0"));
    m_statusPanel1 = new QLabel(bar);
    m_statusPanel1->setObjectName(QStringLiteral("statusPanel1"));
    for (QLabel* panel : {m_statusPanel0, m_statusPanel1}) {
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(0);
        bar->addPermanentWidget(panel);
    }
}

void MainWindow::buildFileCommands() {
    m_files = new FileCommands(m_mdiArea, this);
    // The open and save dialogs start where the user last was, also after a restart.
    m_files->setLastFolder(settingsStore().value(kLastFolderKey).toString());
    connect(m_files, &FileCommands::lastFolderChanged, this, [](const QString& folder) {
        QSettings store = settingsStore();
        store.setValue(kLastFolderKey, folder);
    });
    m_files->addTableWindow<RecorderWindow>(&RecorderWindow::recordTable, &RecorderWindow::chart);
    m_files->addTableWindow<DataLoggerWindow>(&DataLoggerWindow::recordTable,
                                              &DataLoggerWindow::chart);
    // The data-logger window's closing question saves its table with the same command.
    m_logger->setSaveWindow([this](DataLoggerWindow* window) {
        return window && m_files->saveTable(window->recordTable);
    });
    // The recorder's closing question saves with the same command; a whole save of its table
    // by either way counts as saved.
    connect(m_files, &FileCommands::tableSaved, this, [this](StringGrid* table) {
        if (m_recorderWindow && table == m_recorderWindow->recordTable)
            m_recorderWindow->markSaved();
    });
    // A save says where it went: the hint panel holds it until the next hint.
    connect(m_files, &FileCommands::saved, this, [this](const QString& path, qint64 rows) {
        setStatusText(0, QStringLiteral("Saved %1 %2 to %3")
                             .arg(QLocale().toString(rows), rows == 1 ? QStringLiteral("row")
                                                                      : QStringLiteral("rows"),
                                  QDir::toNativeSeparators(path)));
    });
    m_files->setRecorderChart(
        [this]() -> Chart* { return m_recorderWindow ? m_recorderWindow->chart : nullptr; });
    m_files->attach({m_openAction, m_saveAction, m_printAction, m_printerSetupAction, m_scaleAction,
                     m_openButton, m_saveButton, m_printButton, m_listToGraphButton,
                     m_undoZoomButton});
}

void MainWindow::setInitialState() {
    m_ports->fillPortList();

    // Two status bar panels, each half the screen wide.
    const int half = (screen() ? screen()->geometry().width() : 1024) / 2;
    m_statusPanel0->setFixedWidth(half);
    m_statusPanel1->setFixedWidth(half);

    // Start values.
    recorder.setRecordInterval(2);
    const QDateTime now = QDateTime::currentDateTime();
    const QString nowText = DateTimeText::Format(now); // reads back to the same second
    RecorderSchedule schedule;
    schedule.setInterval(2);
    schedule.setArmed(false);
    schedule.setTexts(nowText, nowText);
    schedule.setTimes(DateTimeToDays(now), DateTimeToDays(now));
    recorder.setSchedule(schedule);

    // The port used last time.
    link.setPortIndex(ReadLastConnectedPort());
}

int MainWindow::ReadLastConnectedPort() {
    QSettings store = settingsStore();
    bool ok = false;
    const int value = store.value(kLastPortKey).toInt(&ok);
    return ok && value >= 0 ? value : 0;
}

JournalSettings MainWindow::ReadJournalSettings() {
    QSettings store = settingsStore();
    JournalSettings settings;
    settings.folder = RecordingJournal::DefaultFolder();
    settings.enabled = store.value(kJournalOnKey, true).toBool();
    bool ok = false;
    const int days = store.value(kJournalDaysKey).toInt(&ok);
    if (ok && days > 0)
        settings.maxAgeDays = days;
    const qint64 mib = store.value(kJournalMiBKey).toLongLong(&ok);
    if (ok && mib > 0)
        settings.maxTotalBytes = mib * 1024 * 1024;
    return settings;
}

void MainWindow::WriteJournalEnabled(bool enabled) {
    QSettings store = settingsStore();
    store.setValue(kJournalOnKey, enabled);
}

bool MainWindow::WriteLastConnectedPort(int index) {
    QSettings store = settingsStore();
    if (!store.isWritable())
        return false;
    store.setValue(kLastPortKey, index);
    store.sync();
    return store.status() == QSettings::NoError;
}

LcdWindow* MainWindow::lcdWindow() const {
    return m_lcdWindow;
}

StatisticsWindow* MainWindow::statisticsWindow() const {
    return m_statisticsWindow;
}

GaugeWindow* MainWindow::gaugeWindow() const {
    return m_gaugeWindow;
}

RecorderWindow* MainWindow::recorderWindow() const {
    return m_recorderWindow;
}

ScheduleDialog* MainWindow::scheduleDialog() const {
    return m_scheduleDialog;
}

QAction* MainWindow::command(const QString& name) const {
    return findChild<QAction*>(name);
}

bool MainWindow::loggerCommandsEnabled() const {
    return m_loggerMenu->isEnabled();
}

QString MainWindow::statusText(int panel) const {
    return (panel == 0 ? m_statusPanel0 : m_statusPanel1)->text();
}

void MainWindow::setStatusText(int panel, const QString& text) {
    (panel == 0 ? m_statusPanel0 : m_statusPanel1)->setText(text);
}

void MainWindow::showFactoryCheckCommand() {
    m_factoryCheckAction->setVisible(true);
}

// ---------------------------------------------------------------------------------------------
// Start-up, close

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        // Let the window appear first; the search takes a moment.
        QTimer::singleShot(0, this, &MainWindow::startUp);
    }
}

void MainWindow::startUp() {
    if (m_startupDone)
        return;
    // Reading, statistics and previous-frame memory at their start values.
    link.resetDecoder();

    // The live views, below each other on the left, and the recorder beside them; the
    // recorder's chart spans RecorderPoints samples at the current rate from now.
    createLcd();
    const int lcdHeight = ChildWindowOf(m_lcdWindow)->height();
    createStatus(lcdHeight);
    createGauge(lcdHeight + ChildWindowOf(m_statisticsWindow)->height());
    createRecorder(std::max(ChildWindowOf(m_lcdWindow)->width(),
                            ChildWindowOf(m_statisticsWindow)->width()));

    // The LCD digit pictures.
    LcdWindow::loadDigitGlyphs();

    // Find the meter.
    m_ports->searchMeter();

    // Journals a crash left open are closed and named as recovered, then the bounds apply.
    const QStringList recovered = journal.recoverLeftOpen();
    journal.prune();
    if (recovered.size() == 1)
        setStatusText(0, QStringLiteral("Recovered the recording journal an earlier run left "
                                        "open: %1")
                             .arg(QDir::toNativeSeparators(recovered.constFirst())));
    else if (recovered.size() > 1)
        setStatusText(0, QStringLiteral("Recovered %1 recording journals an earlier run left "
                                        "open (File > Recordings...)")
                             .arg(recovered.size()));

    // The link watch.
    link.startTicking();

    // The start-up screen goes.
    if (m_aboutBox) {
        m_aboutBox->progressLabel->clear();
        m_aboutBox->close();
    }
    m_startupDone = true;
    Q_EMIT startupFinished();
}

bool MainWindow::mayCloseNow() {
    // A close asked for while the tick or receive step runs (from a message loop inside it)
    // is put off until the step has finished, and made at the latest 3 seconds later.
    if (m_closeDeferred || !(link.tickStepRunning() || link.receiveStepRunning()))
        return true;
    m_closeDeferred = true;
    link.WhenIdle(
        this, [this] { close(); }, 3000, LiveLink::OnTimeout::Run);
    return false;
}

void MainWindow::rememberAndRelease() {
    link.setPortIndex(m_ports->currentIndex());
    WriteLastConnectedPort(link.portIndex()); // a failure is of no consequence
    link.stopTicking();
    link.closePort();
}

bool MainWindow::askChildrenToClose() {
    const auto windows = m_mdiArea->subWindowList();
    for (QMdiSubWindow* sub : windows) {
        auto* question = dynamic_cast<ClosingQuestion*>(sub->widget());
        if (!question)
            continue;
        // The window asked shows itself, so the user sees what the question is about.
        m_mdiArea->setActiveSubWindow(sub);
        bool mayClose = false;
        ErrorBoundary::Run([question, &mayClose] { mayClose = question->askToClose(); });
        if (!mayClose)
            return false;
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!mayCloseNow()) {
        event->ignore();
        return;
    }
    if (!askChildrenToClose()) {
        m_closeDeferred = false;
        event->ignore();
        return;
    }
    rememberAndRelease();
    event->accept();
}

bool MainWindow::event(QEvent* event) {
    // Hints go to status bar panel 0.
    if (event->type() == QEvent::StatusTip) {
        m_statusPanel0->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------------
// Views

void MainWindow::createRecorder(int left) {
    m_recorderWindow = new RecorderWindow(recorder, link);
    m_recorderWindow->followLimits(limits);
    connect(&journal, &RecordingJournal::fileStarted, m_recorderWindow,
            &RecorderWindow::noteJournalFile);
    m_recorderWindow->setSaveAction([this] {
        return m_recorderWindow && m_files->saveTable(m_recorderWindow->recordTable);
    });
    QMdiSubWindow* sub = AddChildWindow(m_mdiArea, m_recorderWindow, ChildWindowStyle::Sizeable);
    sub->move(left, 0);
    sub->show();
    try {
        m_recorderWindow->setupChart();
    } catch (const ChartError& e) {
        // A damaged chart template: the chart keeps its previous settings.
        Dialogs::ShowError(this, QString::fromLocal8Bit(e.what()));
    }
}

void MainWindow::editLimits() {
    const QString function = limits.function();
    if (function.isEmpty()) {
        Dialogs::ShowMessage(this, QStringLiteral("No reading yet: limits belong to the function "
                                                  "the meter shows. Connect the meter first."));
        return;
    }
    LimitsDialog dialog(function, QString::fromUtf8(limits.unit()),
                        LimitMonitor::storedLimits(function), this);
    if (dialog.exec() == QDialog::Accepted)
        limits.setLimits(function, dialog.limits());
}

void MainWindow::createLcd() {
    m_lcdWindow = new LcdWindow;
    QMdiSubWindow* sub = AddChildWindow(m_mdiArea, m_lcdWindow, ChildWindowStyle::FixedSingle);
    sub->move(0, 0);
    sub->show();
    m_lcdWindow->follow(link);
    m_lcdWindow->followLimits(limits);
}

void MainWindow::createStatus(int top) {
    m_statisticsWindow = new StatisticsWindow;
    m_statisticsWindow->follow(link);
    m_statisticsWindow->followLimits(limits);
    QMdiSubWindow* sub =
        AddChildWindow(m_mdiArea, m_statisticsWindow, ChildWindowStyle::Captionless);
    sub->move(0, top);
    sub->show();
}

void MainWindow::createGauge(int top) {
    m_gaugeWindow = new GaugeWindow;
    m_gaugeWindow->follow(link);
    QMdiSubWindow* sub = AddChildWindow(m_mdiArea, m_gaugeWindow, ChildWindowStyle::Captionless);
    sub->move(0, top);
    sub->show();
}

namespace {
void restore(QWidget* view) {
    if (QMdiSubWindow* sub = ChildWindowOf(view)) {
        sub->showNormal();
        sub->raise();
    }
}
} // namespace

void MainWindow::showRecorder() {
    if (m_recorderWindow) {
        restore(m_recorderWindow);
        return;
    }
    createRecorder(288);
    if (link.connected())
        setStatusText(1, link.deviceName());
}

void MainWindow::showRecordings() {
    // The current file holds every row taken so far once it is written out.
    journal.flush();
    RecordingsDialog dialog(journal.settings().folder, journal.settings().enabled, this);
    dialog.exec();
    if (dialog.journalOn() != journal.settings().enabled) {
        JournalSettings settings = journal.settings();
        settings.enabled = dialog.journalOn();
        journal.setSettings(settings);
        WriteJournalEnabled(settings.enabled);
    }
    if (!dialog.chosenPath().isEmpty())
        m_files->openPath(dialog.chosenPath());
}

void MainWindow::showSchedule() {
    if (!m_scheduleDialog)
        m_scheduleDialog = new ScheduleDialog(recorder, link, this);
    m_scheduleDialog->showNormal();
    m_scheduleDialog->raise();
    m_scheduleDialog->activateWindow();
}

void MainWindow::showLcd() {
    if (m_lcdWindow)
        restore(m_lcdWindow);
    else
        createLcd();
}

void MainWindow::showStatistics() {
    if (m_statisticsWindow)
        restore(m_statisticsWindow);
    else
        createStatus(206);
}

void MainWindow::showGauge() {
    if (m_gaugeWindow)
        restore(m_gaugeWindow);
    else
        createGauge(400);
}

// ---------------------------------------------------------------------------------------------
// Small commands

void MainWindow::showHelp() {
    // The help document beside the program, in the system's viewer; nothing is shown when
    // that fails.
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/QL350_Help.htm");
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void MainWindow::showAbout() {
    auto* box = new AboutBox(this);
    box->exec(); // deleted on close
}

void MainWindow::exitNow() {
    // Ends the program once every window with unsaved data agreed; the close steps do not
    // run, so the port is not remembered. (quit() would send close events to the windows
    // first.) The journal ends its file cleanly when the main window goes.
    if (!askChildrenToClose())
        return;
    QCoreApplication::exit(0);
}

void MainWindow::updateCaption() {
    const bool simulated = link.deviceName() == MeterPort::SimulatorName();
    setWindowTitle(simulated ? kMainCaption + QStringLiteral(" - Simulator (no real meter)")
                             : kMainCaption);
}

void MainWindow::showProgress(const QString& text) {
    // Once the start-up screen is gone, a hidden box takes the texts.
    if (!m_aboutBox)
        m_aboutBox = new AboutBox(this);
    m_aboutBox->progressLabel->setText(text);
    if (m_aboutBox->isVisible())
        m_aboutBox->repaint();
}

void MainWindow::setLoggerCommandsEnabled(bool enabled) {
    // The menu and Load Data follow the meter: only a 122 has a logger memory.
    m_loggerMenu->setEnabled(enabled);
    m_loggerMenu->menuAction()->setEnabled(enabled);
    m_loadDataAction->setEnabled(enabled);
    m_loadDataButton->setEnabled(enabled);
}
