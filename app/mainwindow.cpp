#include "mainwindow.h"

#include "charterror.h"
#include "childwindow.h"
#include "datetimetext.h"
#include "delay.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "filecommands.h"
#include "loggercommands.h"
#include "loggersetupcommands.h"
#include "aboutbox.h"
#include "gaugewindow.h"
#include "dataloggerwindow.h"
#include "lcdwindow.h"
#include "recorderwindow.h"
#include "scheduledialog.h"
#include "statisticswindow.h"
#include "toolicons.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
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

} // namespace

MainWindow::MainWindow(AboutBox* splash) : link(*this), aboutBox(splash) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(kMainCaption);
    MdiArea = new QMdiArea(this);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    MdiArea->setFrameShape(QFrame::NoFrame);
    MdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(MdiArea);
    buildMenu();
    buildToolBar();
    buildStatusBar();
    Logger = new LoggerCommands(link, MdiArea, this);
    const auto loadData = ErrorBoundary::Guard([this] {
        link.WhenIdle(this, [this] { ErrorBoundary::Run([this] { Logger->LoadData1Click(); }); });
    });
    connect(LoadData1, &QAction::triggered, this, loadData);
    connect(btnLoadData, &QToolButton::clicked, this, loadData);
    buildFileCommands();
    FormCreate();
    // Failures of commands are shown as the program's error message.
    ErrorBoundary::SetReporter(
        [this](const QString& message) { Dialogs::ShowError(this, message); });
}

MainWindow::~MainWindow() {
    ErrorBoundary::SetReporter(nullptr);
    link.tickTimer.stop();
    link.livePort.OnRxChar = nullptr;
    // Views go before the link they read from.
    const auto windows = MdiArea->subWindowList();
    for (QMdiSubWindow* w : windows)
        delete w;
}

// ---------------------------------------------------------------------------------------------
// Construction

void MainWindow::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    Open1 = file->addAction(QStringLiteral("&Open"));
    Save1 = file->addAction(QStringLiteral("&Save"));
    Print1 = file->addAction(QStringLiteral("&Print"));
    PrinterSetup1 = file->addAction(QStringLiteral("Printer Setup "));
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("&Exit"));
    connect(Exit1, &QAction::triggered, this, &MainWindow::Exit1Click);

    DataLogger1 = bar->addMenu(QStringLiteral("&DataLogger"));
    DataLogger1->setObjectName(QStringLiteral("DataLogger1"));
    LoadData1 = DataLogger1->addAction(QStringLiteral("&Load Data"));
    Setup1 = DataLogger1->addAction(QStringLiteral("&Setup"));
    EraseMemory1 = DataLogger1->addAction(QStringLiteral("&Erase Memory"));
    LoadData1->setEnabled(false);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    RealTimeDataRecorder1 = view->addAction(QStringLiteral("&Real Time Data Recorder"));
    Lcdpanel1 = view->addAction(QStringLiteral("&Lcd panel"));
    Status1 = view->addAction(QStringLiteral("&Status"));
    Analog1 = view->addAction(QStringLiteral("&Analog "));
    connect(RealTimeDataRecorder1, &QAction::triggered, this,
            ErrorBoundary::Guard([this] { RealTimeDataRecorder1Click(); }));
    connect(Lcdpanel1, &QAction::triggered, this,
            ErrorBoundary::Guard([this] { Lcdpanel1Click(); }));
    connect(Status1, &QAction::triggered, this, ErrorBoundary::Guard([this] { Status1Click(); }));
    connect(Analog1, &QAction::triggered, this, ErrorBoundary::Guard([this] { Analog1Click(); }));

    QMenu* option = bar->addMenu(QStringLiteral("&Option"));
    QMenu* graph = option->addMenu(QStringLiteral("&Graph"));
    Scale1 = graph->addAction(QStringLiteral("&Scale"));

    Window1 = bar->addMenu(QStringLiteral("Window"));
    Window1->setObjectName(QStringLiteral("Window1"));
    Tile1 = Window1->addAction(QStringLiteral("&Tile"));
    Cascade1 = Window1->addAction(QStringLiteral("&Cascade"));
    ArrangeIcons1 = Window1->addAction(QStringLiteral("&ArrangeIcons"));
    connect(Tile1, &QAction::triggered, this, ErrorBoundary::Guard([this] { Tile1Click(); }));
    connect(Cascade1, &QAction::triggered, this, ErrorBoundary::Guard([this] { Cascade1Click(); }));
    connect(ArrangeIcons1, &QAction::triggered, this,
            ErrorBoundary::Guard([this] { ArrangeIcons1Click(); }));
    connect(Window1, &QMenu::aboutToShow, this, &MainWindow::updateWindowMenu);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    Content1 = help->addAction(QStringLiteral("&Contents"));
    About1 = help->addAction(QStringLiteral("&About"));
    connect(Content1, &QAction::triggered, this, ErrorBoundary::Guard([this] { btnHelpClick(); }));
    connect(About1, &QAction::triggered, this, ErrorBoundary::Guard([this] { About1Click(); }));

    // The factory memory check has a hidden menu item (ql350 --factory-check shows it).
    N6 = bar->addAction(QStringLiteral("出廠記憶體檢查"));
    N6->setObjectName(QStringLiteral("N6"));
    N6->setVisible(false);

    // The logger commands start once neither live step runs.
    loggerSetupCommands = new LoggerSetupCommands(link, MdiArea, this);
    auto whenIdle = [this](void (LoggerSetupCommands::*handler)()) {
        return [this, handler] {
            link.WhenIdle(
                this, ErrorBoundary::Guard([this, handler] { (loggerSetupCommands->*handler)(); }));
        };
    };
    connect(Setup1, &QAction::triggered, this, whenIdle(&LoggerSetupCommands::Setup2Click));
    connect(EraseMemory1, &QAction::triggered, this,
            whenIdle(&LoggerSetupCommands::EraseMemory1Click));
    connect(N6, &QAction::triggered, this, whenIdle(&LoggerSetupCommands::N6Click));
}

