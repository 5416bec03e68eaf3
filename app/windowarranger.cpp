#include "windowarranger.h"

#include "errorboundary.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

WindowArranger::WindowArranger(QMdiArea* area, QMenu* windowMenu, QObject* parent)
    : QObject(parent), m_area(area), m_menu(windowMenu) {
    m_tile = m_menu->addAction(QStringLiteral("&Tile"));
    m_tile->setObjectName(QStringLiteral("tileAction"));
    m_cascade = m_menu->addAction(QStringLiteral("&Cascade"));
    m_cascade->setObjectName(QStringLiteral("cascadeAction"));
    m_arrangeIcons = m_menu->addAction(QStringLiteral("&ArrangeIcons"));
    m_arrangeIcons->setObjectName(QStringLiteral("arrangeIconsAction"));
    connect(m_tile, &QAction::triggered, this, ErrorBoundary::Guard([this] { tile(); }));
    connect(m_cascade, &QAction::triggered, this, ErrorBoundary::Guard([this] { cascade(); }));
    connect(m_arrangeIcons, &QAction::triggered, this,
            ErrorBoundary::Guard([this] { arrangeIcons(); }));
    connect(m_menu, &QMenu::aboutToShow, this, &WindowArranger::updateWindowList);
}

void WindowArranger::tile() {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : m_area->subWindowList()) {
        if (w->isVisible() && !w->isMinimized())
            windows << w;
    }
    if (windows.isEmpty())
        return;
    const QRect area = m_area->viewport()->rect();
    const int h = area.height() / int(windows.size());
    int y = 0;
    for (QMdiSubWindow* w : windows) {
        if (w->isMaximized())
            w->showNormal();
        w->setGeometry(0, y, area.width(), h);
        y += h;
    }
}

void WindowArranger::cascade() {
    m_area->cascadeSubWindows();
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
        if (a != m_tile && a != m_cascade && a != m_arrangeIcons) {
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
