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
inline constexpr int sgAutoScale = 0;       // ManualScaleControlX/Y: range from the data
inline constexpr int sgManualMin = 1;       //   manual minimum, maximum from the data
inline constexpr int sgManualMax = 2;       //   manual maximum, minimum from the data
inline constexpr int sgManualMinAndMax = 3; //   both from ManualMin/ManualMax
inline constexpr int sgVBDateTime = 1;      // DateTimeMode: x = days since 30 Dec 1899
inline constexpr int sgDot = 2;             // GridStyle (0 thin solid, 1 thick solid, 3 dashes)
inline constexpr int sgHorzZooming = 1;     // AllowZooming (0 none)
inline constexpr int sgVertZooming = 2;
inline constexpr int sgHorzPlusVertZooming = 3;
inline constexpr int sgFloatingXY = 5; // CursorMode (0 no cursor prompt)
inline constexpr int sgXValue = 1;     // CursorPromptStyle (0 none)
inline constexpr int sgYValue = 2;
inline constexpr int sgXYValues = 3;

// Colours are 0x00BBGGRR (red in the low byte).
using PEColor = quint32;

// The program's chart: a QCustomPlot drawn from properties and data, with zoom, hot spots,
// a cursor prompt and a pop-up menu.
//
// Naming: the getter of a property is its name (`Points()`, `YData(s, p)`), the setter is
// `set` + the name (`setPoints(n)`, `setYData(s, p, v)`); indexed properties take their
// indices first and the value last. `ZoomMode` is read only.
//
// Drawing: writing a property or data changes nothing on screen until redraw() (rebuild the
// plot from the properties and the data, queue a repaint; a zoomed view stays zoomed),
// resetView() (the same, leaving a zoomed view) or undoZoom() (leave a zoomed view for the
// ranges of the last rebuild, without reading new data). So a caller writes a whole sample or a
// whole setup and pays for one drawing. Interaction properties (zooming, cursor prompt, hot
// spots, pop-up) act at once, since they draw nothing.
//
// Mouse: a left-button drag over the plot area zooms into the dragged rectangle (both
// directions for AllowZooming 3, x only for 1, y only for 2); ZoomMode is true until the zoom
// is left. A left click fires OnClick, and with AllowDataHotSpots also OnDataHotSpot when a
// drawn point lies within 8 pixels (DblClick true for a double click). The cursor prompt
// appears over the plot area when CursorMode is 5 (sgFloatingXY), MouseCursorControl is true
// and CursorPromptStyle is 1 (x), 2 (y) or 3 (both) of the drawn point nearest the mouse;
// with CursorPromptTracking it follows the mouse, else it stays in the plot area's corner.
// A right click opens the pop-up menu (Undo Zoom) when AllowPopup is true.
//
// Data:
// - Points are numbered 0 .. Points - 1. Writes to a point outside that range are ignored and
//   such points read as 0. Lowering Points drops the data of the points beyond it; raising it
//   keeps all data and adds points that hold no data yet.
// - A point is drawn once its y was written. A y equal to NullDataValueY (compared in single
//   precision), or not a number, is drawn as a gap. NullDataValueY starts at infinity: no
//   written number is a null value.
// - YData[s, -1] (any value) resets subset s: all its points hold no data again (they read
//   as 0 and are not drawn).
// - Data may be written to subsets 0 .. 255; only subsets below Subsets are drawn.
// - With UsingXDataII the x of a point is XDataII, else its number (index + 1). Under
//   DateTimeMode 1 x counts days since 30 Dec 1899 (fraction = time of day) and the axis shows
//   dates and times in the user's formats.
// - Lines join the points in x order. A redraw costs O(new points) when only points after the
//   last drawn one were written, else it rebuilds the drawing from the data. Where a pixel
//   column holds many points it shows their first, last, smallest and largest value.
// - Automatic scales (sgAutoScale) span the drawn data, y with 5 % to spare.
//
// Look: SubsetLineTypes and VertLineAnnotationType: 0 solid, 1 dashes, 2 dots, 3 dash-dot,
// 4 dash-dot-dot. LineAnnotationTextSize is a percentage of the chart's text size. A manual
// range of zero span is drawn as that value +- 1 minute (date-time x) or +- 0.5, and the
// properties keep the values as written. Lines are straight segments without antialiasing.
//
// Scales: besides the fixed (manual) scales there is "fit to data": both axes span the drawn
// data (y with 3 % to spare) until the fixed scales are asked for again; new data refits. A
// double click on the plot area fits. A zoom lies over either and Undo Zoom returns to it.
//
// Units: valueUnit() is the unit of the values. The y axis shows it as its caption (unless
// YAxisLabel says otherwise), and the hover readout, the cursors and the statistics write it
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
    int Subsets() const { return m_set.Subsets; }
    void setSubsets(int n);
    int Points() const { return m_set.Points; }
    void setPoints(int n);
    float YData(int subset, int point) const;
    void setYData(int subset, int point, float value);
    double XDataII(int subset, int point) const;
    void setXDataII(int subset, int point, double value);
    bool UsingXDataII() const { return m_set.UsingXDataII; }
    void setUsingXDataII(bool on) { m_set.UsingXDataII = on; }
    double NullDataValueY() const { return m_set.NullDataValueY; }
    void setNullDataValueY(double v) { m_set.NullDataValueY = v; }

    // Axes
    int DateTimeMode() const { return m_set.DateTimeMode; }
    void setDateTimeMode(int mode) { m_set.DateTimeMode = mode; }
    int ManualScaleControlX() const { return m_set.ManualScaleControlX; }
    void setManualScaleControlX(int v) { m_set.ManualScaleControlX = v; }
    int ManualScaleControlY() const { return m_set.ManualScaleControlY; }
    void setManualScaleControlY(int v) { m_set.ManualScaleControlY = v; }
    double ManualMinX() const { return m_set.ManualMinX; }
    void setManualMinX(double v) { m_set.ManualMinX = v; }
    double ManualMaxX() const { return m_set.ManualMaxX; }
    void setManualMaxX(double v) { m_set.ManualMaxX = v; }
    double ManualMinY() const { return m_set.ManualMinY; }
    void setManualMinY(double v) { m_set.ManualMinY = v; }
    double ManualMaxY() const { return m_set.ManualMaxY; }
    void setManualMaxY(double v) { m_set.ManualMaxY = v; }
    QString MainTitle() const { return m_set.MainTitle; }
    void setMainTitle(const QString& t) { m_set.MainTitle = t; }
    QString SubTitle() const { return m_set.SubTitle; }
    void setSubTitle(const QString& t) { m_set.SubTitle = t; }
    QString XAxisLabel() const { return m_set.XAxisLabel; }
    void setXAxisLabel(const QString& t) { m_set.XAxisLabel = t; }
    QString YAxisLabel() const { return m_set.YAxisLabel; }
    void setYAxisLabel(const QString& t) { m_set.YAxisLabel = t; }
    QString SubsetLabels(int subset) const;
    void setSubsetLabels(int subset, const QString& t);

    // Look
    PEColor GraphBackColor() const { return m_set.GraphBackColor; }
    void setGraphBackColor(PEColor c) { m_set.GraphBackColor = c; }
    PEColor DeskColor() const { return m_set.DeskColor; }
    void setDeskColor(PEColor c) { m_set.DeskColor = c; }
    PEColor TextColor() const { return m_set.TextColor; }
    void setTextColor(PEColor c) { m_set.TextColor = c; }
    PEColor SubsetColors(int subset) const;
    void setSubsetColors(int subset, PEColor c);
    int SubsetLineTypes(int subset) const;
    void setSubsetLineTypes(int subset, int type);
    int GridStyle() const { return m_set.GridStyle; }
    void setGridStyle(int s) { m_set.GridStyle = s; }

    // Interaction
    int AllowZooming() const { return m_set.AllowZooming; }
    void setAllowZooming(int z) { m_set.AllowZooming = z; }
    bool ZoomMode() const { return m_zoomed; }
    int CursorMode() const { return m_set.CursorMode; }
    void setCursorMode(int m) { m_set.CursorMode = m; }
    int CursorPromptStyle() const { return m_set.CursorPromptStyle; }
    void setCursorPromptStyle(int s) { m_set.CursorPromptStyle = s; }
    bool MouseCursorControl() const { return m_set.MouseCursorControl; }
    void setMouseCursorControl(bool on) { m_set.MouseCursorControl = on; }
    bool CursorPromptTracking() const { return m_set.CursorPromptTracking; }
    void setCursorPromptTracking(bool on) { m_set.CursorPromptTracking = on; }
    bool AllowDataHotSpots() const { return m_set.AllowDataHotSpots; }
    void setAllowDataHotSpots(bool on) { m_set.AllowDataHotSpots = on; }
    bool AllowPopup() const { return m_set.AllowPopup; }
    void setAllowPopup(bool on) { m_set.AllowPopup = on; }

    // Annotations (index 0 .. kMaxIndexed - 1; a line is drawn once its x was written)
    bool ShowVertLineAnnotations() const { return m_set.ShowVertLineAnnotations; }
    void setShowVertLineAnnotations(bool on) { m_set.ShowVertLineAnnotations = on; }
    double VertLineAnnotation(int i) const;
    void setVertLineAnnotation(int i, double x);
    int VertLineAnnotationType(int i) const;
    void setVertLineAnnotationType(int i, int type);
    PEColor VertLineAnnotationColor(int i) const;
    void setVertLineAnnotationColor(int i, PEColor c);
    QString VertLineAnnotationText(int i) const;
    void setVertLineAnnotationText(int i, const QString& t);
    int LineAnnotationTextSize() const { return m_set.LineAnnotationTextSize; }
    void setLineAnnotationTextSize(int percent) { m_set.LineAnnotationTextSize = percent; }

    // Marks (see above); reset with the subset's data.
    void markOverload(int subset, int point, bool on = true);
    void markGapBefore(int subset, int point, bool on = true);

    // The unit of the values; takes effect on the next redraw.
    QString valueUnit() const { return m_set.ValueUnit; }
    void setValueUnit(const QString& unit) { m_set.ValueUnit = unit; }

    // Scales. fitToData() leaves a zoom and spans the data from now on; useFixedScales() goes
    // back to the manual scales. Both redraw.
    void fitToData();
    void useFixedScales();
    bool fittedToData() const { return m_fitted; }
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

    // The pop-up menu for a right click, or nullptr when AllowPopup is false.
    QMenu* createPopupMenu();

    // Colour conversion for 0x00BBGGRR values.
    static QColor toQColor(PEColor c);
    static PEColor fromQColor(const QColor& c);

    // Inside view for tests and tools: the plot being drawn, and the text of the cursor
    // prompt (empty while hidden).
    QCustomPlot* plot() const { return m_plot; }
    QString cursorPromptText() const;