void MainWindow::buildToolBar() {
    panMenu = addToolBar(QStringLiteral("panMenu"));
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setMovable(false);
    panMenu->setFixedHeight(50);
    panMenu->setIconSize(QSize(32, 32));

    auto button = [this](const char* name, ToolIcon icon, const QString& hint) {
        auto* b = new QToolButton(panMenu);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoRaise(true); // flat
        b->setIcon(QIcon(QPixmap::fromImage(ToolIconPicture(icon))));
        b->setFixedSize(44, 44);
        setHint(b, hint);
        panMenu->addWidget(b);
        return b;
    };
    SpeedButton4 = button("SpeedButton4", ToolIcon::OpenFile,
                          QStringLiteral("open file| open a data file to analysis"));
    SpeedButton2 = button("SpeedButton2", ToolIcon::SaveFile, QStringLiteral("save file"));
    btnLoadData =
        button("btnLoadData", ToolIcon::LoadData, QStringLiteral("load data from multimeter"));
    btnLoadData->setEnabled(false);
    SpeedButton3 = button("SpeedButton3", ToolIcon::Print, QStringLiteral("print"));
    SpeedButton1 = button("SpeedButton1", ToolIcon::Schedule, QStringLiteral("timer program |"));
    connect(SpeedButton1, &QToolButton::clicked, this,
            ErrorBoundary::Guard([this] { SpeedButton1Click(); }));
    btnOutputGraph =
        button("btnOutputGraph", ToolIcon::OutputGraph, QStringLiteral("output list to graph"));
    btnOutputGraph->setEnabled(false);
    btnHelp = button("btnHelp", ToolIcon::Help, QStringLiteral("help "));
    connect(btnHelp, &QToolButton::clicked, this, ErrorBoundary::Guard([this] { btnHelpClick(); }));

    SpeedButton7 = new QToolButton(panMenu);
    SpeedButton7->setObjectName(QStringLiteral("SpeedButton7"));
    SpeedButton7->setAutoRaise(true);
    SpeedButton7->setText(QStringLiteral("Undo Zoom"));
    SpeedButton7->setFixedHeight(44);
    panMenu->addWidget(SpeedButton7);

    panMenu->addSeparator();
    ComboBoxDeviceName = new QComboBox(panMenu);
    ComboBoxDeviceName->setObjectName(QStringLiteral("ComboBoxDeviceName"));
    ComboBoxDeviceName->setEditable(true);
    ComboBoxDeviceName->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxDeviceName->setMinimumWidth(160);
    ComboBoxDeviceName->setEditText(QStringLiteral("ComPort"));
    panMenu->addWidget(ComboBoxDeviceName);
}

