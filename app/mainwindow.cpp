#include "mainwindow.h"

#include "settingsstore.h"

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
#include "chartcommands.h"
#include "helpviewer.h"
#include "portselector.h"
#include "programsettings.h"
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

const QString kLastPortKey = QStringLiteral("SOFTWARE/QL350/LastConnectedPort");
const QString kLastFolderKey = QStringLiteral("SOFTWARE/QL350/LastFolder");
const QString kChartExportSizeKey = QStringLiteral("Chart/ExportSize");
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
    // The View menu's ticks follow the windows (checked once the closing one is gone).
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &MainWindow::updateViewChecks,
            Qt::QueuedConnection);
    buildToolBar();
    buildStatusBar();
    const auto loadData = ErrorBoundary::guard([this] {
        link.whenIdle(this, [this] { ErrorBoundary::Run([this] { m_logger->loadData(); }); });
    });
    connect(m_loadDataAction, &QAction::triggered, this, loadData);
    connect(m_loadDataButton, &QToolButton::clicked, this, loadData);
    buildFileCommands();
    buildChartCommands();

    connect(&link, &LiveLink::statusTextChanged, this, &MainWindow::setStatusText);
    connect(&link, &LiveLink::connectionChanged, this, [this](bool connected, int model) {
        setLoggerCommandsEnabled(connected && model == 122);
    });
    connect(m_ports, &PortSelector::progress, this, &MainWindow::showProgress);
    connect(m_ports, &PortSelector::openFailed, this,
            [this](const QString& reason) { setStatusText(0, reason); });
    connect(m_ports, &PortSelector::portChanged, this, &MainWindow::updateCaption);
    connect(m_ports, &PortSelector::portChanged, this, &MainWindow::showPortChange);
    // A limit crossed is said in the status bar, with a beep when the limits ask for one.
    connect(&limits, &LimitMonitor::zoneChanged, this,
            [this](LimitWatch::Zone zone, const QString& text) {
                if (zone == LimitWatch::Zone::Inside)
                    return;
                setStatusText(0, QStringLiteral("Limit: %1").arg(text));
                if (limits.limits().beep)
                    QApplication::beep();
            });
    journal.setSettings(readJournalSettings());
    journal.follow(recorder);
    connect(&journal, &RecordingJournal::writeFailed, this,
            [this](const QString& message) { setStatusText(0, message); });
    setInitialState();
    // Failures of commands are shown as the program's error message.
    ErrorBoundary::setReporter(
        [this](const QString& message) { Dialogs::showError(this, message); });
}

