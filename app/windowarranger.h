#pragma once

#include <QObject>

class QMdiArea;
class QMenu;
class QAction;
class QMdiSubWindow;
class QSize;

// How the child windows of the main window's area are laid out: Tile, Cascade and Arrange
// Icons, and the Window menu's list of open windows (the active one ticked). The menu's own
// commands stay first; the list is built anew each time the menu opens.
class WindowArranger : public QObject {
    Q_OBJECT
public:
    // `windowMenu` gets Tile, Cascade and Arrange Icons and, when it opens, the window list.
    WindowArranger(QMdiArea* area, QMenu* windowMenu, QObject* parent = nullptr);

    // The smallest a sizeable window is made by Tile and Cascade: a chart and a table stay
    // readable at this size (a window's own minimum, if larger, wins).
    static constexpr int MinimumReadableWidth = 360;
    static constexpr int MinimumReadableHeight = 240;
    static QSize readableSize(const QMdiSubWindow* window);

    // The visible child windows side by side: those of a fixed size (the live views) one
    // below the other at the left edge, the sizeable ones (charts, tables) in a grid over the
    // rest of the area.
    void tile();
    // The visible child windows overlapping, each a title bar lower and further right than the
    // one before, at their own size within the area.
    void cascade();
    // Minimised windows in a row along the bottom edge.
    void arrangeIcons();

    QAction* tileAction() const { return m_tile; }
    QAction* cascadeAction() const { return m_cascade; }
    QAction* arrangeIconsAction() const { return m_arrangeIcons; }

private:
    void updateWindowList();

    QMdiArea* m_area;
    QMenu* m_menu;
    QAction* m_tile;
    QAction* m_cascade;
    QAction* m_close = nullptr;
    QAction* m_arrangeIcons;
};
