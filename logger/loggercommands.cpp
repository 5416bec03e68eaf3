#include "loggercommands.h"

#include "busynote.h"
#include "childwindow.h"
#include "clock.h"
#include "dataloggerwindow.h"
#include "delay.h"
#include "dialogs.h"
#include "downloadarchive.h"
#include "factorycheck.h"
#include "factorycheckwindow.h"
#include "livelink.h"
#include "livelinkadapter.h"
#include "loadloggerdata.h"
#include "loggerdownloadwindows.h"
#include "loggermessages.h"
#include "loggerporthandover.h"
#include "loggersetup.h"
#include "loggersetupdialog.h"
#include "memoryerase.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

namespace {

void onLoggerPortError(MeterPort*, const PortError&, PortErrorAction& action) {
    action = caAbort;
}

// Failures that end loadLoggerData before the user was asked: the port failed or vanished
// during the transfer, or could not be taken from the live link.
bool askedAfterwards(LoggerOutcome r) {
    return r == LoggerOutcome::PortLost || r == LoggerOutcome::PortNotOpened ||
           r == LoggerOutcome::DeviceBusy;
}

// The hourglass for the lifetime of the scope; nested scopes may show another cursor.
class CursorScope {
public:
    explicit CursorScope(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~CursorScope() { QApplication::restoreOverrideCursor(); }
    CursorScope(const CursorScope&) = delete;
    CursorScope& operator=(const CursorScope&) = delete;
};

void tellUser(QWidget* window, const QString& message) {
    if (message.isEmpty())
        return;
    const CursorScope normal(Qt::ArrowCursor);
    Dialogs::showMessage(window, message);
}

class SetupUser : public LoggerSetupUser {
public:
    explicit SetupUser(QWidget* window) : m_window(window) {}
    ~SetupUser() override { delete m_busy; }
    SetupUser(const SetupUser&) = delete;
    SetupUser& operator=(const SetupUser&) = delete;