MainWindow::~MainWindow() {
    ErrorBoundary::setReporter(nullptr);
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
    // Commands that open a dialog end in "..."; the common ones have the platform's keys.
    m_openAction = add(file, "openAction", QStringLiteral("&Open..."));
    m_openAction->setShortcut(QKeySequence::Open);
    m_saveAction = add(file, "saveAction", QStringLiteral("&Save..."));
    m_saveAction->setShortcut(QKeySequence::Save);
    m_printAction = add(file, "printAction", QStringLiteral("&Print..."));
    m_printAction->setShortcut(QKeySequence::Print);
    m_printerSetupAction = add(file, "printerSetupAction", QStringLiteral("Printer Se&tup..."));
    m_recordingsAction = add(file, "recordingsAction", QStringLiteral("&Recordings..."));
    m_recordingsAction->setStatusTip(
        QStringLiteral("The journal of every recording: list, open and graph them"));
    connect(m_recordingsAction, &QAction::triggered, this,
            ErrorBoundary::guard([this] { showRecordings(); }));
    file->addSeparator();
    m_exitAction = add(file, "exitAction", QStringLiteral("E&xit"));
    // Ctrl+Q also where the platform has no key of its own for Quit.
    const QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    m_exitAction->setShortcuts(quitKeys.isEmpty() ? QList{QKeySequence(Qt::CTRL | Qt::Key_Q)}
                                                  : quitKeys);
    connect(m_exitAction, &QAction::triggered, this, &MainWindow::exitNow);

    m_loggerMenu = bar->addMenu(QStringLiteral("&DataLogger"));
    m_loggerMenu->setObjectName(QStringLiteral("loggerMenu"));
    m_loadDataAction = add(m_loggerMenu, "loadDataAction", QStringLiteral("&Load Data"));
    m_loadDataAction->setShortcut(QKeySequence(Qt::Key_F5));
    m_loggerSetupAction = add(m_loggerMenu, "loggerSetupAction", QStringLiteral("&Setup..."));
    m_eraseMemoryAction =
        add(m_loggerMenu, "eraseMemoryAction", QStringLiteral("&Erase Memory..."));
    m_loadDataAction->setEnabled(false);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    m_recorderAction = add(view, "recorderAction", QStringLiteral("&Real Time Data Recorder"));
    m_lcdAction = add(view, "lcdAction", QStringLiteral("&LCD Panel"));
    m_statusAction = add(view, "statusAction", QStringLiteral("&Status"));
    m_gaugeAction = add(view, "gaugeAction", QStringLiteral("&Analog Gauge"));
    // Each view item is ticked while its window is open: choosing it opens the window (or
    // brings it back from an icon), choosing it again closes the window.
    const auto toggle = [this](QAction* action, std::function<QWidget*()> view,
                               std::function<void()> show) {
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, ErrorBoundary::guard([this, view, show] {
            QWidget* open = view();
            QMdiSubWindow* sub = open ? childWindowOf(open) : nullptr;
            if (sub && sub->isVisible() && !sub->isMinimized())
                sub->close(); // the window may still ask and stay
            else
                show();
            updateViewChecks();
        }));
    };
    toggle(m_recorderAction, [this] { return recorderWindow(); }, [this] { showRecorder(); });
    toggle(m_lcdAction, [this] { return lcdWindow(); }, [this] { showLcd(); });
    toggle(m_statusAction, [this] { return statisticsWindow(); }, [this] { showStatistics(); });
    toggle(m_gaugeAction, [this] { return gaugeWindow(); }, [this] { showGauge(); });
    connect(view, &QMenu::aboutToShow, this, &MainWindow::updateViewChecks);

    QMenu* option = bar->addMenu(QStringLiteral("&Option"));
    QMenu* graph = option->addMenu(QStringLiteral("&Graph"));
    m_scaleAction = add(graph, "scaleAction", QStringLiteral("&Scale..."));
    m_limitsAction = add(option, "limitsAction", QStringLiteral("&Limits..."));
    connect(m_limitsAction, &QAction::triggered, this,
            ErrorBoundary::guard([this] { editLimits(); }));

    QMenu* window = bar->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("windowMenu"));
    m_arranger = new WindowArranger(m_mdiArea, window, this);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    m_helpAction = add(help, "helpAction", QStringLiteral("&Contents"));
    m_helpAction->setShortcut(QKeySequence::HelpContents);
    m_aboutAction = add(help, "aboutAction", QStringLiteral("&About..."));
    connect(m_helpAction, &QAction::triggered, this, ErrorBoundary::guard([this] { showHelp(); }));
    connect(m_aboutAction, &QAction::triggered, this, ErrorBoundary::guard([this] { showAbout(); }));

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
        return [this, command] { link.whenIdle(this, ErrorBoundary::guard(command)); };
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
        b->setIcon(QIcon(QPixmap::fromImage(toolIconPicture(icon))));
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
            ErrorBoundary::guard([this] { showSchedule(); }));
    m_listToGraphButton =
        button("listToGraphButton", ToolIcon::OutputGraph, QStringLiteral("output list to graph"));
    m_listToGraphButton->setEnabled(false);
    m_helpButton = button("helpButton", ToolIcon::Help, QStringLiteral("help "));
    connect(m_helpButton, &QToolButton::clicked, this, ErrorBoundary::guard([this] { showHelp(); }));

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

