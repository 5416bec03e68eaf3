#include "loggersetupcommands.h"

#include "childwindow.h"
#include "clock.h"
#include "dialogs.h"
#include "livelink.h"
#include "meterport.h"
#include "livelinkadapter.h"
#include "memoryerase.h"
#include "loggersetupdialog.h"
#include "factorycheckwindow.h"
#include "busynote.h"

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

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
    Dialogs::ShowMessage(window, message);
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
        m_busy->Label1->setText(text);
        m_busy->showNow();
    }
    std::optional<LoggerSetupChoice> chooseSettings(const LoggerSettings& current) override {
        const CursorScope normal(Qt::ArrowCursor);
        return LoggerSetupDialog::Ask(m_window, current);
    }
    void tell(const QString& message) override { tellUser(m_window, message); }

private:
    QWidget* m_window;
    QPointer<BusyNote> m_busy;
};

class EraseUser : public MemoryEraseUser {
public:
    explicit EraseUser(QWidget* window) : m_window(window) {}
    bool confirmErase() override {
        return Dialogs::Ask(m_window,
                            {QMessageBox::Question, QString(), QStringLiteral("Erase Memory ?"),
                             QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes;
    }
    void tell(const QString& message) override { tellUser(m_window, message); }

private:
    QWidget* m_window;
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

LoggerSetupCommands::LoggerSetupCommands(LiveLink& link, QMdiArea* area, QWidget* window)
    : LoggerSetupCommands(*new LiveLinkAdapter(link), *new MeterPort, area, window) {
    m_ownLive.reset(&m_live);
    m_ownPort.reset(&m_port);
    // Port faults end the operation silently; the operation reports what it saw.
    m_port.OnError = [](MeterPort*, const PortError&, PortErrorAction& action) { action = caAbort; };
}

LoggerSetupCommands::LoggerSetupCommands(LiveLinkControl& live, MeterPort& loggerPort,
                                         QMdiArea* area, QWidget* window)
    : QObject(window), m_live(live), m_port(loggerPort), m_area(area), m_window(window),
      m_systemClock(std::make_unique<Clock>()), m_clock(m_systemClock.get()) {
    setObjectName(QStringLiteral("loggerSetupCommands"));
}

LoggerSetupCommands::~LoggerSetupCommands() = default;

void LoggerSetupCommands::setClock(const Clock* clock) {
    m_clock = clock ? clock : m_systemClock.get();
}

void LoggerSetupCommands::Setup2Click() {
    SetupUser user(m_window);
    const CursorScope hourglass(Qt::WaitCursor);
    RunLoggerSetup(m_live, m_port, user, *m_clock, m_timing);
}

void LoggerSetupCommands::EraseMemory1Click() {
    EraseUser user(m_window);
    const CursorScope hourglass(Qt::WaitCursor);
    RunMemoryErase(m_live, m_port, user, m_timing);
}

void LoggerSetupCommands::N6Click() {
    if (factoryCheckWindow) {
        if (QMdiSubWindow* sub = ChildWindowOf(factoryCheckWindow))
            sub->showNormal();
    } else {
        factoryCheckWindow = new FactoryCheckWindow;
        if (m_area) {
            QMdiSubWindow* sub = AddChildWindow(m_area, factoryCheckWindow, ChildWindowStyle::FixedSingle);
            QRect frame = sub->geometry();
            frame.moveCenter(m_area->viewport()->rect().center());
            sub->move(std::max(0, frame.left()), std::max(0, frame.top()));
        } else {
            factoryCheckWindow->setAttribute(Qt::WA_DeleteOnClose);
            factoryCheckWindow->show();
        }
    }
    GuardedView view(factoryCheckWindow);
    const CursorScope hourglass(Qt::WaitCursor);
    FactoryCheck::Run(m_live, m_port, view, *m_clock, m_timing);
}
