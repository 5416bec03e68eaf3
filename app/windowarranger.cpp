#include "windowarranger.h"

#include "errorboundary.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStyle>

#include <algorithm>

WindowArranger::WindowArranger(QMdiArea* area, QMenu* windowMenu, QObject* parent)
    : QObject(parent), m_area(area), m_menu(windowMenu) {
    m_tile = m_menu->addAction(QStringLiteral("&Tile"));
    m_tile->setObjectName(QStringLiteral("tileAction"));
    m_cascade = m_menu->addAction(QStringLiteral("&Cascade"));
    m_cascade->setObjectName(QStringLiteral("cascadeAction"));
    m_arrangeIcons = m_menu->addAction(QStringLiteral("&Arrange Icons"));
    m_arrangeIcons->setObjectName(QStringLiteral("arrangeIconsAction"));
    // Closes the active window as its own close button would: the window may still refuse.
    // No key of its own: each window's system menu already binds the platform's close keys
    // (Ctrl+F4, Ctrl+W), and a key bound twice would do nothing.
    m_close = m_menu->addAction(QStringLiteral("Cl&ose"));
    m_close->setObjectName(QStringLiteral("closeWindowAction"));
    connect(m_close, &QAction::triggered, this,
            ErrorBoundary::guard([this] { m_area->closeActiveSubWindow(); }));
    connect(m_tile, &QAction::triggered, this, ErrorBoundary::guard([this] { tile(); }));
    connect(m_cascade, &QAction::triggered, this, ErrorBoundary::guard([this] { cascade(); }));
    connect(m_arrangeIcons, &QAction::triggered, this,
            ErrorBoundary::guard([this] { arrangeIcons(); }));
    connect(m_menu, &QMenu::aboutToShow, this, &WindowArranger::updateWindowList);
}

namespace {

bool fixedSize(const QMdiSubWindow* w) {
    return w->minimumSize() == w->maximumSize();
}

// The windows Tile and Cascade lay out: the visible ones that are not icons, in the area's
// order, brought back from maximised.
QList<QMdiSubWindow*> windowsToArrange(QMdiArea* area) {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : area->subWindowList()) {
        if (w->isVisible() && !w->isMinimized())
            windows << w;
    }
    for (QMdiSubWindow* w : windows) {
        if (w->isMaximized())
            w->showNormal();
    }
    return windows;
}

} // namespace

QSize WindowArranger::readableSize(const QMdiSubWindow* window) {
    return window->minimumSize().expandedTo(QSize(MinimumReadableWidth, MinimumReadableHeight));
}

void WindowArranger::tile() {
    const QList<QMdiSubWindow*> windows = windowsToArrange(m_area);
    if (windows.isEmpty())
        return;
    const QRect area = m_area->viewport()->rect();
    // Windows of a fixed size (the live views) keep it, one below the other at the left edge,
    // in a further column where the first is full.
    QList<QMdiSubWindow*> sizeable;
    int x = 0, y = 0, columnWidth = 0;
    for (QMdiSubWindow* w : windows) {
        if (!fixedSize(w)) {
            sizeable << w;
            continue;
        }
        if (y > 0 && y + w->height() > area.height()) {
            x += columnWidth;
            y = 0;
            columnWidth = 0;
        }
        w->move(x, y);
        y += w->height();
        columnWidth = std::max(columnWidth, w->width());
    }
    if (sizeable.isEmpty())
        return;
    // The others share the rest in a grid of near-square cells, as many columns as rows or one
    // more; a cell is never smaller than a window stays readable in (cells then overlap).
    QRect rest = area.adjusted(x + columnWidth, 0, 0, 0);
    if (rest.width() < MinimumReadableWidth)
        rest = area;
    const int n = int(sizeable.size());
    int columns = 1;
    while (columns * columns < n)
        ++columns;
    const int rows = (n + columns - 1) / columns;
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = sizeable[i];
        const int row = i / columns;
        const int column = i % columns;
        // The last row's windows share its whole width.
        const int inRow = row == rows - 1 ? n - row * columns : columns;
        const int cellWidth = rest.width() / inRow;
        const int cellHeight = rest.height() / rows;
        const QSize size = QSize(cellWidth, cellHeight).expandedTo(readableSize(w));
        const int left = std::min(rest.left() + column * cellWidth, area.right() + 1 - size.width());
        const int top = std::min(rest.top() + row * cellHeight, area.bottom() + 1 - size.height());
        w->setGeometry(QRect(QPoint(std::max(left, 0), std::max(top, 0)), size));
    }
}

void WindowArranger::cascade() {
    // Each window keeps its size as far as the area allows, a title bar's height down and
    // right of the one before; none is squeezed below its readable size.
    const QList<QMdiSubWindow*> windows = windowsToArrange(m_area);
    const QRect area = m_area->viewport()->rect();
    const int step = std::max(m_area->style()->pixelMetric(QStyle::PM_TitleBarHeight), 16);
    int offset = 0;
    for (QMdiSubWindow* w : windows) {
        if (offset + readableSize(w).height() > area.height() ||
            offset + readableSize(w).width() > area.width())
            offset = 0;
        QSize size = w->size();
        // A sizeable window gets at least two thirds of the area (Tile may have left it small).
        if (!fixedSize(w))
            size = size.expandedTo(area.size() * 2 / 3)
                       .boundedTo(QSize(area.width() - offset, area.height() - offset))
                       .expandedTo(readableSize(w));
        w->setGeometry(QRect(QPoint(offset, offset), size));
        w->raise();
        offset += step;
    }
}

void WindowArranger::arrangeIcons() {
    const QRect area = m_area->viewport()->rect();
    int x = 0;
    for (QMdiSubWindow* w : m_area->subWindowList()) {
        if (!w->isMinimized())
            continue;
        w->move(x, area.height() - w->height());
        x += w->width();
    }
}

void WindowArranger::updateWindowList() {
    const auto actions = m_menu->actions();
    for (QAction* a : actions) {
        if (a != m_tile && a != m_cascade && a != m_arrangeIcons && a != m_close) {
            m_menu->removeAction(a);
            a->deleteLater();
        }
    }
    const auto windows = m_area->subWindowList();
    if (windows.isEmpty())
        return;
    m_menu->addSeparator();
    int n = 1;
    for (QMdiSubWindow* w : windows) {
        QAction* a = m_menu->addAction(QStringLiteral("&%1 %2").arg(n++).arg(w->windowTitle()));
        a->setCheckable(true);
        a->setChecked(w == m_area->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] {
            w->showNormal();
            m_area->setActiveSubWindow(w);
        });
    }
}
