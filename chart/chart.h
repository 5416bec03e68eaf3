#pragma once

#include "chartseries.h"
#include "rangestatistics.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <limits>
#include <memory>
#include <vector>

class QCustomPlot;
class QCPAbstractItem;
class QCPAxisTicker;
class QCPAxisTickerDateTime;
class DecimatedGraph;
class QCPTextElement;
class QCPItemStraightLine;
class QCPItemText;
class ChartMeasurePanel;
class QLabel;
class QMenu;
class QPrinter;
class QRubberBand;

// Values of the chart's properties.
inline constexpr int sgAutoScale = 0;       // manualScaleControlX/Y: range from the data
inline constexpr int sgManualMin = 1;       //   manual minimum, maximum from the data
inline constexpr int sgManualMax = 2;       //   manual maximum, minimum from the data
inline constexpr int sgManualMinAndMax = 3; //   both from ManualMin/ManualMax
inline constexpr int sgVBDateTime = 1;      // dateTimeMode: x = days since 30 Dec 1899
inline constexpr int sgDot = 2;             // gridStyle (0 thin solid, 1 thick solid, 3 dashes)
inline constexpr int sgHorzZooming = 1;     // allowZooming (0 none)
inline constexpr int sgVertZooming = 2;
inline constexpr int sgHorzPlusVertZooming = 3;
inline constexpr int sgFloatingXY = 5; // cursorMode (0 no cursor prompt)
inline constexpr int sgXValue = 1;     // cursorPromptStyle (0 none)
inline constexpr int sgYValue = 2;
inline constexpr int sgXYValues = 3;

// Colours are 0x00BBGGRR (red in the low byte).
using PEColor = quint32;

