#pragma once

#include "chartseries.h"

#include <QColor>
#include <QList>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>
#include <limits>
#include <memory>
#include <vector>

class QCustomPlot;
class QCPAbstractItem;
class QCPAxisTicker;
class QCPAxisTickerDateTime;
class DecimatedGraph;
class QCPTextElement;
class QLabel;
class QMenu;
class QPrinter;
class QRubberBand;

// Values of the chart's properties and commands.
inline constexpr int sgAutoScale = 0;       // ManualScaleControlX/Y: range from the data
inline constexpr int sgManualMin = 1;       //   manual minimum, maximum from the data
inline constexpr int sgManualMax = 2;       //   manual maximum, minimum from the data
inline constexpr int sgManualMinAndMax = 3; //   both from ManualMin/ManualMax
inline constexpr int sgVBDateTime = 1;      // DateTimeMode: x = days since 30 Dec 1899
inline constexpr int sgDot = 2;             // GridStyle (0 thin solid, 1 thick solid, 3 dashes)
inline constexpr int sgCoarseLines = 0;     // CurveGranularity
inline constexpr int sgHorzZooming = 1;     // AllowZooming (0 none)
inline constexpr int sgVertZooming = 2;
inline constexpr int sgHorzPlusVertZooming = 3;
inline constexpr int sgFloatingXY = 5; // CursorMode (0 no cursor prompt)
inline constexpr int sgXValue = 1;     // CursorPromptStyle (0 none)
inline constexpr int sgYValue = 2;
inline constexpr int sgXYValues = 3;
inline constexpr int sgReinitAndReset = 0; // PEactions codes
inline constexpr int sgResetImage = 2;
inline constexpr int sgInvalidateImage = 3;
inline constexpr int sgPrintDialog = 8;
inline constexpr int sgUndoZoom = 19;

// Colours are 0x00BBGGRR (red in the low byte).
using PEColor = quint32;

