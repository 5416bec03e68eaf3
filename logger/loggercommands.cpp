#include "loggercommands.h"

#include "childwindow.h"
#include "clock.h"
#include "delay.h"
#include "dialogs.h"
#include "livelink.h"
#include "livelinkadapter.h"
#include "loadloggerdata.h"
#include "loggerdownloadwindows.h"
#include "dataloggerwindow.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace {
void onLoggerPortError(MeterPort*, const PortError&, PortErrorAction& action) {
    action = caAbort;
}

// Failures that end LoadLoggerData before the user was asked: the port failed or vanished
// during the transfer, or could not be taken from the live link.
bool askedAfterwards(DownloadResult r) {
    return r == DownloadResult::PortLost || r == DownloadResult::PortNotOpened ||
           r == DownloadResult::DeviceBusy;
}
} // namespace

LoggerCommands::LoggerCommands(LiveLink& link, QMdiArea* area, QObject* parent)
    : QObject(parent), m_link(link), m_area(area) {
    loggerPort.setObjectName(QStringLiteral("loggerPort"));
    loggerPort.OnError = onLoggerPortError;
}

LoggerCommands::~LoggerCommands() = default;

DataLoggerWindow* LoggerCommands::ShowDataLogger() {
    if (dataLoggerWindow) {
        if (QMdiSubWindow* sub = ChildWindowOf(dataLoggerWindow))
            sub->showNormal();
        return dataLoggerWindow;
    }
    auto* w = new DataLoggerWindow;
    w->LoggerDataLoaded = LoggerDataLoaded;
    w->OnSaveRequested = [this, w] { return SaveWindow && SaveWindow(w); };
    if (m_area) {
        const QSize client = m_area->viewport()->size();
        w->resize(client.width(), std::max(client.height() - 60, 200));
        QMdiSubWindow* sub = AddChildWindow(m_area, w, ChildWindowStyle::Sizeable);
        sub->move(0, 0);
        sub->resize(client.width(), std::max(client.height() - 60, 200));
        sub->showNormal();
    } else {
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
    }
    dataLoggerWindow = w;
    return w;
}

void LoggerCommands::LoadData1Click() {
    const bool created = !dataLoggerWindow;
    DataLoggerWindow* window = ShowDataLogger();
    if (created)
        Delay(unsigned(Timing.settleMs));
    if (!m_link.connected()) {
        m_lastResult = DownloadResult::NotConnected;
        Dialogs::ShowMessage(window, QStringLiteral("There is no connection with multimeter !"));
        return;
    }
    if (m_link.reading().MeterRecording) {
        m_lastResult = DownloadResult::MeterRecording;
        Dialogs::ShowMessage(
            window, QStringLiteral(
                        "The meter is recording data, please stop recording before loading data."));
        return;
    }

    LiveLinkAdapter live(m_link);
    LoggerDownload d;
    for (;;) {
        LoggerDownloadWindows windows(window);
        d = LoadLoggerData(live, loggerPort, &windows, windows, m_link.clock().now(), Timing);
        if (!askedAfterwards(d.Result) || windows.askAfterFailure() == LoggerErrorChoice::Cancel)
            break;
    }
    m_lastResult = d.Result;

    switch (d.Result) {
    case DownloadResult::Loaded:
        LoggerDataLoaded = true;
        if (dataLoggerWindow) {
            dataLoggerWindow->LoggerDataLoaded = true;
            dataLoggerWindow->ShowLoggerData(d.Image, d.Parse.Sets);
        }
        break;
    case DownloadResult::NoData:
        Dialogs::ShowMessage(
            dataLoggerWindow, QStringLiteral("There was not any data recorded in momery of meter !"));
        break;
    case DownloadResult::NotConnected:
        Dialogs::ShowMessage(dataLoggerWindow,
                             QStringLiteral("There is no connection with multimeter !"));
        break;
    case DownloadResult::MeterRecording:
        Dialogs::ShowMessage(
            dataLoggerWindow,
            QStringLiteral(
                "The meter is recording data, please stop recording before loading data."));
        break;
    default:
        // The user cancelled, in the error dialog or the progress window.
        break;
    }
}
