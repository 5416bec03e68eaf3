#include "userinputblocker.h"

#include <QApplication>
#include <QEvent>

namespace {
bool isUserInput(const QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}
} // namespace

UserInputBlocker::UserInputBlocker(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

UserInputBlocker::~UserInputBlocker() {
    qApp->removeEventFilter(this);
}

bool UserInputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (!isUserInput(event) || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    // A close of a child widget is the program's own doing; only windows are asked by the user.
    if (event->type() == QEvent::Close && !widget->isWindow())
        return false;
    const QWidget* window = widget->window();
    if (const QWidget* modal = QApplication::activeModalWidget();
        modal && (window == modal || modal->isAncestorOf(widget)))
        return false;
    if (m_allowed && (window == m_allowed || m_allowed->isAncestorOf(widget)))
        return false;
    event->ignore();
    return true;
}
