#pragma once

#include "loggeroutcome.h"
#include "loggertiming.h"
#include "meterport.h"

#include <QObject>
#include <QPointer>

#include <QList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class Clock;
class DataLoggerWindow;
class LoggerImage;
struct DataSetInfo;
class FactoryCheckWindow;
class LiveLink;
class LiveLinkControl;
class QMdiArea;
class QWidget;

// The DataLogger menu's commands: Load Data, Setup, Erase Memory and the hidden factory check.
// Owns the one logger port, the data-logger window and the factory check window; the work
// itself is the widget-free logger core's (loadLoggerData, runLoggerSetup, runMemoryErase,
// FactoryCheck::Run), and this supplies the windows: the data-logger window with its busy,
// progress and error windows, the setup dialog, the busy note, the message boxes through the
// dialog seam, the check window and the hourglass. What the user is told comes from
// loggerMessage.
//
// Every command borrows the meter's device from the live link and has given it back when it
// returns: the live port reopened, the resume command sent when the operation calls for it,
// the tick timer started. The commands run the whole operation before they return, servicing
// events in its waits; start them when neither live step runs (LiveLink::whenIdle) and inside
// the error boundary. A command started while another logger operation holds the device does
// nothing (DeviceBusy).
class LoggerCommands : public QObject {
    Q_OBJECT
public:
    // Over the program's live link. Child windows go to `area` (without one they are top-level
    // windows that delete themselves when closed); the message boxes of Setup, Erase Memory and
    // the factory check are centred over `window`, which also owns this.
    LoggerCommands(LiveLink& link, QMdiArea* area, QWidget* window = nullptr);
    // Over any live side (tests); `live` is not owned and must outlive this.
    LoggerCommands(LiveLinkControl& live, QMdiArea* area, QWidget* window = nullptr);
    ~LoggerCommands() override;

    // The logger port: opened on the live port's device only while a command holds it. A fault
    // on it ends the running operation silently.
    MeterPort loggerPort;

    // Load Data: creates the data-logger window when there is none (sized to the area's client
    // area, 60 pixels short) or brings it back to its normal state, then reads the logger
    // memory. A good download replaces what the window shows and makes every data-logger
    // window ask whether to save when it closes, for the rest of the run.
    void loadData();
    // Setup: reads the logger's settings, lets the user change them in the setup dialog and
    // writes them.
    void setUpLogger();
    // Erase Memory: asks first, then erases the logger memory.
    void eraseMemory();
    // The factory check: opens the check window (or brings it back) and runs the check in it.
    void runFactoryCheck();

    // How the last command ended (tests, the screenshot script).
    LoggerOutcome lastOutcome() const { return m_lastOutcome; }

    // Creates the data-logger window if there is none and shows it in its normal state.
    DataLoggerWindow* showDataLogger();
    // The windows while they are open; nullptr once they closed.
    DataLoggerWindow* dataLoggerWindow() const;
    FactoryCheckWindow* factoryCheckWindow() const;
    // Set by the first successful download and never cleared.
    bool loggerDataLoaded() const { return m_loggerDataLoaded; }

    // Runs the program's Save command on a data-logger window whose closing question was
    // answered Yes; false when the save was cancelled or failed. While none is set, Yes keeps
    // the window open.
    void setSaveWindow(std::function<bool(DataLoggerWindow*)> save) {
        m_saveWindow = std::move(save);
    }

Q_SIGNALS:
    // A line for the status bar (a download that could not be kept in the data folder).
    void statusMessage(const QString& text);

public:
    // Tests shorten the waits and fix the time of day; nullptr restores the system clock.
    void setTiming(const LoggerTiming& timing) { m_timing = timing; }
    const LoggerTiming& timing() const { return m_timing; }
    void setClock(const Clock* clock);

private:
    // True (with the busy note shown) when another command runs now.
    bool refusedAsBusy();
    void keepDownload(const LoggerImage& image, const QList<DataSetInfo>& sets);
    void discardDataLogger();

    std::unique_ptr<LiveLinkControl> m_ownLive;
    LiveLinkControl& m_live;
    QPointer<QMdiArea> m_area;
    QPointer<QWidget> m_window;
    LoggerTiming m_timing;
    std::unique_ptr<Clock> m_systemClock;
    const Clock* m_clock;
    QPointer<DataLoggerWindow> m_dataLoggerWindow;
    QPointer<FactoryCheckWindow> m_factoryCheckWindow;
    bool m_loggerDataLoaded = false;
    std::function<bool(DataLoggerWindow*)> m_saveWindow;
    LoggerOutcome m_lastOutcome = LoggerOutcome::TooShort;
    bool m_running = false;
    bool m_keepFailureTold = false;
    // The header counts (data sets, end address) of the last download of this run.
    std::optional<std::pair<int, int>> m_downloaded;
};
