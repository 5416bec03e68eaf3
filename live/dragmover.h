#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QMouseEvent;
class QWidget;

// Moves a captionless child window by a left-button drag on its face, as a drag on its title
// bar would: watches the content and every child that is not a button. Other buttons do
// nothing.
class DragMover : public QObject {
    Q_OBJECT
public:
    // Watches the content and its present children; owned by the content.
    static DragMover* attach(QWidget* content);

    // Starts watching another widget (for children added later).
    void watch(QWidget* widget);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DragMover(QWidget* content);
    QWidget* windowToMove() const;

    QWidget* m_content;
    QPointer<QWidget> m_moving;
    QPoint m_pressGlobal;
    QPoint m_startPos;
};
