#pragma once

#include "discovery.h"
#include "livelink.h"
#include "liveviews.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>

class LoggerCommands;
class FileCommands;
class QAction;
class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QToolButton;
class AboutBox;
class LoggerSetupCommands;
class GaugeWindow;
class LcdWindow;
class RecorderWindow;
class ScheduleDialog;
class StatisticsWindow;

// The main window: a multi-document frame that owns the serial ports, the main timer, the
// shared state, the tool bar, the status bar and the live views.
class MainWindow : public QMainWindow, public LiveViews, public DiscoveryHost {
    Q_OBJECT
public:
    // `splash` is the start-up screen, closed once the program is ready.
    explicit MainWindow(AboutBox* splash = nullptr);
    ~MainWindow() override;

    // The live link and the state shared by everything: ports, timer, reading, flags.
    LiveLink link;

    // Tool bar.
    QToolBar* panMenu = nullptr;
    QToolButton* SpeedButton4 = nullptr; // open file
    QToolButton* SpeedButton2 = nullptr; // save file
    QToolButton* btnLoadData = nullptr;
    QToolButton* SpeedButton3 = nullptr; // print
    QToolButton* SpeedButton1 = nullptr; // schedule
    QToolButton* btnOutputGraph = nullptr;
    QToolButton* btnHelp = nullptr;
    QToolButton* SpeedButton7 = nullptr; // undo zoom
    QComboBox* ComboBoxDeviceName = nullptr;

    // Menu.
    QAction* Open1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* Print1 = nullptr;
    QAction* PrinterSetup1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* DataLogger1 = nullptr;
    QAction* LoadData1 = nullptr;
    QAction* Setup1 = nullptr;
    QAction* EraseMemory1 = nullptr;
    QAction* RealTimeDataRecorder1 = nullptr;
    QAction* Lcdpanel1 = nullptr;
    QAction* Status1 = nullptr;
    QAction* Analog1 = nullptr;
    QAction* Scale1 = nullptr;
    QMenu* Window1 = nullptr;
    QAction* Tile1 = nullptr;
    QAction* Cascade1 = nullptr;
    QAction* ArrangeIcons1 = nullptr;
    QAction* Content1 = nullptr;
    QAction* About1 = nullptr;
    QAction* N6 = nullptr;

    // Status bar panels 0 and 1.
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;

    QMdiArea* MdiArea = nullptr;

    // Open, Save, Print, Printer Setup, list to graph, Scale and Undo Zoom.
    FileCommands* Files = nullptr;

    // The live views; each clears itself when its window closes.
    QPointer<LcdWindow> lcdWindow;
    QPointer<StatisticsWindow> statisticsWindow;
    QPointer<GaugeWindow> gaugeWindow;
    QPointer<RecorderWindow> recorderWindow;
    // Load Data: the logger port loggerPort and the data-logger window.
    LoggerCommands* Logger = nullptr;
    // The schedule dialog while it is open.
    QPointer<ScheduleDialog> scheduleDialog;

    // The logger's Setup and Erase Memory and the factory check (N6).
    LoggerSetupCommands* loggerSetupCommands = nullptr;

    // The start-up screen (or the hidden box that takes the search's texts once it is gone).
    QPointer<AboutBox> aboutBox;

    // The settings value that survives between runs.
    static int ReadLastConnectedPort();
    static bool WriteLastConnectedPort(int index);

    // Menu and tool bar handlers.
    void RealTimeDataRecorder1Click();
    void SpeedButton1Click();
    void Lcdpanel1Click();
    void Status1Click();
    void Analog1Click();
    void btnHelpClick();
    void About1Click();
    void Tile1Click();
    void Cascade1Click();
    void ArrangeIcons1Click();
    void Exit1Click();
    void ComboBoxDeviceNameChange();

    // The first showing's work (views, search, timer); runs once, right after the window
    // first appears. Public so that tests can wait for it.
    void FormShow();
    bool StartupDone() const { return m_startupDone; }

    // LiveViews
    bool hasRecorder() const override;
    bool hasLcd() const override;
    bool hasStatus() const override;
    bool hasGauge() const override;
    void recorderFunctionChange() override;
    void recorderRangeChange(int previousMultiplier, int multiplier) override;
    void recorderScaleChange() override;
    void recorderTakeSample(double when) override;
    void recorderShowRate(int seconds) override;
    void recorderSetButtons(bool startEnabled, bool stopEnabled) override;
    void gaugeRelabel() override;
    void gaugeShow(double magnitude, const QString& sign) override;
    void statusShow(bool max, bool pmax, bool min, bool pmin) override;
    void statusPeakEnded() override;
    void lcdShow() override;
    void lcdSetNoConnection(bool visible) override;
    void setStatusText(int panel, const QString& text) override;
    void setLoggerCommandsEnabled(bool enabled) override;

    // DiscoveryHost
    void showProgress(const QString& text) override;
    int portCount() const override;
    QString portName(int index) const override;
    void selectPort(int index) override;
    QString portText() const override;

Q_SIGNALS:
    // The first showing's work is done (views created, meter searched, timer running).
    void startupFinished();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    bool FormCloseQuery();
    void FormClose();
    void buildMenu();
    void buildToolBar();
    void buildStatusBar();
    void buildFileCommands();
    void updateCaption();
    void updateWindowMenu();
    void createRecorder(int left);
    void createLcd();
    void createStatus(int top);
    void createGauge(int top);
    void applyPortChange();
    void switchPort();
    void showOpenFailure(bool chosenByUser);

    bool m_shown = false;
    bool m_switching = false;   // a port change is under way
    bool m_switchAgain = false; // another one was asked for meanwhile
    bool m_closeDeferred = false;
    QTimer m_portSettle; // collects the port box's requests of one moment
    bool m_startupDone = false;
};