// The program's chart: a QCustomPlot drawn from properties and data, with zoom, hot spots,
// a cursor prompt and a pop-up menu.
//
// Naming: the getter of a property is its name (`Points()`, `yData(s, p)`), the setter is
// `set` + the name (`setPoints(n)`, `setYData(s, p, v)`); indexed properties take their
// indices first and the value last. `zoomMode` is read only.
//
// Drawing: writing a property or data changes nothing on screen until redraw() (rebuild the
// plot from the properties and the data, queue a repaint; a zoomed view stays zoomed),
// resetView() (the same, leaving a zoomed view) or undoZoom() (leave a zoomed view for the
// ranges of the last rebuild, without reading new data). So a caller writes a whole sample or a
// whole setup and pays for one drawing. Interaction properties (zooming, cursor prompt, hot
// spots, pop-up) act at once, since they draw nothing.
//
// Mouse: a left-button drag over the plot area zooms into the dragged rectangle (both
// directions for allowZooming 3, x only for 1, y only for 2); zoomMode is true until the zoom
// is left. A left click fires onClick, and with allowDataHotSpots also onDataHotSpot when a
// drawn point lies within 8 pixels (dblClick true for a double click). The cursor prompt
// appears over the plot area when cursorMode is 5 (sgFloatingXY), mouseCursorControl is true
// and cursorPromptStyle is 1 (x), 2 (y) or 3 (both) of the drawn point nearest the mouse;
// with cursorPromptTracking it follows the mouse, else it stays in the plot area's corner.
// A right click opens the pop-up menu (Undo Zoom) when allowPopup is true.
//
// Data:
// - Points are numbered 0 .. Points - 1. Writes to a point outside that range are ignored and
//   such points read as 0. Lowering Points drops the data of the points beyond it; raising it
//   keeps all data and adds points that hold no data yet.
// - A point is drawn once its y was written. A y equal to nullDataValueY (compared in single
//   precision), or not a number, is drawn as a gap. nullDataValueY starts at infinity: no
//   written number is a null value.
// - YData[s, -1] (any value) resets subset s: all its points hold no data again (they read
//   as 0 and are not drawn).
// - Data may be written to subsets 0 .. 255; only subsets below Subsets are drawn.
// - With usingXData the x of a point is xData, else its number (index + 1). Under
//   dateTimeMode 1 x counts days since 30 Dec 1899 (fraction = time of day) and the axis shows
//   dates and times in the user's formats.
// - Lines join the points in x order. A redraw costs O(new points) when only points after the
//   last drawn one were written, else it rebuilds the drawing from the data. Where a pixel
//   column holds many points it shows their first, last, smallest and largest value.
// - Automatic scales (sgAutoScale) span the drawn data, y with 5 % to spare.
//
// Look: subsetLineTypes and vertLineAnnotationType: 0 solid, 1 dashes, 2 dots, 3 dash-dot,
// 4 dash-dot-dot. lineAnnotationTextSize is a percentage of the chart's text size. A manual
// range of zero span is drawn as that value +- 1 minute (date-time x) or +- 0.5, and the
// properties keep the values as written. Lines are straight segments without antialiasing.
//
// Scales: besides the fixed (manual) scales there is "fit to data": both axes span the drawn
// data (y with 3 % to spare) until the fixed scales are asked for again; new data refits. A
// double click on the plot area fits. A zoom lies over either and Undo Zoom returns to it.
//
// Units: valueUnit() is the unit of the values. The y axis shows it as its caption (unless
// yAxisLabel says otherwise), and the hover readout, the cursors and the statistics write it
// after each value. The hover readout of a date-time chart gives the point's time as well.
//
// Marks: a point may be marked as an overload (drawn as written, counted apart and left out
// of the statistics) or as following a gap in the recording (the line breaks before it).
//
// Cursors (off until setCursorsShown(true)): two vertical lines, 1 and 2, each on a drawn
// point of subset 0 and labelled with its time and value. A click on the plot area places
// cursor 1, then 2, then moves the nearer one; a cursor line is dragged with the mouse (no
// zoom band starts on it). Keys, while the plot has the focus: 1 and 2 choose the cursor (and
// place it in the middle of the view if it is not placed), Left and Right move it to the
// previous or next point (Shift: ten points), Home and End to the first or last point in view,
// Escape takes both away.
//
// Statistics (rangeStatistics()) are those of subset 0 between the cursors when both are
// placed, else of the visible x range. measureChanged() tells when they or the cursors may
// have changed; the measure panel under the plot shows them and copies them as text.
//
// Printing: printPage() draws the chart on a printer that the caller has set up; the
// program's printer and its print dialog are not the chart's (see Printing).
class Chart : public QWidget {
    Q_OBJECT
public:
    explicit Chart(QWidget* parent = nullptr);
    ~Chart() override;

    static constexpr int kMaxSubsets = 256;
    static constexpr int kMaxIndexed = 1024; // annotations

    // Data
    int subsets() const { return m_set.subsets; }
    void setSubsets(int n);
    int points() const { return m_set.points; }
    void setPoints(int n);
    float yData(int subset, int point) const;
    void setYData(int subset, int point, float value);
    double xData(int subset, int point) const;
    void setXData(int subset, int point, double value);
    bool usingXData() const { return m_set.usingXData; }
    void setUsingXData(bool on) { m_set.usingXData = on; }
    double nullDataValueY() const { return m_set.nullDataValueY; }
    void setNullDataValueY(double v) { m_set.nullDataValueY = v; }