    void showBusy(const QString& text) override {
        if (text.isEmpty()) {
            delete m_busy;
            return;
        }
        if (!m_busy)
            m_busy = new BusyNote(text, m_window);
        m_busy->setText(text);
        m_busy->showNow();
    }
    std::optional<LoggerSetupChoice> chooseSettings(const LoggerSettings& current) override {
        const CursorScope normal(Qt::ArrowCursor);
        return LoggerSetupDialog::ask(m_window, current);
    }
    void tell(const QString& message) override { tellUser(m_window, message); }

private:
    QWidget* m_window;
    QPointer<BusyNote> m_busy;
};

class EraseUser : public MemoryEraseUser {
public:
    EraseUser(QWidget* window, std::optional<std::pair<int, int>> downloaded)
        : m_window(window), m_downloaded(downloaded) {}
    // Return answers No: an erase is chosen on purpose, never by a key pressed in passing.
    bool confirmErase(const LoggerImage* header) override {
        const bool notDownloaded =
            header && m_downloaded != std::pair(header->dataSetCount(), header->endAddress());
        const CursorScope normal(Qt::ArrowCursor);
        return Dialogs::ask(m_window, {QMessageBox::Question, QString(),
                                       eraseQuestion(header, notDownloaded),
                                       QMessageBox::Yes | QMessageBox::No, QMessageBox::No}) ==
               QMessageBox::Yes;
    }
    void tell(const QString& message) override { tellUser(m_window, message); }

private:
    QWidget* m_window;
    std::optional<std::pair<int, int>> m_downloaded;
};

// Marks a command as running for its lifetime, whatever ends it.
class RunningScope {
public:
    explicit RunningScope(bool& running) : m_running(running) { m_running = true; }
    ~RunningScope() { m_running = false; }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

private:
    bool& m_running;
};

// The check window as the check sees it: the user may close the window while the check waits,
// so every call looks whether it is still there.
class GuardedView : public FactoryCheck::View {
public:
    explicit GuardedView(FactoryCheckWindow* window) : m_window(window) {}
    void clear() override {
        if (m_window)
            m_window->clear();
    }
    void showHeader(const QString& interval, const QString& timeLabel) override {
        if (m_window)
            m_window->showHeader(interval, timeLabel);
    }
    void addLine(const QString& line) override {
        if (m_window)
            m_window->addLine(line);
    }
    void rewriteLastLine(const QString& line) override {
        if (m_window)
            m_window->rewriteLastLine(line);
    }
    void tell(const QString& message) override {
        if (m_window)
            tellUser(m_window, message);
    }

private:
    QPointer<FactoryCheckWindow> m_window;
};

} // namespace

LoggerCommands::LoggerCommands(LiveLink& link, QMdiArea* area, QWidget* window)
    : LoggerCommands(*new LiveLinkAdapter(link), area, window) {
    m_ownLive.reset(&m_live);
}

LoggerCommands::LoggerCommands(LiveLinkControl& live, QMdiArea* area, QWidget* window)
    : QObject(window), m_live(live), m_area(area), m_window(window),
      m_systemClock(std::make_unique<Clock>()), m_clock(m_systemClock.get()) {
    setObjectName(QStringLiteral("loggerCommands"));
    loggerPort.setObjectName(QStringLiteral("loggerPort"));
    loggerPort.onError = onLoggerPortError;
}

LoggerCommands::~LoggerCommands() = default;

void LoggerCommands::setClock(const Clock* clock) {
    m_clock = clock ? clock : m_systemClock.get();
}

DataLoggerWindow* LoggerCommands::dataLoggerWindow() const {
    return m_dataLoggerWindow;
}

FactoryCheckWindow* LoggerCommands::factoryCheckWindow() const {
    return m_factoryCheckWindow;
}

DataLoggerWindow* LoggerCommands::showDataLogger() {
    if (m_dataLoggerWindow) {
        if (QMdiSubWindow* sub = childWindowOf(m_dataLoggerWindow))
            sub->showNormal();
        return m_dataLoggerWindow;
    }
    auto* w = new DataLoggerWindow;
    w->setLoggerDataLoaded(m_loggerDataLoaded);
    w->setSaveAction([this, w] { return m_saveWindow && m_saveWindow(w); });
    if (m_area) {
        const QSize client = m_area->viewport()->size();
        w->resize(client.width(), std::max(client.height() - 60, 200));
        QMdiSubWindow* sub = addChildWindow(m_area, w, ChildWindowStyle::Sizeable);
        sub->move(0, 0);
        sub->resize(client.width(), std::max(client.height() - 60, 200));
        sub->showNormal();
    } else {
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
    }
    m_dataLoggerWindow = w;
    return w;
}

bool LoggerCommands::refusedAsBusy() {
    if (!m_running && !LoggerPortHandOver::inUse())
        return false;
    m_lastOutcome = LoggerOutcome::DeviceBusy;
    // Not modal: the running command goes on while the note is up.
    auto* note = new BusyNote(LoggerMessages::stillBusy, m_window);
    note->setObjectName(QStringLiteral("stillBusyNote"));
    note->showNow();
    QTimer::singleShot(3000, note, [note] {
        note->hide();
        note->deleteLater();
    });
    return true;
}

void LoggerCommands::keepDownload(const LoggerImage& image, const QList<DataSetInfo>& sets) {
    QString error;
    if (!DownloadArchive::save(image, sets, daysToDateTime(m_clock->now()), &error).isEmpty()) {
        m_keepFailureTold = false;
        return;
    }
    if (m_keepFailureTold)
        return;
    m_keepFailureTold = true;
    Q_EMIT statusMessage(QStringLiteral("The download could not be kept in the data folder (%1). "
                                        "Save it with File > Save.")
                             .arg(error));
}

void LoggerCommands::discardDataLogger() {
    DataLoggerWindow* w = m_dataLoggerWindow;
    m_dataLoggerWindow = nullptr;
    QWidget* frame = childWindowOf(w);
    if (!frame)
        frame = w;
    // Without the closing question: there is nothing in it to save.
    frame->hide();
    frame->deleteLater();
}

void LoggerCommands::loadData() {
    if (refusedAsBusy())
        return;
    const RunningScope running(m_running);
    const bool created = !m_dataLoggerWindow;
    DataLoggerWindow* window = showDataLogger();
    if (created)
        delay(unsigned(m_timing.settleMs));
    if (!m_live.connected() || m_live.meterRecording()) {
        m_lastOutcome =
            m_live.connected() ? LoggerOutcome::MeterRecording : LoggerOutcome::NotConnected;
        Dialogs::showMessage(window, loggerMessage(LoggerOperation::LoadData, m_lastOutcome));
        return;
    }

    LoggerDownload d;
    for (;;) {
        LoggerDownloadWindows windows(window);
        d = loadLoggerData(m_live, loggerPort, &windows, windows, m_clock->now(), m_timing);
        if (!askedAfterwards(d.result) || windows.askAfterFailure(d.result) == LoggerErrorChoice::Cancel)
            break;
    }
    m_lastOutcome = d.result;

    if (d.result == LoggerOutcome::Loaded) {
        m_loggerDataLoaded = true;
        m_downloaded = std::pair(d.image.dataSetCount(), d.image.endAddress());
        // Kept first: whatever showing it may run into, the data is safe.
        keepDownload(d.image, d.parse.sets);
        if (m_dataLoggerWindow) {
            m_dataLoggerWindow->setLoggerDataLoaded(true);
            m_dataLoggerWindow->showLoggerData(d.image, d.parse.sets);
        }
        return;
    }
    if (const QString message = loggerMessage(LoggerOperation::LoadData, d.result);
        !message.isEmpty()) {
        // A failed download has been put to the user in the error dialog already.
        Dialogs::showMessage(m_dataLoggerWindow, message);
    }
    if (created && m_dataLoggerWindow && m_dataLoggerWindow->dataSets().isEmpty())
        discardDataLogger();
}

void LoggerCommands::setUpLogger() {
    if (refusedAsBusy())
        return;
    const RunningScope running(m_running);
    SetupUser user(m_window);
    const CursorScope hourglass(Qt::WaitCursor);
    m_lastOutcome = runLoggerSetup(m_live, loggerPort, user, *m_clock, m_timing);
}

void LoggerCommands::eraseMemory() {
    if (refusedAsBusy())
        return;
    const RunningScope running(m_running);
    EraseUser user(m_window, m_downloaded);
    const CursorScope hourglass(Qt::WaitCursor);
    m_lastOutcome = runMemoryErase(m_live, loggerPort, user, m_timing);
    if (m_lastOutcome != LoggerOutcome::Erased)
        return;
    m_downloaded.reset();
    if (m_dataLoggerWindow)
        m_dataLoggerWindow->markErasedFromMeter();
}

void LoggerCommands::runFactoryCheck() {
    if (refusedAsBusy())
        return;
    const RunningScope running(m_running);
    if (m_factoryCheckWindow) {
        if (QMdiSubWindow* sub = childWindowOf(m_factoryCheckWindow))
            sub->showNormal();
    } else {
        m_factoryCheckWindow = new FactoryCheckWindow;
        if (m_area) {
            QMdiSubWindow* sub =
                addChildWindow(m_area, m_factoryCheckWindow, ChildWindowStyle::FixedSingle);
            QRect frame = sub->geometry();
            frame.moveCenter(m_area->viewport()->rect().center());
            sub->move(std::max(0, frame.left()), std::max(0, frame.top()));
        } else {
            m_factoryCheckWindow->setAttribute(Qt::WA_DeleteOnClose);
            m_factoryCheckWindow->show();
        }
    }
    GuardedView view(m_factoryCheckWindow);
    const CursorScope hourglass(Qt::WaitCursor);
    m_lastOutcome = FactoryCheck::Run(m_live, loggerPort, view, *m_clock, m_timing);
}