void MainWindow::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(bar);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel1 = new QLabel(bar);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) {
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(0);
        bar->addPermanentWidget(panel);
    }
}

void MainWindow::buildFileCommands() {
    Files = new FileCommands(MdiArea, this);
    Files->addTableWindow<RecorderWindow>(&RecorderWindow::recordTable, &RecorderWindow::chart);
    Files->addTableWindow<DataLoggerWindow>(&DataLoggerWindow::recordTable, &DataLoggerWindow::chart);
    // The data-logger window's closing question saves its table with the same command.
    Logger->SaveWindow = [this](DataLoggerWindow* window) {
        return window && Files->SaveTable(window->recordTable);
    };
    Files->setRecorderChart([this]() -> Chart* { return recorderWindow ? recorderWindow->chart : nullptr; });
    Files->attach({Open1, Save1, Print1, PrinterSetup1, Scale1, SpeedButton4, SpeedButton2,
                   SpeedButton3, btnOutputGraph, SpeedButton7});
}

void MainWindow::FormCreate() {
    // The port list: the system's ports, then the emulator.
    QStringList ports;
    MeterPort::EnumeratePorts(ports);
    ports << MeterPort::SimulatorName();
    ComboBoxDeviceName->addItems(ports);
    // Item 0, unless it is the emulator: only the user ever picks that one.
    if (ports.size() > 1)
        selectPort(0);
    else
        ComboBoxDeviceName->setEditText(QStringLiteral("ComPort"));
    link.livePort.setDeviceName(MeterPort::DevicePath(portText()));

    // Two status bar panels, each half the screen wide.
    const int half = (screen() ? screen()->geometry().width() : 1024) / 2;
    StatusPanel0->setFixedWidth(half);
    StatusPanel1->setFixedWidth(half);

    // Start values.
    link.recorder.setRecordInterval(2);
    const QDateTime now = QDateTime::currentDateTime();
    const QString nowText = DateTimeText::Format(now); // reads back to the same second
    link.schedule.setInterval(2);
    link.schedule.setArmed(false);
    link.schedule.setTexts(nowText, nowText);
    link.schedule.setTimes(DateTimeToDays(now), DateTimeToDays(now));

    // The port used last time.
    link.state.setPortIndex(ReadLastConnectedPort());

    // The port changes once the user has settled on a port: an item picked from the list, or
    // a typed name confirmed with Enter or by leaving the box. Never per keystroke: every
    // prefix of a typed path ("/", "/dev/tty", ...) would be opened as the meter's port.
    m_portSettle.setSingleShot(true);
    m_portSettle.setInterval(50);
    connect(&m_portSettle, &QTimer::timeout, this,
            ErrorBoundary::Guard([this] { applyPortChange(); }));
    connect(ComboBoxDeviceName, &QComboBox::activated, this, &MainWindow::ComboBoxDeviceNameChange);
    connect(ComboBoxDeviceName->lineEdit(), &QLineEdit::editingFinished, this,
            &MainWindow::ComboBoxDeviceNameChange);
}

int MainWindow::ReadLastConnectedPort() {
    QSettings store = settingsStore();
    bool ok = false;
    const int value = store.value(kLastPortKey).toInt(&ok);
    return ok && value >= 0 ? value : 0;
}

bool MainWindow::WriteLastConnectedPort(int index) {
    QSettings store = settingsStore();
    if (!store.isWritable())
        return false;
    store.setValue(kLastPortKey, index);
    store.sync();
    return store.status() == QSettings::NoError;
}

// ---------------------------------------------------------------------------------------------
// Start-up, close

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        // Let the window appear first; the search takes a moment.
        QTimer::singleShot(0, this, &MainWindow::FormShow);
    }
}