// Fit to Data and Cursors in Option > Graph, Cursors also on the tool bar, Export Chart
// in the File menu, and an Edit menu with Copy.
void MainWindow::buildChartCommands() {
    m_charts = new ChartCommands(*m_files, this);
    m_charts->setExportSize(settingsStore().value(kChartExportSizeKey).toSize());
    connect(m_charts, &ChartCommands::exportSizeChanged, this, [](QSize size) {
        QSettings store = settingsStore();
        store.setValue(kChartExportSizeKey, size);
    });
    if (auto* graph = qobject_cast<QMenu*>(m_scaleAction->parent())) {
        graph->addAction(m_charts->fitToDataAction);
        graph->addAction(m_charts->cursorsAction);
    }
    if (auto* file = qobject_cast<QMenu*>(m_recordingsAction->parent()))
        file->insertAction(m_recordingsAction, m_charts->exportChartAction);
    if (auto* view = qobject_cast<QMenu*>(m_recorderAction->parent())) {
        auto* edit = new QMenu(QStringLiteral("&Edit"), menuBar());
        edit->setObjectName(QStringLiteral("editMenu"));
        edit->addAction(m_charts->copyAction);
        menuBar()->insertMenu(view->menuAction(), edit);
    }
    // At the end of the tool bar, so that the buttons and the port box keep their places.
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_charts->cursorsAction);
    if (QWidget* b = m_toolBar->widgetForAction(m_charts->cursorsAction))
        b->setObjectName(QStringLiteral("cursorsButton"));
    connect(m_mdiArea, &QMdiArea::subWindowActivated, m_charts, &ChartCommands::updateActions);
}

void MainWindow::setInitialState() {
    m_ports->fillPortList();

    // Two status bar panels, each half the screen wide.
    const int half = (screen() ? screen()->geometry().width() : 1024) / 2;
    m_statusPanel0->setFixedWidth(half);
    m_statusPanel1->setFixedWidth(half);

    // Start values, or what the user chose last time.
    recorder.setRecordInterval(ProgramSettings::recordInterval().value_or(2));
    const QDateTime now = QDateTime::currentDateTime();
    const QString nowText = DateTimeText::Format(now); // reads back to the same second
    RecorderSchedule schedule;
    schedule.setInterval(2);
    schedule.setArmed(false);
    schedule.setTexts(nowText, nowText);
    schedule.setTimes(dateTimeToDays(now), dateTimeToDays(now));
    ProgramSettings::readSchedule(schedule, dateTimeToDays(now));
    recorder.setSchedule(schedule);

    // The port used last time: by its adapter's identity or its name or path, else by the
    // older list index.
    const int remembered =
        m_ports->indexOfRemembered(ProgramSettings::portName(), ProgramSettings::portIdentity());
    link.setPortIndex(remembered >= 0 ? remembered : readLastConnectedPort());
}

bool MainWindow::restoreSavedGeometry() {
    const QByteArray geometry = ProgramSettings::mainGeometry();
    return !geometry.isEmpty() && restoreGeometry(geometry);
}

void MainWindow::saveSettings() {
    ProgramSettings::setMainGeometry(saveGeometry());
    const std::pair<const char*, QWidget*> views[] = {{"Recorder", m_recorderWindow},
                                                      {"Lcd", m_lcdWindow},
                                                      {"Status", m_statisticsWindow},
                                                      {"Gauge", m_gaugeWindow}};
    for (const auto& [kind, view] : views) {
        QMdiSubWindow* sub = view ? childWindowOf(view) : nullptr;
        if (sub && !sub->isMinimized() && !sub->isMaximized())
            ProgramSettings::setChildGeometry(QString::fromLatin1(kind), sub->geometry());
    }
    ProgramSettings::setRecordInterval(recorder.recordInterval());
    ProgramSettings::setSchedule(recorder.schedule());
}

