#pragma once

#include <QObject>

class QMdiArea;
class QMenu;
class QAction;

// How the child windows of the main window's area are laid out: Tile, Cascade and Arrange
// Icons, and the Window menu's list of open windows (the active one ticked). The menu's own
// commands stay first; the list is built anew each time the menu opens.
class WindowArranger : public QObject {
    Q_OBJECT
public:
    // `windowMenu` gets Tile, Cascade and Arrange Icons and, when it opens, the window list.
    WindowArranger(QMdiArea* area, QMenu* windowMenu, QObject* parent = nullptr);

    // The visible child windows one above the other, each the full width.
    void tile();
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
    QAction* m_arrangeIcons;
};