// The program's chart control: a QCustomPlot driven through properties, commands and two
// events.
//
// Naming: every property keeps its name. The getter is the name itself (`Points()`,
// `YData(s, p)`), the setter is `set` + the name (`setPoints(n)`, `setYData(s, p, v)`);
// indexed properties take their indices first and the value last. Events are Qt signals
// named after the event. `ZoomMode` is read only.
//
// Redraw protocol: writing a property changes nothing on screen. PEactions 2 (`sgResetImage`)
// rebuilds the plot from the properties and the data, PEactions 3 (`sgInvalidateImage`)
// queues a repaint, PEactions 0 (`sgReinitAndReset`) does both and also leaves a zoomed view,
// PEactions 19 (`sgUndoZoom`) leaves a zoomed view and queues a repaint, PEactions 8
// (`sgPrintDialog`) shows the print dialog and prints. Other codes do nothing. PEactions()
// reads the last code written.
// Interaction properties (zooming, cursor prompt, hot spots, pop-up) act at once, since they
// draw nothing.
//
// Mouse: a left-button drag over the plot area zooms into the dragged rectangle (both
// directions for AllowZooming 3, x only for 1, y only for 2); ZoomMode is true until the zoom
// is left. A left click fires OnClick, and with AllowDataHotSpots also OnDataHotSpot when a
// drawn point lies within 8 pixels (DblClick true for a double click). The cursor prompt
// appears over the plot area when CursorMode is 5 (sgFloatingXY), MouseCursorControl is true
// and CursorPromptStyle is 1 (x), 2 (y) or 3 (both) of the drawn point nearest the mouse;
// with CursorPromptTracking it follows the mouse, else it stays in the plot area's corner.
// A right click opens the pop-up menu when AllowPopup is true.
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
// properties keep the values as written. CurveGranularity, AllowSpline,
// AllowPointsPlusSpline, PrepareImages, NoHelp, ModalDialogs, AllowCustomization,
// AllowExporting and AllowMaximization are kept and read back; the chart always draws
// straight segments without antialiasing, has no help and its dialogs are modal.
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
    int CurveGranularity() const { return m_set.CurveGranularity; }
    void setCurveGranularity(int g) { m_set.CurveGranularity = g; }
    bool AllowSpline() const { return m_set.AllowSpline; }
    void setAllowSpline(bool on) { m_set.AllowSpline = on; }
    bool AllowPointsPlusSpline() const { return m_set.AllowPointsPlusSpline; }
    void setAllowPointsPlusSpline(bool on) { m_set.AllowPointsPlusSpline = on; }
    bool PrepareImages() const { return m_set.PrepareImages; }
    void setPrepareImages(bool on) { m_set.PrepareImages = on; }

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
    bool NoHelp() const { return m_set.NoHelp; }
    void setNoHelp(bool on) { m_set.NoHelp = on; }
    bool ModalDialogs() const { return m_set.ModalDialogs; }
    void setModalDialogs(bool on) { m_set.ModalDialogs = on; }
    bool AllowCustomization() const { return m_set.AllowCustomization; }
    void setAllowCustomization(bool on) { m_set.AllowCustomization = on; }
    bool AllowExporting() const { return m_set.AllowExporting; }
    void setAllowExporting(bool on) { m_set.AllowExporting = on; }
    bool AllowMaximization() const { return m_set.AllowMaximization; }
    void setAllowMaximization(bool on) { m_set.AllowMaximization = on; }

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

    // Commands
    int PEnarg1() const { return m_enarg1; }
    void setPEnarg1(int v) { m_enarg1 = v; }
    int PEnarg2() const { return m_enarg2; }
    void setPEnarg2(int v) { m_enarg2 = v; }
    int PEactions() const { return m_lastAction; }
    // Performs the command. Code 8 throws ChartError when the printer cannot be started.
    void setPEactions(int code);

    // Printing. The dialog step of PEactions 8 goes through a hook so that tests can answer
    // it; it returns true to print. Without a hook the system's print dialog is shown.
    using PrintDialogHook = std::function<bool(QPrinter&)>;
    // Installs a hook (an empty one restores the dialog) and returns the previous one.
    static PrintDialogHook setPrintDialogHook(PrintDialogHook hook);
    // The printer PEactions 8 prints on: the program's one printer (the one chosen in its
    // printer setup), or with nullptr a printer of the chart's own for each print. The printer
    // must outlive every print; the chart does not own it.
    static void setSharedPrinter(QPrinter* printer);
    // The print dialog step on its own: the hook's answer, or the system's print dialog.
    // Other printouts of the program ask through here too, so that one hook answers them.
    static bool ShowPrintDialog(QPrinter& printer, QWidget* parent,
                                const QString& title = QString());
    // Draws the chart, with the colours and texts its properties hold now and the data of the
    // last rebuild, as one page on a printer that has been set up. Size: PEnarg1 x PEnarg2
    // millimetres, or with both 0 the page width at the chart's aspect ratio (within the
    // page). Sets the printer's resolution to 96 dpi so that text keeps its size. Throws
    // ChartError when the printer cannot be started.
    void printChart(QPrinter& printer);

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
        int CurveGranularity = 0;
        bool AllowSpline = false, AllowPointsPlusSpline = false, PrepareImages = false;
        int AllowZooming = 0;
        int CursorMode = 0;
        int CursorPromptStyle = 0;
        bool MouseCursorControl = false, CursorPromptTracking = false;
        bool AllowDataHotSpots = false, AllowPopup = true, NoHelp = false, ModalDialogs = false;
        bool AllowCustomization = true, AllowExporting = true, AllowMaximization = true;
        bool ShowVertLineAnnotations = false;
        std::vector<VertLine> VertLines;
        int LineAnnotationTextSize = 100;
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
    void leaveZoom();
    void updateTickFormat();
    void printWithDialog();

    void mousePressed(QMouseEvent* e);
    void mouseMoved(QMouseEvent* e);
    void mouseReleased(QMouseEvent* e);
    void mouseDoubleClicked(QMouseEvent* e);
    void zoomTo(QRect band);
    QRect bandRect(QPoint to) const;
    void updateCursorPrompt(QPoint pos);
    bool hotSpotAt(QPoint pos, int& subset, int& point) const;

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

    int m_enarg1 = 0, m_enarg2 = 0, m_lastAction = 0;
    bool m_zoomed = false;
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressPos;

    static PrintDialogHook sPrintDialogHook;
    static QPrinter* sSharedPrinter;
};
