#pragma once

#include "meterport.h"
#include "loggerdownload.h"
#include "loggertiming.h"

#include <QObject>
#include <QPointer>

#include <functional>

class LiveLink;
class QMdiArea;
class DataLoggerWindow;

// The DataLogger menu's Load Data (menu item LoadData1, tool-bar button btnLoadData): owns
// the logger port loggerPort and the program's one reference to the data-logger window.
//
// Load Data creates the window when there is none (sized to the main window's client area,
// 60 pixels short) or brings it back to its normal state, then borrows the meter's device from
// the live link and reads the logger memory (LoadLoggerData) with the busy, progress and
// error windows of LoggerDownloadWindows. A good download replaces what the window shows and
// sets LoggerDataLoaded for good. However the command ends, the device has been handed back
// to the live link, the resume command sent when its port opened again and tickTimer started.
// Start it through LiveLink::WhenIdle so that it begins when neither live step runs.
class LoggerCommands : public QObject {
    Q_OBJECT
public:
    // `area` holds the data-logger window; `link` lends its device and must outlive this.
    LoggerCommands(LiveLink& link, QMdiArea* area, QObject* parent = nullptr);
    ~LoggerCommands() override;

    // The logger port: 9600 8N1, closed between commands; a fault on it ends the running
    // operation silently (onLoggerPortError sets the abort action).
    MeterPort loggerPort;

    // The data-logger window while one is open; cleared when it closes.
    QPointer<DataLoggerWindow> dataLoggerWindow;
    // Set by the first successful download and never cleared: from then on closing a
    // data-logger window asks whether to save.
    bool LoggerDataLoaded = false;

    // Given to every data-logger window as its OnSaveRequested: runs the program's Save
    // command on that window; false when the save was cancelled or failed. Set by the main
    // window; while it is empty, answering Yes to the closing question keeps the window open.
    std::function<bool(DataLoggerWindow*)> SaveWindow;

    // Waits and limits (tests shorten them).
    LoggerTiming Timing;

    // The command.
    void LoadData1Click();
    // How the last Load Data ended (tests, the screenshot script).
    DownloadResult LastResult() const { return m_lastResult; }

    // Creates the data-logger window if there is none and shows it in its normal state.
    DataLoggerWindow* ShowDataLogger();

private:
    LiveLink& m_link;
    QPointer<QMdiArea> m_area;
    DownloadResult m_lastResult = DownloadResult::TooShort;
};