void MainWindow::placeChild(QMdiSubWindow* sub, const QString& kind, QPoint preferred) {
    const QRect area = m_mdiArea->viewport()->rect();
    const bool sizeable = sub->minimumSize() != sub->maximumSize();
    // Where the user left it, while that still lies inside the area.
    if (const auto stored = ProgramSettings::childGeometry(kind)) {
        QRect frame = *stored;
        if (!sizeable)
            frame.setSize(sub->size());
        if (area.contains(frame) && frame.width() >= sub->minimumWidth() &&
            frame.height() >= sub->minimumHeight()) {
            sub->setGeometry(frame);
            return;
        }
    }
    // Else where it belongs, kept inside the area as far as the area allows: a window that is
    // too wide for the room beside the others moves left, and a sizeable one shrinks to fit.
    QSize size = sub->size();
    if (sizeable && !area.isEmpty())
        size = size.boundedTo(QSize(area.width() - preferred.x(), area.height() - preferred.y()))
                   .expandedTo(WindowArranger::readableSize(sub));
    const int x = std::max(0, std::min(preferred.x(), area.width() - size.width()));
    const int y = std::max(0, std::min(preferred.y(), area.height() - size.height()));
    sub->setGeometry(QRect(QPoint(x, y), size));
}

int MainWindow::readLastConnectedPort() {
    QSettings store = settingsStore();
    bool ok = false;
    const int value = store.value(kLastPortKey).toInt(&ok);
    return ok && value >= 0 ? value : 0;
}

