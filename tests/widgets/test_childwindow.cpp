#include "childwindow.h"
#include "gaugewindow.h"
#include "lcdwindow.h"
#include "statisticswindow.h"

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

namespace {

void sendMouse(QWidget* target, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(target->mapFromGlobal(global)), QPointF(global), button,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Presses the button on the widget, moves the mouse by the offset in two steps, releases.
void drag(QWidget* widget, Qt::MouseButton button, QPoint offset) {
    const QPoint start = widget->mapToGlobal(QPoint(5, 5));
    sendMouse(widget, QEvent::MouseButtonPress, start, button, button);
    sendMouse(widget, QEvent::MouseMove, start + offset / 2, Qt::NoButton, button);
    sendMouse(widget, QEvent::MouseMove, start + offset, Qt::NoButton, button);
    sendMouse(widget, QEvent::MouseButtonRelease, start + offset, button, Qt::NoButton);
}

} // namespace

class TestChildWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        area = new QMdiArea;
        area->resize(800, 700);
        area->show();
        QVERIFY(QTest::qWaitForWindowExposed(area));
    }
    void cleanup() { delete area; }

    void styles_data();
    void styles();
    void closeDeletesWindowAndContent();
    void leftDragOnFaceMovesCaptionlessWindow_data();
    void leftDragOnFaceMovesCaptionlessWindow();
    void otherPressesDoNotMove();
    void gaugeButtonsMinimiseAndClose();

private:
    QMdiArea* area = nullptr;
};

void TestChildWindow::styles_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("view");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<bool>("caption");
    QTest::addColumn<bool>("fixed");
    // The status window is as wide as its unit boxes need in the font at hand.
    const QSize status = StatisticsWindow().size();
    QTest::newRow("LCD") << int(ChildWindowStyle::FixedSingle) << "LCD" << QSize(280, 179) << true
                         << true;
    QTest::newRow("Status") << int(ChildWindowStyle::Captionless) << "Status" << status << false
                            << true;
    QTest::newRow("Analog") << int(ChildWindowStyle::Captionless) << "Analog" << QSize(289, 184)
                            << false << true;
    QTest::newRow("sizeable") << int(ChildWindowStyle::Sizeable) << "Status" << status << true
                              << false;
}

