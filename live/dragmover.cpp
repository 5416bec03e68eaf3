#include "dragmover.h"

#include "childwindow.h"

#include <QAbstractButton>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QWidget>

DragMover::DragMover(QWidget* content) : QObject(content), m_content(content) {}

DragMover* DragMover::attach(QWidget* content) {
    auto* mover = new DragMover(content);
    mover->watch(content);
    for (QWidget* child : content->findChildren<QWidget*>())
        mover->watch(child);
    return mover;
}

void DragMover::watch(QWidget* widget) {
    // Buttons keep their clicks.
    if (qobject_cast<QAbstractButton*>(widget))
        return;
    widget->installEventFilter(this);
}

QWidget* DragMover::windowToMove() const {
    if (QMdiSubWindow* sub = childWindowOf(m_content))
        return sub;
    return m_content->window();
}

bool DragMover::eventFilter(QObject* watched, QEvent* event) {
    Q_UNUSED(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_moving = windowToMove();
        m_pressGlobal = mouse->globalPosition().toPoint();
        m_startPos = m_moving->pos();
        if (auto* sub = qobject_cast<QMdiSubWindow*>(m_moving.data()); sub && sub->mdiArea())
            sub->mdiArea()->setActiveSubWindow(sub);
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_moving || !(mouse->buttons() & Qt::LeftButton))
            return false;
        m_moving->move(m_startPos + mouse->globalPosition().toPoint() - m_pressGlobal);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_moving || mouse->button() != Qt::LeftButton)
            return false;
        m_moving = nullptr;
        return true;
    }
    case QEvent::MouseButtonDblClick:
        // A double click on a title bar would maximise; the face has nothing to do.
        return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    default:
        return false;
    }
}