JournalSettings MainWindow::readJournalSettings() {
    QSettings store = settingsStore();
    JournalSettings settings;
    settings.folder = RecordingJournal::defaultFolder();
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

void MainWindow::writeJournalEnabled(bool enabled) {
    QSettings store = settingsStore();
    store.setValue(kJournalOnKey, enabled);
}

bool MainWindow::writeLastConnectedPort(int index) {
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

HelpViewer* MainWindow::helpViewer() const {
    return m_helpViewer;
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
    if (panel == 0)
        m_panel0Text = text;
}

void MainWindow::showPortChange() {
    // The start-up search reports on its own.
    if (!m_startupDone)
        return;
    // Only the port now chosen, in both panels: its path (or why it could not be opened), and
    // the connection on it (the link watch says so once the meter is found missing there).
    const QString failure = link.portOpen() ? QString() : link.lastOpenFailure();
    setStatusText(0, failure.isEmpty() ? link.deviceName() : failure);
    setStatusText(1, link.connected() ? link.deviceName() : QStringLiteral("Not connected"));
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
    const int lcdHeight = childWindowOf(m_lcdWindow)->height();
    createStatus(lcdHeight);
    createGauge(lcdHeight + childWindowOf(m_statisticsWindow)->height());
    createRecorder(std::max(childWindowOf(m_lcdWindow)->width(),
                            childWindowOf(m_statisticsWindow)->width()));

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
    link.whenIdle(
        this, [this] { close(); }, 3000, LiveLink::OnTimeout::Run);
    return false;
}

void MainWindow::rememberAndRelease() {
    saveSettings();
    // The port by its name or path, and its index kept in step with it.
    const QString port = m_ports->portText();
    const int index = m_ports->box()->findText(port);
    link.setPortIndex(index >= 0 ? index : m_ports->currentIndex());
    ProgramSettings::setPortName(port);
    ProgramSettings::setPortIdentity(link.portIdentity());
    writeLastConnectedPort(link.portIndex()); // a failure is of no consequence
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
    // Hints go to status bar panel 0 while they apply; then the panel shows again what it
    // said before.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        m_statusPanel0->setText(tip.isEmpty() ? m_panel0Text : tip);
        return true;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------------
// Views

void MainWindow::createRecorder(int left) {
    m_recorderWindow = new RecorderWindow(recorder, link);
    connect(&journal, &RecordingJournal::fileStarted, m_recorderWindow,
            &RecorderWindow::noteJournalFile);
    m_recorderWindow->setSaveAction([this] {
        return m_recorderWindow && m_files->saveTable(m_recorderWindow->recordTable);
    });
    QMdiSubWindow* sub = addChildWindow(m_mdiArea, m_recorderWindow, ChildWindowStyle::Sizeable);
    placeChild(sub, QStringLiteral("Recorder"), QPoint(left, 0));
    sub->show();
    watchView(m_recorderWindow);
    try {
        m_recorderWindow->setupChart();
    } catch (const ChartError& e) {
        // A damaged chart template: the chart keeps its previous settings.
        Dialogs::showError(this, QString::fromLocal8Bit(e.what()));
    }
}

void MainWindow::editLimits() {
    const QString function = limits.function();
    if (function.isEmpty()) {
        Dialogs::showMessage(this, QStringLiteral("No reading yet: limits belong to the function "
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
    QMdiSubWindow* sub = addChildWindow(m_mdiArea, m_lcdWindow, ChildWindowStyle::FixedSingle);
    placeChild(sub, QStringLiteral("Lcd"), QPoint(0, 0));
    sub->show();
    watchView(m_lcdWindow);
    m_lcdWindow->follow(link);
    m_lcdWindow->followLimits(limits);
}

void MainWindow::createStatus(int top) {
    m_statisticsWindow = new StatisticsWindow;
    m_statisticsWindow->follow(link);
    m_statisticsWindow->followLimits(limits);
    QMdiSubWindow* sub =
        addChildWindow(m_mdiArea, m_statisticsWindow, ChildWindowStyle::FixedSingle);
    placeChild(sub, QStringLiteral("Status"), QPoint(0, top));
    sub->show();
    watchView(m_statisticsWindow);
}

void MainWindow::createGauge(int top) {
    m_gaugeWindow = new GaugeWindow;
    m_gaugeWindow->follow(link);
    QMdiSubWindow* sub = addChildWindow(m_mdiArea, m_gaugeWindow, ChildWindowStyle::FixedSingle);
    placeChild(sub, QStringLiteral("Gauge"), QPoint(0, top));
    sub->show();
    watchView(m_gaugeWindow);
}

namespace {
void restore(QWidget* view) {
    if (QMdiSubWindow* sub = childWindowOf(view)) {
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
        writeJournalEnabled(settings.enabled);
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
    if (!m_helpViewer)
        m_helpViewer = new HelpViewer(this); // kept for the run
    m_helpViewer->show();
    m_helpViewer->raise();
    m_helpViewer->activateWindow();
}

void MainWindow::showAbout() {
    auto* box = new AboutBox(this);
    box->showDetails();
    box->exec(); // deleted on close
}

void MainWindow::exitNow() {
    // Ends the program once every window with unsaved data agreed; the close steps do not
    // run, so the port is not remembered, but the layout and rates are. (quit() would send
    // close events to the windows first.) The journal ends its file cleanly when the main
    // window goes.
    if (!askChildrenToClose())
        return;
    saveSettings();
    QCoreApplication::exit(0);
}

void MainWindow::updateCaption() {
    const bool simulated = link.deviceName() == MeterPort::simulatorName();
    setWindowTitle(simulated ? kMainCaption + QStringLiteral(" - Simulator (no real meter)")
                             : kMainCaption);
}

void MainWindow::updateViewChecks() {
    m_recorderAction->setChecked(!m_recorderWindow.isNull());
    m_lcdAction->setChecked(!m_lcdWindow.isNull());
    m_statusAction->setChecked(!m_statisticsWindow.isNull());
    m_gaugeAction->setChecked(!m_gaugeWindow.isNull());
}

void MainWindow::watchView(QWidget* view) {
    connect(view, &QObject::destroyed, this, &MainWindow::updateViewChecks, Qt::QueuedConnection);
    updateViewChecks();
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