    // Axes
    int dateTimeMode() const { return m_set.dateTimeMode; }
    void setDateTimeMode(int mode) { m_set.dateTimeMode = mode; }
    int manualScaleControlX() const { return m_set.manualScaleControlX; }
    void setManualScaleControlX(int v) { m_set.manualScaleControlX = v; }
    int manualScaleControlY() const { return m_set.manualScaleControlY; }
    void setManualScaleControlY(int v) { m_set.manualScaleControlY = v; }
    double manualMinX() const { return m_set.manualMinX; }
    void setManualMinX(double v) { m_set.manualMinX = v; }
    double manualMaxX() const { return m_set.manualMaxX; }
    void setManualMaxX(double v) { m_set.manualMaxX = v; }
    double manualMinY() const { return m_set.manualMinY; }
    void setManualMinY(double v) { m_set.manualMinY = v; }
    double manualMaxY() const { return m_set.manualMaxY; }
    void setManualMaxY(double v) { m_set.manualMaxY = v; }
    QString mainTitle() const { return m_set.mainTitle; }
    void setMainTitle(const QString& t) { m_set.mainTitle = t; }
    QString subTitle() const { return m_set.subTitle; }
    void setSubTitle(const QString& t) { m_set.subTitle = t; }
    QString xAxisLabel() const { return m_set.xAxisLabel; }
    void setXAxisLabel(const QString& t) { m_set.xAxisLabel = t; }
    QString yAxisLabel() const { return m_set.yAxisLabel; }
    void setYAxisLabel(const QString& t) { m_set.yAxisLabel = t; }
    QString subsetLabels(int subset) const;
    void setSubsetLabels(int subset, const QString& t);

    // Look
    PEColor graphBackColor() const { return m_set.graphBackColor; }
    void setGraphBackColor(PEColor c) { m_set.graphBackColor = c; }
    PEColor deskColor() const { return m_set.deskColor; }
    void setDeskColor(PEColor c) { m_set.deskColor = c; }
    PEColor textColor() const { return m_set.textColor; }
    void setTextColor(PEColor c) { m_set.textColor = c; }
    PEColor subsetColors(int subset) const;
    void setSubsetColors(int subset, PEColor c);
    int subsetLineTypes(int subset) const;
    void setSubsetLineTypes(int subset, int type);
    int gridStyle() const { return m_set.gridStyle; }
    void setGridStyle(int s) { m_set.gridStyle = s; }

    // Interaction
    int allowZooming() const { return m_set.allowZooming; }
    void setAllowZooming(int z) { m_set.allowZooming = z; }
    bool zoomMode() const { return m_zoomed; }
    int cursorMode() const { return m_set.cursorMode; }
    void setCursorMode(int m) { m_set.cursorMode = m; }
    int cursorPromptStyle() const { return m_set.cursorPromptStyle; }
    void setCursorPromptStyle(int s) { m_set.cursorPromptStyle = s; }
    bool mouseCursorControl() const { return m_set.mouseCursorControl; }
    void setMouseCursorControl(bool on) { m_set.mouseCursorControl = on; }
    bool cursorPromptTracking() const { return m_set.cursorPromptTracking; }
    void setCursorPromptTracking(bool on) { m_set.cursorPromptTracking = on; }
    bool allowDataHotSpots() const { return m_set.allowDataHotSpots; }
    void setAllowDataHotSpots(bool on) { m_set.allowDataHotSpots = on; }
    bool allowPopup() const { return m_set.allowPopup; }
    void setAllowPopup(bool on) { m_set.allowPopup = on; }

    // Annotations (index 0 .. kMaxIndexed - 1; a line is drawn once its x was written)
    bool showVertLineAnnotations() const { return m_set.showVertLineAnnotations; }
    void setShowVertLineAnnotations(bool on) { m_set.showVertLineAnnotations = on; }
    double vertLineAnnotation(int i) const;
    void setVertLineAnnotation(int i, double x);
    int vertLineAnnotationType(int i) const;
    void setVertLineAnnotationType(int i, int type);
    PEColor vertLineAnnotationColor(int i) const;
    void setVertLineAnnotationColor(int i, PEColor c);
    QString vertLineAnnotationText(int i) const;
    void setVertLineAnnotationText(int i, const QString& t);
    int lineAnnotationTextSize() const { return m_set.lineAnnotationTextSize; }
    void setLineAnnotationTextSize(int percent) { m_set.lineAnnotationTextSize = percent; }

    // Marks (see above); reset with the subset's data.
    void markOverload(int subset, int point, bool on = true);
    void markGapBefore(int subset, int point, bool on = true);

    // The unit of the values; takes effect on the next redraw.
    QString valueUnit() const { return m_set.valueUnit; }
    void setValueUnit(const QString& unit) { m_set.valueUnit = unit; }

