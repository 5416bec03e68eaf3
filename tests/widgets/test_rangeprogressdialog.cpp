// The range-and-progress dialog: hidden controls shown one by one, modal answers, and a
// progress window whose Cancel only records the answer.

#include "rangeprogressdialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

class TestRangeProgressDialog : public QObject {
    Q_OBJECT
private slots:
    void layoutAndControls();
    void controlsShowOneByOne();
    void modalOk();
    void modalCancel();
    void progressCancelOnlyRecords();

private:
    static QList<QWidget*> topControls(RangeProgressDialog& s) {
        return {s.GroupBox1, s.BitBtn1, s.BitBtn2,          s.Progress1,
                s.SText1,    s.SText2,  s.lblBytesReceived, s.lblTotalBytes};
    }
};

void TestRangeProgressDialog::layoutAndControls() {
    RangeProgressDialog s;
    QCOMPARE(s.windowTitle(), QStringLiteral("Print Range"));
    QCOMPARE(s.size(), QSize(337, 134));
    QVERIFY(s.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(s.windowFlags() & Qt::WindowSystemMenuHint);
    QVERIFY(!(s.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(s.windowFlags() & Qt::WindowMaximizeButtonHint));
    for (QWidget* w : topControls(s))
        QVERIFY2(w->isHidden(), qPrintable(w->metaObject()->className()));
    // The group's children are not hidden themselves: they show with the group.
    for (QWidget* w : std::initializer_list<QWidget*>{s.radAll, s.radNo, s.Label1, s.edtSelFrom,
                                                      s.Label2, s.edtSelTo})
        QVERIFY(!w->isHidden() && w->parentWidget() == s.GroupBox1);
    QCOMPARE(s.radAll->text(), QStringLiteral("&All"));
    QVERIFY(s.radAll->isChecked());
    QCOMPARE(s.radNo->text(), QStringLiteral("&Select"));
    QCOMPARE(s.Label1->text(), QStringLiteral("&from"));
    QCOMPARE(s.Label2->text(), QStringLiteral("&to"));
    QCOMPARE(s.SText1->text(), QStringLiteral("bytes received"));
    QCOMPARE(s.SText2->text(), QStringLiteral("total bytes"));
    QCOMPARE(s.Progress1->minimum(), 0);
    QCOMPARE(s.Progress1->maximum(), 100);
    QVERIFY(s.lblBytesReceived->text().isEmpty());
    QVERIFY(s.edtSelFrom->text().isEmpty());
}

void TestRangeProgressDialog::controlsShowOneByOne() {
    RangeProgressDialog s;
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
    const QList<QWidget*> controls = topControls(s);
    for (QWidget* shown : controls) {
        shown->show();
        for (QWidget* w : controls)
            QCOMPARE(w->isVisible(), w == shown);
        QVERIFY(s.rect().contains(shown->geometry()));
        shown->hide();
    }
    // The group shown with both radio buttons hidden, as the scale editor uses it.
    s.GroupBox1->show();
    s.radAll->hide();
    s.radNo->hide();
    QVERIFY(s.edtSelFrom->isVisible() && s.edtSelTo->isVisible());
    QVERIFY(!s.radAll->isVisible());
}

void TestRangeProgressDialog::modalOk() {
    RangeProgressDialog s;
    s.GroupBox1->show();
    s.BitBtn1->show();
    s.BitBtn2->show();
    QTimer::singleShot(0, &s, [&] {
        QVERIFY(s.isModal());
        QTest::mouseClick(s.radNo, Qt::LeftButton);
        s.edtSelFrom->setText(QStringLiteral("10"));
        s.edtSelTo->setText(QStringLiteral("250"));
        QTest::mouseClick(s.BitBtn1, Qt::LeftButton);
    });
    QCOMPARE(s.exec(), int(QDialog::Accepted));
    QVERIFY(!s.isVisible());
    QVERIFY(s.radNo->isChecked());
    QVERIFY(!s.radAll->isChecked());
    QCOMPARE(s.edtSelFrom->text(), QStringLiteral("10"));
    QCOMPARE(s.edtSelTo->text(), QStringLiteral("250"));
    QVERIFY(!s.ProgressCancelled());
}

void TestRangeProgressDialog::modalCancel() {
    RangeProgressDialog s;
    s.GroupBox1->show();
    s.BitBtn1->show();
    s.BitBtn2->show();
    QTimer::singleShot(0, &s, [&] { QTest::mouseClick(s.BitBtn2, Qt::LeftButton); });
    QCOMPARE(s.exec(), int(QDialog::Rejected));
    QVERIFY(!s.isVisible());
    QTimer::singleShot(0, &s, [&] { QTest::keyClick(&s, Qt::Key_Escape); });
    QCOMPARE(s.exec(), int(QDialog::Rejected));
}

void TestRangeProgressDialog::progressCancelOnlyRecords() {
    RangeProgressDialog s;
    s.setWindowTitle(QStringLiteral("Loading"));
    for (QWidget* w : std::initializer_list<QWidget*>{s.Progress1, s.SText1, s.lblBytesReceived,
                                                      s.SText2, s.lblTotalBytes, s.BitBtn2})
        w->show();
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
    s.ClearResult();
    s.Progress1->setRange(0, 4096);
    for (int step = 0; step < 3; ++step) {
        s.Progress1->setValue(step * 1024);
        s.lblBytesReceived->setText(QString::number(step * 1024));
        QCoreApplication::processEvents();
        QVERIFY(!s.ProgressCancelled());
    }
    QCOMPARE(s.Progress1->value(), 2048);

    // Every way of cancelling is recorded, and the window stays for its owner.
    const std::function<void()> ways[] = {
        [&] { QTest::mouseClick(s.BitBtn2, Qt::LeftButton); },
        [&] { QTest::keyClick(&s, Qt::Key_Escape); },
        [&] { s.close(); },
    };
    for (const auto& cancel : ways) {
        s.ClearResult();
        QVERIFY(!s.ProgressCancelled());
        cancel();
        QCoreApplication::processEvents();
        QVERIFY(s.ProgressCancelled());
        QVERIFY(s.isVisible());
        QCOMPARE(s.result(), int(QDialog::Rejected));
    }
    s.ClearResult();
    QCOMPARE(s.result(), 0);
}

QTEST_MAIN(TestRangeProgressDialog)
#include "test_rangeprogressdialog.moc"