signals:
    void OnClick(Chart* Sender);
    void OnDataHotSpot(Chart* Sender, bool DblClick, int SubsetIndex, int PointIndex);
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
        int Subsets = 1;
        int Points = 0;
        bool UsingXDataII = false;
        double NullDataValueY = std::numeric_limits<double>::infinity();
        int DateTimeMode = 0;
        int ManualScaleControlX = sgAutoScale;
        int ManualScaleControlY = sgAutoScale;
        double ManualMinX = 0, ManualMaxX = 1, ManualMinY = 0, ManualMaxY = 1;
        QString MainTitle, SubTitle, XAxisLabel, YAxisLabel;
        std::vector<QString> SubsetLabels;
        PEColor GraphBackColor = 0xFFFFFF;
        PEColor DeskColor = 0xC0C0C0;
        PEColor TextColor = 0x000000;
        std::vector<PEColor> SubsetColors;
        std::vector<int> SubsetLineTypes;
        int GridStyle = 0;
        int AllowZooming = 0;
        int CursorMode = 0;
        int CursorPromptStyle = 0;
        bool MouseCursorControl = false, CursorPromptTracking = false;
        bool AllowDataHotSpots = false, AllowPopup = true;
        bool ShowVertLineAnnotations = false;
        std::vector<VertLine> VertLines;
        int LineAnnotationTextSize = 100;
        QString ValueUnit;
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
