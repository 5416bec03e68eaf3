#pragma once

#include "loggertiming.h"

#include <QObject>
#include <QPointer>

#include <memory>

class Clock;
class LiveLink;
class LiveLinkControl;
class QMdiArea;
class QWidget;
class MeterPort;
class FactoryCheckWindow;

// The DataLogger menu's Setup and Erase Memory and the hidden factory check, over the logger
// core (RunLoggerSetup, RunMemoryErase, FactoryCheck::Run) with the main window's second port
// object setupPort as the logger port. Thin: it supplies the windows (the setup dialog, the busy
// note, the message boxes through the dialog seam, the check window) and the hourglass.
//
// The handlers run the whole operation before they return, servicing events in its waits;
// they are to be started when neither live step runs (LiveLink::WhenIdle) and inside the
// error boundary. A handler started while another logger operation holds the device does
// nothing.
class LoggerSetupCommands : public QObject {
    Q_OBJECT
public:
    // Over the program's live link and its setupPort; windows go to `area`, boxes over `window`.
    LoggerSetupCommands(LiveLink& link, QMdiArea* area, QWidget* window);
    // Over any live side and logger port (tests); neither is owned.
    LoggerSetupCommands(LiveLinkControl& live, MeterPort& loggerPort, QMdiArea* area,
                        QWidget* window);
    ~LoggerSetupCommands() override;

    void Setup2Click();
    void EraseMemory1Click();
    void N6Click();

    // The check window while it exists.
    QPointer<FactoryCheckWindow> factoryCheckWindow;

    // Tests shorten the waits and fix the time of day; nullptr restores the system clock.
    void setTiming(const LoggerTiming& timing) { m_timing = timing; }
    void setClock(const Clock* clock);

private:
    std::unique_ptr<LiveLinkControl> m_ownLive;
    std::unique_ptr<MeterPort> m_ownPort;
    LiveLinkControl& m_live;
    MeterPort& m_port;
    QPointer<QMdiArea> m_area;
    QPointer<QWidget> m_window;
    LoggerTiming m_timing;
    std::unique_ptr<Clock> m_systemClock;
    const Clock* m_clock;
};
