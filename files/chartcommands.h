#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSize>

class Chart;
class FileCommands;
class QAction;
class QWidget;
class StringGrid;

// The main window's chart commands, on the chart of the active child window (the recorder,
// the data logger, a list graph): Fit to Data (checked while that chart is fitted; unchecking
// goes back to the fixed scales), Cursors (checked while it shows them), Export Chart, and
// Edit > Copy. One QAction each, for menu and tool bar alike, enabled only where it can act
// and following the chart when a double click fits it.
//
// Copy takes what the user works in: the selected rows of the window's table (with its caption
// row, as tab-separated text) when the table has the focus and rows are selected, else the
// chart as a picture, else the table's selected rows.
class ChartCommands : public QObject {
    Q_OBJECT
public:
    // `files` knows the child windows' tables and charts; `mainWindow` parents the dialogs.
    ChartCommands(FileCommands& files, QWidget* mainWindow);
    ~ChartCommands() override;

    QAction* fitToDataAction;
    QAction* cursorsAction;
    QAction* exportChartAction;
    QAction* copyAction;

    // The size the export dialog offers first (the last one chosen); the main window keeps it.
    QSize exportSize() const { return m_exportSize; }
    void setExportSize(QSize size);

    // The commands.
    void toggleFitToData(bool fitted);
    void toggleCursors(bool shown);
    // Asks for a file (PNG, SVG or PDF by its extension) and a size, then writes the chart.
    void exportChart();
    void copy();
    // Enables and checks the actions for the active child window.
    void updateActions();

    // The selected rows of `table` (grid rows, with the caption row first when it has one), one
    // line each, cells separated by tabs, up to the last column with a text; empty without a
    // selection.
    static QString selectedRowsText(const StringGrid& table);

signals:
    void exportSizeChanged(QSize size);

private:
    Chart* activeChart() const;
    StringGrid* activeTable() const;

    FileCommands& m_files;
    QPointer<QWidget> m_main;
    QPointer<Chart> m_followed;
    QMetaObject::Connection m_fittedConnection;
    QSize m_exportSize{1200, 800};
};