    // Scales. fitToData() leaves a zoom and spans the data from now on; useFixedScales() goes
    // back to the manual scales. Both redraw.
    void fitToData();
    void useFixedScales();
    bool fittedToData() const { return m_fitted; }
    // The user's own choice between the two (Fit to Data, a double click on the plot, a scale
    // typed in): applied like the calls above and, once the chart has a scale memory key,
    // remembered in the settings for every chart of that kind ("Recorder", "DataLogger",
    // "ListGraph"), this run and the next. The program's own choices (a flat set opened fitted)
    // are not remembered.
    void chooseFitToData(bool fitted);
    void setScaleMemoryKey(const QString& kind) { m_scaleMemoryKey = kind; }
    // Whether the user last chose Fit to Data for charts of this chart's kind; false without a
    // key or a stored choice.
    bool remembersFitToData() const;
    // True when the fixed y scale would draw the drawn data flatter than `share` of the plot's
    // height.
    bool fixedScaleFlattens(double share = 0.1) const;

    // Cursors: index 0 and 1 (shown as 1 and 2). Keys are the drawn x axis's coordinates
    // (seconds since 1970 on a date-time axis).
    bool cursorsShown() const { return m_cursorsShown; }
    void setCursorsShown(bool on);
    bool cursorPlaced(int cursor) const;
    double cursorKey(int cursor) const;
    // The value of the point under the cursor, NaN when it is not placed.
    double cursorValue(int cursor) const;
    // Puts the cursor on the drawn point of subset 0 nearest to `key` (nothing without points).
    void placeCursor(int cursor, double key);
    void removeCursors();
    int activeCursor() const { return m_activeCursor; }
    // "Δt ... Δ ... Δ/Δt ..." for two placed cursors, else empty.
    QString cursorDeltaText() const;

    // Statistics of subset 0 (see above), and the range they cover.
    RangeStatistics rangeStatistics() const;
    bool statisticsBetweenCursors() const { return cursorPlaced(0) && cursorPlaced(1); }
    // A key or a value as the chart shows it to the user: a date and time on a date-time axis,
    // a value in the default locale with the unit.
    QString keyText(double key) const;
    QString valueText(double value) const;
    // The panel of statistics and cursor readouts under the plot.
    ChartMeasurePanel* measurePanel() const { return m_measurePanel; }

    // The plot as a picture of `size` pixels (the widget's own size when empty), in the colours
    // it shows.
    QImage toImage(QSize size = QSize());

    // Drawing
    // Rebuilds the plot from the properties and the data and queues a repaint. A zoomed view
    // stays as it is.
    void redraw();
    // Leaves a zoomed view, then redraws: the axes show the manual or data ranges again.
    void resetView();
    // Leaves a zoomed view for the ranges of the last rebuild and queues a repaint; data
    // written since is not read.
    void undoZoom();

    // Draws the chart, with the colours and texts its properties hold now and the data of the
    // last rebuild, on a printer that has been set up: `title` (if any) on the page's first
    // line, the chart filling the rest of the printable area; `copies` pages of it. Sets the
    // printer's resolution to 96 dpi so that text keeps its size. Throws ChartError when the
    // printer cannot be started.
    void printPage(QPrinter& printer, const QString& title = QString(), int copies = 1);

    // The pop-up menu for a right click, or nullptr when allowPopup is false.
    QMenu* createPopupMenu();

    // Colour conversion for 0x00BBGGRR values.
    static QColor toQColor(PEColor c);
    static PEColor fromQColor(const QColor& c);