void MainWindow::FormShow() {
    if (m_startupDone)
        return;
    // Reading, statistics and previous-frame memory at their start values.
    link.decoder.Reset();

    // The live views, below each other on the left, and the recorder beside them; the
    // recorder's chart spans RecorderPoints samples at the current rate from now.
    createLcd();
    const int lcdHeight = ChildWindowOf(lcdWindow)->height();
    createStatus(lcdHeight);
    createGauge(lcdHeight + ChildWindowOf(statisticsWindow)->height());
    createRecorder(std::max(ChildWindowOf(lcdWindow)->width(), ChildWindowOf(statisticsWindow)->width()));

    // The LCD digit pictures.
    LcdWindow::LoadDigitGlyphs();

    // Find the meter; the port box waits until the search is over.
    ComboBoxDeviceName->setEnabled(false);
    DiscoverMeter(link, *this);
    ComboBoxDeviceName->setEnabled(true);
    updateCaption();

    // The link watch.
    link.tickTimer.start();

    // The start-up screen goes.
    if (aboutBox) {
        aboutBox->Label4->clear();
        aboutBox->close();
    }
    m_startupDone = true;
    Q_EMIT startupFinished();
}

bool MainWindow::FormCloseQuery() {
    // A close asked for while the timer or receive step runs (from a message loop inside it)
    // is put off until the step has finished, and made at the latest 3 seconds later.
    if (m_closeDeferred || !(link.TimerBusy() || link.RxBusy()))
        return true;
    m_closeDeferred = true;
    link.WhenIdle(
        this, [this] { close(); }, 3000, LiveLink::OnTimeout::Run);
    return false;
}

