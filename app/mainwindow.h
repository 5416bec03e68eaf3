#pragma once

#include "livelink.h"
#include "limitmonitor.h"
#include "recorder.h"
#include "recordingjournal.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

class AboutBox;
class ChartCommands;
class FileCommands;
class GaugeWindow;
class HelpViewer;
class LcdWindow;
class LoggerCommands;
class PortSelector;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QToolButton;
class RecorderWindow;
class ScheduleDialog;
class StatisticsWindow;
class WindowArranger;

// The main window: a multi-document frame with the program's commands (one QAction each,
// shared by menu and tool bar), the tool bar with the port box, and the status bar. It owns
// the live link, the recorder and the recorder's journal, which outlive every window that
// shows them; the live views subscribe to the link themselves, the journal to the recorder.
//
// Closing (the close box, File > Exit) first asks every child window that may hold unsaved
// data (ClosingQuestion); a Cancel keeps the program and every window as they are. Choosing ports and laying out the child windows are
// delegated to a PortSelector and a WindowArranger.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `splash` is the start-up screen, closed once the program is ready.
    explicit MainWindow(AboutBox* splash = nullptr);
    ~MainWindow() override;

    // The live link with the meter, and the recorder that follows it.
    LiveLink link;
    Recorder recorder{link};
    // After the recorder: a crossing that stops it takes the crossing reading as its last
    // sample.
    LimitMonitor limits{link, &recorder};
    // Every sample the recorder takes, in the recordings folder (settings from the user's
    // settings, the folder from RecordingJournal::defaultFolder()).
    RecordingJournal journal;

    // The live views and the schedule dialog while they are open.
    LcdWindow* lcdWindow() const;
    StatisticsWindow* statisticsWindow() const;
    GaugeWindow* gaugeWindow() const;
    RecorderWindow* recorderWindow() const;
    ScheduleDialog* scheduleDialog() const;
    // Help > Contents' viewer once it was asked for.
    HelpViewer* helpViewer() const;
    QMdiArea* mdiArea() const { return m_mdiArea; }
    PortSelector* portSelector() const { return m_ports; }

    // A command by its object name ("recorderAction", "tileAction", "exitAction",
    // "factoryCheckAction", ...), as the menus and the tool bar trigger it.
    QAction* command(const QString& name) const;
    // Whether the DataLogger menu can be used (Load Data follows it once a meter answered: only
    // a model 122 has a logger memory).
    bool loggerCommandsEnabled() const;
    // Status bar panel 0 (hints, the port, why a port failed) or 1 (the connection).
    QString statusText(int panel) const;
    void setStatusText(int panel, const QString& text);

    // The factory memory check's hidden menu item (ql350 --factory-check shows it).
    void showFactoryCheckCommand();

    // The settings value that survives between runs.
    static int readLastConnectedPort();
    static bool writeLastConnectedPort(int index);
    // The journal's settings ("Journal/Enabled", "Journal/MaxAgeDays", "Journal/MaxTotalMiB").
    static JournalSettings readJournalSettings();
    static void writeJournalEnabled(bool enabled);

    // The main window's frame as the user left it last time; false when none is stored or
    // it cannot be used (the caller then chooses one).
    bool restoreSavedGeometry();

    // Asks every child window with unsaved data whether it may close, in the area's order,
    // and stops at the first that may not; whether all may.
    bool askChildrenToClose();

    // The first showing's work (views, search, timer); runs once, right after the window
    // first appears. Public so that tests can wait for it.
    void startUp();
    bool startupDone() const { return m_startupDone; }

Q_SIGNALS:
    // The first showing's work is done (views created, meter searched, timer running).
    void startupFinished();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildToolBar();
    void buildStatusBar();
    void buildFileCommands();
    void buildChartCommands();
    void setInitialState();
    bool mayCloseNow();
    void rememberAndRelease();
    void updateCaption();
    void setLoggerCommandsEnabled(bool enabled);
    void showProgress(const QString& text);
    void updateViewChecks();
    void showPortChange();
    // Window frames, recorder rate and schedule into the settings.
    void saveSettings();
    // Puts a new live view where the user left it, else near `preferred`, inside the area.
    void placeChild(QMdiSubWindow* sub, const QString& kind, QPoint preferred);
    void watchView(QWidget* view);

    void createRecorder(int left);
    void createLcd();
    void createStatus(int top);
    void createGauge(int top);
    void showRecorder();
    void showRecordings();
    void showSchedule();
    void showLcd();
    void showStatistics();
    // Option > Limits: the limits of the function the meter shows.
    void editLimits();
    void showGauge();
    void showHelp();
    void showAbout();
    void exitNow();

    QMdiArea* m_mdiArea = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_statusPanel0 = nullptr;
    QLabel* m_statusPanel1 = nullptr;
    PortSelector* m_ports = nullptr;
    WindowArranger* m_arranger = nullptr;

    // Commands.
    QAction* m_openAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_printAction = nullptr;
    QAction* m_printerSetupAction = nullptr;
    QAction* m_recordingsAction = nullptr;
    QAction* m_exitAction = nullptr;
    QMenu* m_loggerMenu = nullptr;
    QAction* m_loadDataAction = nullptr;
    QAction* m_loggerSetupAction = nullptr;
    QAction* m_eraseMemoryAction = nullptr;
    QAction* m_recorderAction = nullptr;
    QAction* m_lcdAction = nullptr;
    QAction* m_statusAction = nullptr;
    QAction* m_gaugeAction = nullptr;
    QAction* m_scaleAction = nullptr;
    QAction* m_limitsAction = nullptr;
    QAction* m_helpAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_factoryCheckAction = nullptr;

    // Tool bar buttons.
    QToolButton* m_openButton = nullptr;
    QToolButton* m_saveButton = nullptr;
    QToolButton* m_loadDataButton = nullptr;
    QToolButton* m_printButton = nullptr;
    QToolButton* m_scheduleButton = nullptr;
    QToolButton* m_listToGraphButton = nullptr;
    QToolButton* m_helpButton = nullptr;
    QToolButton* m_undoZoomButton = nullptr;

    // Open, Save, Print, Printer Setup, list to graph, Scale and Undo Zoom.
    FileCommands* m_files = nullptr;
    ChartCommands* m_charts = nullptr;
    // The DataLogger menu's commands, the logger port and the logger's windows.
    LoggerCommands* m_logger = nullptr;

    // The live views; each clears itself when its window closes.
    QPointer<LcdWindow> m_lcdWindow;
    QPointer<StatisticsWindow> m_statisticsWindow;
    QPointer<GaugeWindow> m_gaugeWindow;
    QPointer<RecorderWindow> m_recorderWindow;
    QPointer<ScheduleDialog> m_scheduleDialog;
    // The start-up screen (or the hidden box that takes the search's texts once it is gone).
    QPointer<AboutBox> m_aboutBox;
    QPointer<HelpViewer> m_helpViewer;

    // What status bar panel 0 says when no hint is shown.
    QString m_panel0Text;

    bool m_shown = false;
    bool m_closeDeferred = false;
    bool m_startupDone = false;
};