    // Inside view for tests and tools: the plot being drawn, and the text of the cursor
    // prompt (empty while hidden).
    QCustomPlot* plot() const { return m_plot; }
    QString cursorPromptText() const;

signals:
    void onClick(Chart* Sender);
    void onDataHotSpot(Chart* Sender, bool dblClick, int subsetIndex, int pointIndex);
    // The visible range, the data, the cursors or the scale mode changed.
    void measureChanged();
    // fitToData() or useFixedScales() changed the scale mode.
    void fittedChanged(bool fitted);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct VertLine {
        double x = 0;
        int type = 0;
        PEColor color = 0;
        QString text;
        bool placed = false;
        bool operator==(const VertLine&) const = default;
    };
    // Everything the properties hold except the data.
    struct Settings {
        int subsets = 1;
        int points = 0;
        bool usingXData = false;
        double nullDataValueY = std::numeric_limits<double>::infinity();
        int dateTimeMode = 0;
        int manualScaleControlX = sgAutoScale;
        int manualScaleControlY = sgAutoScale;
        double manualMinX = 0, manualMaxX = 1, manualMinY = 0, manualMaxY = 1;
        QString mainTitle, subTitle, xAxisLabel, yAxisLabel;
        std::vector<QString> subsetLabels;
        PEColor graphBackColor = 0xFFFFFF;
        PEColor deskColor = 0xC0C0C0;
        PEColor textColor = 0x000000;
        std::vector<PEColor> subsetColors;
        std::vector<int> subsetLineTypes;
        int gridStyle = 0;
        int allowZooming = 0;
        int cursorMode = 0;
        int cursorPromptStyle = 0;
        bool mouseCursorControl = false, cursorPromptTracking = false;
        bool allowDataHotSpots = false, allowPopup = true;
        bool showVertLineAnnotations = false;
        std::vector<VertLine> vertLines;
        int lineAnnotationTextSize = 100;
        QString valueUnit;
        bool operator==(const Settings&) const = default;
    };

    ChartSeries* series(int subset);
    const ChartSeries* series(int subset) const;
    ChartSeries::Rule ruleFor(const Settings& s) const;
    VertLine* vertLine(int i);
    const VertLine* vertLine(int i) const;

    void rebuild();
    void applyLook(const Settings& s);
    void applyTitles(const Settings& s);
    void applyAnnotations(const Settings& s);
    void applyRanges();
    void updateTickFormat();

    void mousePressed(QMouseEvent* e);
    void mouseMoved(QMouseEvent* e);
    void mouseReleased(QMouseEvent* e);
    void mouseDoubleClicked(QMouseEvent* e);
    void zoomTo(QRect band);
    QRect bandRect(QPoint to) const;
    void updateCursorPrompt(QPoint pos);
    bool hotSpotAt(QPoint pos, int& subset, int& point) const;
    QString yAxisCaption(const Settings& s) const;
    void setFitted(bool fitted);
    // Index of the drawn point of subset 0 nearest to `key`, -1 when none.
    int nearestDrawnIndex(double key) const;
    void moveCursorBy(int cursor, int points);
    void updateCursorItems();
    int cursorNearPixel(int x) const;
    bool handleCursorKey(QKeyEvent* e);

    QCustomPlot* m_plot = nullptr;
    QRubberBand* m_band = nullptr;
    QLabel* m_prompt = nullptr;
    QCPTextElement* m_title = nullptr;
    QCPTextElement* m_subTitle = nullptr;
    QList<QCPAbstractItem*> m_annotationItems;
    QSharedPointer<QCPAxisTickerDateTime> m_dateTicker;
    QSharedPointer<QCPAxisTicker> m_numberTicker;

    Settings m_set;   // as written
    Settings m_built; // as last drawn
    bool m_everBuilt = false;
    std::vector<std::unique_ptr<ChartSeries>> m_series;
    std::vector<DecimatedGraph*> m_graphs;

    bool m_zoomed = false;
    bool m_fitted = false;
    QString m_scaleMemoryKey;
    bool m_cursorsShown = false;
    struct Cursor {
        bool placed = false;
        double key = 0;
    };
    Cursor m_cursors[2];
    int m_activeCursor = 0;
    int m_draggedCursor = -1;
    QCPItemStraightLine* m_cursorLines[2] = {nullptr, nullptr};
    QCPItemText* m_cursorLabels[2] = {nullptr, nullptr};
    ChartMeasurePanel* m_measurePanel = nullptr;
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressPos;
};