void MainWindow::FormClose() {
    link.state.setPortIndex(ComboBoxDeviceName->currentIndex());
    WriteLastConnectedPort(link.state.PortIndex()); // a failure is of no consequence
    link.tickTimer.stop();
    CloseQuietly(link.livePort);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool MainWindow::event(QEvent* event) {
    // Hints go to status bar panel 0.
    if (event->type() == QEvent::StatusTip) {
        StatusPanel0->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------------
// Views

void MainWindow::createRecorder(int left) {
    recorderWindow = new RecorderWindow(link);
    QMdiSubWindow* sub = AddChildWindow(MdiArea, recorderWindow, ChildWindowStyle::Sizeable);
    sub->move(left, 0);
    sub->show();
    try {
        recorderWindow->SetupChart();
    } catch (const ChartError& e) {
        // A damaged chart template: the chart keeps its previous settings.
        Dialogs::ShowError(this, QString::fromLocal8Bit(e.what()));
    }
}

void MainWindow::createLcd() {
    lcdWindow = new LcdWindow;
    QMdiSubWindow* sub = AddChildWindow(MdiArea, lcdWindow, ChildWindowStyle::FixedSingle);
    sub->move(0, 0);
    sub->show();
    // A fresh panel paints every digit and symbol of the next reading.
    link.decoder.previous.PreviousDigits = BlankDigits;
    lcdWindow->SetNoConnection(!link.state.Connected());
}

void MainWindow::createStatus(int top) {
    statisticsWindow = new StatisticsWindow;
    statisticsWindow->OnReset = [this] {
        // Never under a running receive step: it may be halfway through the trackers.
        link.WhenReceiveIdle(this, [this] { link.decoder.ResetStatistics(); });
    };
    QMdiSubWindow* sub = AddChildWindow(MdiArea, statisticsWindow, ChildWindowStyle::Captionless);
    sub->move(0, top);
    sub->show();
}

void MainWindow::createGauge(int top) {
    gaugeWindow = new GaugeWindow(link.decoder.AnalogScale, link.decoder.NeedlePosition);
    QMdiSubWindow* sub = AddChildWindow(MdiArea, gaugeWindow, ChildWindowStyle::Captionless);
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

void MainWindow::RealTimeDataRecorder1Click() {
    if (recorderWindow) {
        restore(recorderWindow);
        return;
    }
    createRecorder(288);
    if (link.state.Connected()) {
        if (lcdWindow)
            lcdWindow->SetNoConnection(false);
        recorderWindow->SetButtons(true, true);
        StatusPanel1->setText(link.livePort.DeviceName());
    }
}

void MainWindow::SpeedButton1Click() {
    if (!scheduleDialog)
        scheduleDialog = new ScheduleDialog(link, this);
    scheduleDialog->showNormal();
    scheduleDialog->raise();
    scheduleDialog->activateWindow();
}

void MainWindow::Lcdpanel1Click() {
    if (lcdWindow)
        restore(lcdWindow);
    else
        createLcd();
}

void MainWindow::Status1Click() {
    if (statisticsWindow)
        restore(statisticsWindow);
    else
        createStatus(206);
}

void MainWindow::Analog1Click() {
    if (gaugeWindow)
        restore(gaugeWindow);
    else
        createGauge(400);
}

// ---------------------------------------------------------------------------------------------
// Small commands

void MainWindow::btnHelpClick() {
    // The help document beside the program, in the system's viewer; nothing is shown when
    // that fails.
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/QL350_Help.htm");
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void MainWindow::About1Click() {
    auto* box = new AboutBox(this);
    box->exec(); // deleted on close
}

void MainWindow::Tile1Click() {
    // The child windows one above the other, each the full width.
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : MdiArea->subWindowList()) {
        if (w->isVisible() && !w->isMinimized())
            windows << w;
    }
    if (windows.isEmpty())
        return;
    const QRect area = MdiArea->viewport()->rect();
    const int h = area.height() / int(windows.size());
    int y = 0;
    for (QMdiSubWindow* w : windows) {
        if (w->isMaximized())
            w->showNormal();
        w->setGeometry(0, y, area.width(), h);
        y += h;
    }
}

void MainWindow::Cascade1Click() {
    MdiArea->cascadeSubWindows();
}

void MainWindow::ArrangeIcons1Click() {
    // Minimised windows in a row along the bottom edge.
    const QRect area = MdiArea->viewport()->rect();
    int x = 0;
    for (QMdiSubWindow* w : MdiArea->subWindowList()) {
        if (!w->isMinimized())
            continue;
        w->move(x, area.height() - w->height());
        x += w->width();
    }
}

void MainWindow::Exit1Click() {
    // Ends the program at once: the close steps do not run, so the port is not remembered.
    // (quit() would send close events to the windows first.)
    QCoreApplication::exit(0);
}

void MainWindow::updateWindowMenu() {
    // The Window menu also lists the open child windows.
    const auto actions = Window1->actions();
    for (QAction* a : actions) {
        if (a != Tile1 && a != Cascade1 && a != ArrangeIcons1) {
            Window1->removeAction(a);
            a->deleteLater();
        }
    }
    const auto windows = MdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    Window1->addSeparator();
    int n = 1;
    for (QMdiSubWindow* w : windows) {
        QAction* a = Window1->addAction(QStringLiteral("&%1 %2").arg(n++).arg(w->windowTitle()));
        a->setCheckable(true);
        a->setChecked(w == MdiArea->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] {
            w->showNormal();
            MdiArea->setActiveSubWindow(w);
        });
    }
}

// ---------------------------------------------------------------------------------------------
// Ports

void MainWindow::ComboBoxDeviceNameChange() {
    // One user action may announce itself more than once (Enter both confirms the text and
    // picks the matching item): the requests of one moment make one change.
    m_portSettle.start();
}

void MainWindow::applyPortChange() {
    // A change asked for while one is under way (from its Delay) is made after it, once.
    if (m_switching) {
        m_switchAgain = true;
        return;
    }
    const QString path = MeterPort::DevicePath(portText());
    if (path == link.livePort.DeviceName() && link.livePort.Active())
        return;
    // The timer step talks to the port: the change waits until it has finished.
    m_switching = true;
    link.WhenIdle(this, [this] {
        ErrorBoundary::Run([this] {
            const QScopedValueRollback<bool> busy(m_switching, true);
            do {
                m_switchAgain = false;
                switchPort();
            } while (m_switchAgain);
        });
        m_switching = false;
    });
}

void MainWindow::switchPort() {
    CloseQuietly(link.livePort);
    Delay(150);
    link.livePort.setDeviceName(MeterPort::DevicePath(portText())); // the port is closed
    Delay(150);
    OpenQuietly(link.livePort);
    showOpenFailure(true);
    updateCaption();
}

void MainWindow::showOpenFailure(bool chosenByUser) {
    // A port that cannot be opened says why, instead of looking like a silent meter. A port the
    // user has just chosen always does; otherwise only a refusal (a missing device is normal
    // while the program looks for the meter).
    if (link.livePort.Active())
        return;
    if (link.livePort.LastOpenRefused() || (chosenByUser && !link.livePort.LastOpenFailure().isEmpty()))
        StatusPanel0->setText(link.livePort.LastOpenFailure());
}

void MainWindow::updateCaption() {
    const bool simulated = link.livePort.DeviceName() == MeterPort::SimulatorName();
    setWindowTitle(simulated ? kMainCaption + QStringLiteral(" - Simulator (no real meter)")
                             : kMainCaption);
}

void MainWindow::showProgress(const QString& text) {
    // Once the start-up screen is gone, a hidden box takes the texts.
    if (!aboutBox)
        aboutBox = new AboutBox(this);
    aboutBox->Label4->setText(text);
    if (aboutBox->isVisible())
        aboutBox->repaint();
}

int MainWindow::portCount() const {
    return ComboBoxDeviceName->count();
}

QString MainWindow::portName(int index) const {
    return ComboBoxDeviceName->itemText(index);
}

void MainWindow::selectPort(int index) {
    const QSignalBlocker block(ComboBoxDeviceName);
    ComboBoxDeviceName->setCurrentIndex(index);
}

QString MainWindow::portText() const {
    return ComboBoxDeviceName->currentText();
}

// ---------------------------------------------------------------------------------------------
// LiveViews

bool MainWindow::hasRecorder() const {
    return !recorderWindow.isNull();
}
bool MainWindow::hasLcd() const {
    return !lcdWindow.isNull();
}
bool MainWindow::hasStatus() const {
    return !statisticsWindow.isNull();
}
bool MainWindow::hasGauge() const {
    return !gaugeWindow.isNull();
}

void MainWindow::recorderFunctionChange() {
    recorderWindow->FunctionChange();
}

void MainWindow::recorderRangeChange(int previousMultiplier, int multiplier) {
    recorderWindow->RangeChange(previousMultiplier, multiplier);
}

void MainWindow::recorderScaleChange() {
    recorderWindow->ScaleChange();
}
void MainWindow::recorderTakeSample(double when) {
    recorderWindow->TakeSample(when);
}
void MainWindow::recorderShowRate(int) {
    recorderWindow->ShowRate();
}

void MainWindow::recorderSetButtons(bool startEnabled, bool stopEnabled) {
    recorderWindow->SetButtons(startEnabled, stopEnabled);
}

void MainWindow::gaugeRelabel() {
    gaugeWindow->Relabel(link.decoder.reading.Divisor);
}

void MainWindow::gaugeShow(double magnitude, const QString& sign) {
    gaugeWindow->ShowValue(magnitude, sign);
}

void MainWindow::statusShow(bool max, bool pmax, bool min, bool pmin) {
    statisticsWindow->ShowStatistics(link.decoder.reading, link.decoder.stats, max, pmax, min, pmin);
}

void MainWindow::statusPeakEnded() {
    statisticsWindow->ClearPeak();
}

void MainWindow::lcdShow() {
    lcdWindow->ShowReading(link.decoder.reading, link.decoder.previous.PreviousDigits);
}

void MainWindow::lcdSetNoConnection(bool visible) {
    lcdWindow->SetNoConnection(visible);
}

void MainWindow::setStatusText(int panel, const QString& text) {
    (panel == 0 ? StatusPanel0 : StatusPanel1)->setText(text);
}

void MainWindow::setLoggerCommandsEnabled(bool enabled) {
    // The menu and Load Data follow the meter: only a 122 has a logger memory.
    DataLogger1->setEnabled(enabled);
    DataLogger1->menuAction()->setEnabled(enabled);
    LoadData1->setEnabled(enabled);
    btnLoadData->setEnabled(enabled);
}