void TestChildWindow::styles() {
    QFETCH(int, style);
    QFETCH(QString, view);
    QFETCH(QSize, client);
    QFETCH(bool, caption);
    QFETCH(bool, fixed);
    QWidget* content = view == u"LCD"      ? static_cast<QWidget*>(new LcdWindow)
                       : view == u"Status" ? static_cast<QWidget*>(new StatisticsWindow)
                                           : new GaugeWindow;
    QMdiSubWindow* sub = addChildWindow(area, content, ChildWindowStyle(style));
    QCoreApplication::processEvents();
    QCOMPARE(sub->windowTitle(), view);
    QCOMPARE(content->size(), client);
    QVERIFY(sub->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(childWindowOf(content), sub);
    const Qt::WindowFlags flags = sub->windowFlags();
    QCOMPARE(!(flags & Qt::FramelessWindowHint), caption);
    if (!caption)
        QCOMPARE(sub->size(), client); // nothing around the content
    if (style == int(ChildWindowStyle::FixedSingle)) {
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    }
    QCOMPARE(sub->minimumSize() == sub->maximumSize(), fixed);

    // Minimised and restored, the client area is the same again.
    sub->showMinimized();
    QCoreApplication::processEvents();
    QVERIFY(sub->isMinimized());
    QVERIFY(!(sub->windowFlags() & Qt::FramelessWindowHint)); // the minimised one has a caption
    sub->showNormal();
    QCoreApplication::processEvents();
    QCOMPARE(content->size(), client);
    QCOMPARE(sub->windowFlags() & Qt::FramelessWindowHint, flags & Qt::FramelessWindowHint);
    QVERIFY(content->isVisible());
}

void TestChildWindow::closeDeletesWindowAndContent() {
    QPointer<QWidget> content = new LcdWindow;
    QPointer<QMdiSubWindow> sub = addChildWindow(area, content, ChildWindowStyle::FixedSingle);
    sub->close();
    QTRY_VERIFY(!sub);
    QVERIFY(!content);
    QVERIFY(area->subWindowList().isEmpty());
}

void TestChildWindow::leftDragOnFaceMovesCaptionlessWindow_data() {
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("part");
    QTest::newRow("status face") << "Status"
                                 << "Panel1";
    QTest::newRow("status name label") << "Status"
                                       << "Label3";
    QTest::newRow("status value box") << "Status"
                                      << "lblMAX";
    QTest::newRow("status unit label") << "Status"
                                       << "lblRange4";
    QTest::newRow("gauge picture") << "Analog"
                                   << "Image1";
    QTest::newRow("gauge scale label") << "Analog"
                                       << "Label3";
    QTest::newRow("gauge sign") << "Analog"
                                << "lblPlus";
}

void TestChildWindow::leftDragOnFaceMovesCaptionlessWindow() {
    QFETCH(QString, view);
    QFETCH(QString, part);
    QWidget* content =
        view == u"Status" ? static_cast<QWidget*>(new StatisticsWindow) : new GaugeWindow;
    // Another window on top, to see the dragged one come to the front.
    QMdiSubWindow* sub = addChildWindow(area, content, ChildWindowStyle::Captionless);
    sub->move(100, 50);
    QMdiSubWindow* other = addChildWindow(area, new LcdWindow, ChildWindowStyle::FixedSingle);
    area->setActiveSubWindow(other);
    QWidget* grabbed = content->findChild<QWidget*>(part);
    QVERIFY(grabbed);
    drag(grabbed, Qt::LeftButton, QPoint(40, 30));
    QCOMPARE(sub->pos(), QPoint(140, 80));
    QCOMPARE(area->activeSubWindow(), sub);
    // The move ended with the release.
    const QPoint global = grabbed->mapToGlobal(QPoint(9, 9));
    sendMouse(grabbed, QEvent::MouseMove, global + QPoint(50, 50), Qt::NoButton, Qt::NoButton);
    QCOMPARE(sub->pos(), QPoint(140, 80));
}

void TestChildWindow::otherPressesDoNotMove() {
    auto* status = new StatisticsWindow;
    QMdiSubWindow* sub = addChildWindow(area, status, ChildWindowStyle::Captionless);
    sub->move(100, 50);
    drag(status->findChild<QWidget*>("lblMAX"), Qt::RightButton, QPoint(40, 30));
    drag(status->findChild<QWidget*>("Panel1"), Qt::MiddleButton, QPoint(40, 30));
    QCOMPARE(sub->pos(), QPoint(100, 50));
    // A press on a button clicks it and moves nothing.
    int resets = 0;
    status->onReset = [&resets] { ++resets; };
    auto* reset = status->findChild<QPushButton*>("resetButton");
    QTest::mouseClick(reset, Qt::LeftButton);
    QCOMPARE(resets, 1);
    drag(reset, Qt::LeftButton, QPoint(40, 30));
    QCOMPARE(sub->pos(), QPoint(100, 50));
}

void TestChildWindow::gaugeButtonsMinimiseAndClose() {
    auto* gauge = new GaugeWindow;
    QPointer<QMdiSubWindow> sub = addChildWindow(area, gauge, ChildWindowStyle::Captionless);
    QTest::mouseClick(gauge->findChild<QPushButton*>("minimizeButton"), Qt::LeftButton);
    QVERIFY(sub->isMinimized());
    sub->showNormal();
    QTest::mouseClick(gauge->findChild<QPushButton*>("closeButton"), Qt::LeftButton);
    QTRY_VERIFY(!sub);
}

QTEST_MAIN(TestChildWindow)
#include "test_childwindow.moc"
