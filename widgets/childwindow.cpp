#include "childwindow.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>

namespace {

Qt::WindowFlags flagsFor(ChildWindowStyle style) {
    switch (style) {
    case ChildWindowStyle::FixedSingle:
        return Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    case ChildWindowStyle::Captionless:
        return Qt::SubWindow | Qt::FramelessWindowHint;
    case ChildWindowStyle::Sizeable:
        break;
    }
    return Qt::SubWindow;
}

// A captionless child window gets its title bar back while it is minimised, so that it can be
// seen and restored; restored, it loses it again.
class MinimisedCaption : public QObject {
public:
    explicit MinimisedCaption(QMdiSubWindow* sub) : QObject(sub), m_sub(sub) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_sub && event->type() == QEvent::WindowStateChange && !m_changing) {
            const bool minimised = m_sub->isMinimized();
            const bool captionless = m_sub->windowFlags() & Qt::FramelessWindowHint;
            if (minimised == captionless) {
                m_changing = true;
                const bool wasVisible = m_sub->isVisible();
                m_sub->setWindowFlags(minimised ? flagsFor(ChildWindowStyle::FixedSingle)
                                                : flagsFor(ChildWindowStyle::Captionless));
                if (wasVisible)
                    m_sub->show();
                m_changing = false;
            }
        }
        return false;
    }

private:
    QMdiSubWindow* m_sub;
    bool m_changing = false;
};

} // namespace

QMdiSubWindow* addChildWindow(QMdiArea* area, QWidget* content, ChildWindowStyle style) {
    const Qt::WindowFlags flags = flagsFor(style);
    const QSize client = content->size();
    auto* sub = new QMdiSubWindow(nullptr, flags);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWidget(content);
    sub->setWindowTitle(content->windowTitle());
    area->addSubWindow(sub, flags);

    // The window around the content at its present size.
    const QSize minimum = content->minimumSize();
    content->setFixedSize(client);
    sub->adjustSize();
    if (style == ChildWindowStyle::Sizeable) {
        const QSize outer = sub->size();
        content->setMinimumSize(minimum);
        content->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        // The frame never gets smaller than the content's minimum (its layout's, when it sets
        // none): the area's Tile and Cascade and the user's dragging all stop there.
        sub->setMinimumSize(sub->minimumSizeHint());
        sub->resize(outer);
    } else {
        sub->setFixedSize(sub->size());
    }
    if (style == ChildWindowStyle::Captionless)
        sub->installEventFilter(new MinimisedCaption(sub));
    sub->show();
    return sub;
}

QMdiSubWindow* childWindowOf(const QWidget* widget) {
    for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w))
            return sub;
    return nullptr;
}

void closeChildWindow(QWidget* content) {
    if (QMdiSubWindow* sub = childWindowOf(content))
        sub->close();
    else
        content->window()->close();
}

void minimiseChildWindow(QWidget* content) {
    if (QMdiSubWindow* sub = childWindowOf(content))
        sub->showMinimized();
    else
        content->window()->showMinimized();
}
