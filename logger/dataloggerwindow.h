#pragma once

#include "closingquestion.h"
#include "datasetinfo.h"
#include "loggerimage.h"

#include <QList>
#include <QWidget>

#include <functional>

class Chart;
class QLabel;
class QSplitter;
class StringGrid;

// The child window "DataLogger": what the meter's logger memory held after Load Data. The
// data-set list on the left with the MAX and MIN panels of the shown set below it; on the right
// the chart and the record table of the set chosen in the list.
// Three caption bars ("Data Sets", "Graph", "Tabular") show which pane the user works in.
//
// The set shown is always the one of the list's current row, whether it moved by mouse,
// keyboard or program. A click on a table row puts the chart's vertical marker on that record; a click on a chart
// point, or on the MAX or MIN panel, selects the record's row, scrolls it into the middle of
// the table and moves the marker there. Clicks that refer to nothing (no sets yet, an empty
// panel) do nothing.
//
// The window holds the data sets and the image of the last successful download and nothing
// else; the download itself and the logger port belong to LoggerCommands.
class DataLoggerWindow : public QWidget, public ClosingQuestion {
    Q_OBJECT
public:
    explicit DataLoggerWindow(QWidget* parent = nullptr);
    ~DataLoggerWindow() override;

    static constexpr int ClientWidth = 800;
    static constexpr int ClientHeight = 600;

    enum class Pane { DataSets, Graph, Tabular };

    // Closing asks "Save DataLogger Data ?" while this is set (after the program's first
    // successful download; it is never cleared again).
    void setLoggerDataLoaded(bool loaded) { m_loggerDataLoaded = loaded; }
    bool loggerDataLoaded() const { return m_loggerDataLoaded; }

    // Runs the program's Save command on this window when the user answers Yes to the closing
    // question. Returns false when the save was cancelled or failed: the window then stays
    // open. Set by LoggerCommands (with the save the main window gives it); while no save
    // command is there, Yes keeps the window open rather than lose the data.
    void setSaveAction(std::function<bool()> save) { m_saveAction = std::move(save); }

    // Replaces the data sets and the data area with those of a successful download, fills
    // the data-set list, selects its first row and shows set 0. Throws ChartError like
    // showDataSet (the list is filled by then).
    void showLoggerData(const LoggerImage& image, const QList<DataSetInfo>& sets);
    // The meter's memory was erased: the caption says that what the window shows is no longer
    // in the meter (until the next download replaces it). Nothing changes while it shows no set.
    void markErasedFromMeter();
    // Decodes set `index` into recordTable, chart and the MAX/MIN panels, with a progress
    // window while it works. A set index outside the list does nothing. When the chart setup
    // fails (a damaged chart template) the table is still shown, the progress window closed
    // and the cursor restored before the ChartError goes on to the caller.
    void showDataSet(int index);

    // Colours `pane`'s caption bar white on blue and the other two as normal.
    void highlightPane(Pane pane);
    Pane highlightedPane() const { return m_pane; }
    // Puts the chart's marker on point `p` and labels it with the TIME, VALUE and RANGE of
    // table row p + 1.
    void markChartPoint(int p);
    // Selects table row `r` (columns 1 to the last), scrolls it to the middle of the table
    // when it lies below the first screenful (else to the top), and marks point r - 1.
    void selectTableRow(int r);

    // Handlers. onDataSetClicked shows the set of the list's current row (when it is not the
    // one shown); it runs whenever the current row changes.
    void onDataSetClicked();
    void onRecordClicked();
    void onChartHotSpot(int point);
    void onChartClick();
    // Selects the record the MAX (tag 1) or MIN (tag 2) panel shows; a click on either panel.
    void selectExtremeRow(int tag);
    // True when the window may close (the closing question was answered Yes with a
    // successful save, or No, or not asked).
    bool askToClose() override;

    const QList<DataSetInfo>& dataSets() const { return m_sets; }
    // The set the table and chart show, -1 before any.
    int shownSet() const { return m_shownSet; }
    // Rows of the shown set's largest and smallest value, 0 when there is none.
    int maxRow() const { return m_maxRow; }
    int minRow() const { return m_minRow; }

    // The caption bars of the three panes, the MAX and MIN panels, the list, the chart and the
    // table, and the splitters between the left and right panes and between chart and table.
    QLabel* dataSetsCaption;
    StringGrid* dataSetList;
    QLabel* maxPanel;
    QLabel* minPanel;
    QLabel* graphCaption;
    Chart* chart;
    QLabel* tableCaption;
    StringGrid* recordTable;
    QSplitter* mainSplitter;
    QSplitter* chartTableSplitter;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void redrawChart();
    void fitListColumns();

    LoggerImage m_image;
    QList<DataSetInfo> m_sets;
    int m_shownSet = -1;
    int m_maxRow = 0;
    int m_minRow = 0;
    bool m_loggerDataLoaded = false;
    std::function<bool()> m_saveAction;
    Pane m_pane = Pane::DataSets;
    bool m_shown = false;
};
