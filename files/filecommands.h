#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Chart;
class Printing;
class QAction;
class QMdiArea;
class QMdiSubWindow;
class QToolButton;
class QWidget;
class StringGrid;
class ListGraphWindow;
class ListWindow;

// The main window's file, print and chart-scale commands: Open, Save, Print, Printer Setup,
// list to graph, Scale and Undo Zoom. Each acts on the active child window, found by its class:
//
// - windows with a readings table (the recorder, the data logger, the list window) save and
//   print that table;
// - windows with a chart (the recorder, the data logger, the list-graph window) are the
//   target of Scale and Undo Zoom; a list-graph window prints its chart;
// - Scale with any other window active edits the recorder's chart while the recorder is open.
//
// The list and list-graph windows are this subsystem's own; the windows of other subsystems
// are made known with addTableWindow, so that this code needs none of their headers.
//
// One QAction per command serves menu and tool bar alike; updateMenus, run whenever another
// child window becomes active, enables exactly the commands that can act on it. Every command
// runs inside the error boundary. A command that services the user interface while it works
// (save, open, graph) ignores a second command started meanwhile.
//
// All printouts go through one Printing: one printer, the one chosen in Printer Setup, and
// one print dialog; charts print on it too.
class FileCommands : public QObject {
    Q_OBJECT
public:
    // `mainWindow` parents the dialogs and messages.
    FileCommands(QMdiArea* area, QWidget* mainWindow);
    ~FileCommands() override;

    // The parts of a child window the commands use (either may be null).
    struct Parts {
        StringGrid* table = nullptr;
        Chart* chart = nullptr;
    };
    // Makes a window class known: for a window of class W, `table` is the readings table that
    // Save and Print take and `chart` the chart that Scale and Undo Zoom act on (nullptr for
    // none).
    template <class W> void addTableWindow(StringGrid* W::*table, Chart* W::*chart) {
        m_kinds.push_back([table, chart](QWidget* w) -> std::optional<Parts> {
            if (auto* window = qobject_cast<W*>(w))
                return Parts{table ? window->*table : nullptr, chart ? window->*chart : nullptr};
            return std::nullopt;
        });
    }
    // The recorder's chart while the recorder window exists, else nullptr.
    void setRecorderChart(std::function<Chart*()> recorderChart);

    // The main window's commands. The tool buttons take the actions as their default action
    // (they keep their own names); the two without a menu item get actions of their own.
    struct Controls {
        QAction* openAction = nullptr;
        QAction* saveAction = nullptr;
        QAction* printAction = nullptr;
        QAction* printerSetupAction = nullptr;
        QAction* scaleAction = nullptr;
        QToolButton* openButton = nullptr;
        QToolButton* saveButton = nullptr;
        QToolButton* printButton = nullptr;
        QToolButton* graphButton = nullptr;
        QToolButton* undoZoomButton = nullptr;
    };
    void attach(const Controls& controls);
    QAction* graphAction = nullptr; // list to graph
    QAction* undoZoomAction = nullptr;

    // The content of the active child window, nullptr for none.
    QWidget* activeMdiChild() const;
    template <class T> T* activeChild() const { return qobject_cast<T*>(activeMdiChild()); }
    // The parts of a window (none for an unknown class).
    Parts partsOf(QWidget* window) const;
    // The chart Scale acts on.
    Chart* scaleTarget() const;

    // The commands.
    // Opens a data file into a new list window.
    void openFile();
    // The same without the file dialog (a journal chosen in the Recordings list).
    void openPath(const QString& path);
    // Saves the active window's table.
    void saveActiveTable();
    // Save on a given table (the data-logger window's closing question): true when the file
    // was written whole; false when the user cancelled or the save failed (it says why).
    // `what` names the table in the name the save dialog suggests ("Recorder" gives
    // "Recorder 2026-12-08 1430"); empty: the title of the window that holds the table.
    bool saveTable(StringGrid* table, const QString& what = QString());
    // The name the save dialog offers for a table of `what` saved at `now`: the name without
    // characters a file name cannot hold, the date and the minute, and no extension (the
    // chosen filter adds its own).
    static QString suggestedName(const QString& what, const QDateTime& now);
    // Draws the active list window's values in a new list-graph window.
    void graphList();
    // Edits the top and bottom of the target chart's value scale.
    void editScale();
    // Leaves a zoomed view of the active window's chart.
    void undoZoom();
    // File > Print and the tool-bar print: the table of a window with one, the chart of a
    // list-graph window.
    void print();
    void setUpPrinter();

    void updateMenus();

    // The program's printing (its printer and print dialog).
    Printing& printing() { return *m_printing; }

    // The filter list of the save dialog; the open dialog's starts with all data files.
    static const QString fileFilter;
    static const QString openFilter;
    // The save dialog's entry for the portable format (docs/portable-format.md).
    static const QString portableFilterName;

    // The folder the open and save dialogs start in: the one last used (the user's documents
    // folder at first). The main window keeps it in its settings.
    QString lastFolder() const { return m_lastFolder; }
    void setLastFolder(const QString& folder);

signals:
    // The open or save dialog was left in another folder: the one to start in next time.
    void lastFolderChanged(const QString& folder);
    // A list window or list-graph window was made (tests, screenshots).
    void listOpened(ListWindow* list);
    // A table was saved whole (so a window can tell that its rows are safe).
    void tableSaved(StringGrid* table);
    // A save finished (whole or a chosen range): where and how many rows, for the status bar.
    void saved(const QString& path, qint64 rows);
    void graphMade(ListGraphWindow* graph);

private:
    QMdiSubWindow* addChild(QWidget* content);
    void printTable(StringGrid* table, const QString& title);

    QMdiArea* m_area;
    QPointer<QWidget> m_main;
    std::unique_ptr<Printing> m_printing;
    std::vector<std::function<std::optional<Parts>(QWidget*)>> m_kinds;
    std::function<Chart*()> m_recorderChart;
    Controls m_controls;
    void useFolderOf(const QString& path);

    bool m_busy = false;
    QString m_lastFolder;
};
