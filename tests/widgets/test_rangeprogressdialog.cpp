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
        return {s.rangeBox,    s.okButton,          s.cancelButton,       s.progressBar,
                s.statusLabel, s.totalBytesCaption, s.bytesReceivedLabel, s.totalBytesLabel};
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
    for (QWidget* w : std::initializer_list<QWidget*>{s.allRowsButton, s.rowRangeButton,
                                                      s.fromLabel, s.fromEdit, s.toLabel, s.toEdit})
        QVERIFY(!w->isHidden() && w->parentWidget() == s.rangeBox);
    QCOMPARE(s.allRowsButton->text(), QStringLiteral("&All"));
    QVERIFY(s.allRowsButton->isChecked());
    QCOMPARE(s.rowRangeButton->text(), QStringLiteral("&Select"));
    QCOMPARE(s.fromLabel->text(), QStringLiteral("&from"));
    QCOMPARE(s.toLabel->text(), QStringLiteral("&to"));
    QCOMPARE(s.statusLabel->text(), QStringLiteral("bytes received"));
    QCOMPARE(s.totalBytesCaption->text(), QStringLiteral("total bytes"));
    QCOMPARE(s.progressBar->minimum(), 0);
    QCOMPARE(s.progressBar->maximum(), 100);
    QVERIFY(s.bytesReceivedLabel->text().isEmpty());
    QVERIFY(s.fromEdit->text().isEmpty());
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
    s.rangeBox->show();
    s.allRowsButton->hide();
    s.rowRangeButton->hide();
    QVERIFY(s.fromEdit->isVisible() && s.toEdit->isVisible());
    QVERIFY(!s.allRowsButton->isVisible());
}

void TestRangeProgressDialog::modalOk() {
    RangeProgressDialog s;
    s.rangeBox->show();
    s.okButton->show();
    s.cancelButton->show();
    QTimer::singleShot(0, &s, [&] {
        QVERIFY(s.isModal());
        QTest::mouseClick(s.rowRangeButton, Qt::LeftButton);
        s.fromEdit->setText(QStringLiteral("10"));
        s.toEdit->setText(QStringLiteral("250"));
        QTest::mouseClick(s.okButton, Qt::LeftButton);
    });
    QCOMPARE(s.exec(), int(QDialog::Accepted));
    QVERIFY(!s.isVisible());
    QVERIFY(s.rowRangeButton->isChecked());
    QVERIFY(!s.allRowsButton->isChecked());
    QCOMPARE(s.fromEdit->text(), QStringLiteral("10"));
    QCOMPARE(s.toEdit->text(), QStringLiteral("250"));
    QVERIFY(!s.cancelled());
}

void TestRangeProgressDialog::modalCancel() {
    RangeProgressDialog s;
    s.rangeBox->show();
    s.okButton->show();
    s.cancelButton->show();
    QTimer::singleShot(0, &s, [&] { QTest::mouseClick(s.cancelButton, Qt::LeftButton); });
    QCOMPARE(s.exec(), int(QDialog::Rejected));
    QVERIFY(!s.isVisible());
    QTimer::singleShot(0, &s, [&] { QTest::keyClick(&s, Qt::Key_Escape); });
    QCOMPARE(s.exec(), int(QDialog::Rejected));
}

void TestRangeProgressDialog::progressCancelOnlyRecords() {
    RangeProgressDialog s;
    s.setWindowTitle(QStringLiteral("Loading"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{s.progressBar, s.statusLabel, s.bytesReceivedLabel,
                                         s.totalBytesCaption, s.totalBytesLabel, s.cancelButton})
        w->show();
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
    s.clearResult();
    s.progressBar->setRange(0, 4096);
    for (int step = 0; step < 3; ++step) {
        s.progressBar->setValue(step * 1024);
        s.bytesReceivedLabel->setText(QString::number(step * 1024));
        QCoreApplication::processEvents();
        QVERIFY(!s.cancelled());
    }
    QCOMPARE(s.progressBar->value(), 2048);

    // Every way of cancelling is recorded, and the window stays for its owner.
    const std::function<void()> ways[] = {
        [&] { QTest::mouseClick(s.cancelButton, Qt::LeftButton); },
        [&] { QTest::keyClick(&s, Qt::Key_Escape); },
        [&] { s.close(); },
    };
    for (const auto& cancel : ways) {
        s.clearResult();
        QVERIFY(!s.cancelled());
        cancel();
        QCoreApplication::processEvents();
        QVERIFY(s.cancelled());
        QVERIFY(s.isVisible());
        QCOMPARE(s.result(), int(QDialog::Rejected));
    }
    s.clearResult();
    QCOMPARE(s.result(), 0);
}

QTEST_MAIN(TestRangeProgressDialog)
#include "test_rangeprogressdialog.moc"
