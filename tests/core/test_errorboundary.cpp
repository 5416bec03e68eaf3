// The error boundary every entry point runs in: which failures are silent, which are reported
// and with what text, and that a failing reporter ends neither the program nor the boundary.
#include "errorboundary.h"
#include "porterror.h"
#include "silentabort.h"

#include <QtTest>

#include <functional>
#include <new>
#include <stdexcept>

using Work = std::function<void()>;
Q_DECLARE_METATYPE(Work)

class TestErrorBoundary : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { ErrorBoundary::setReporter(nullptr); }
    void failures_data();
    void failures();
    void guardRunsTheWorkWithAnyArguments();
    void reporterFailures();
};

void TestErrorBoundary::failures_data() {
    QTest::addColumn<Work>("work");
    QTest::addColumn<bool>("ranToItsEnd");
    QTest::addColumn<QStringList>("reports");
    const QString umlauts = QStringLiteral("Zugriff verweigert: /dev/ttyÜSB0 (Größe 5 µs)");
    QTest::newRow("no failure") << Work([] {}) << true << QStringList();
    QTest::newRow("silent abort") << Work([] { throw SilentAbort(); }) << false << QStringList();
    QTest::newRow("port error, not ASCII")
        << Work([umlauts] { throw PortError(13, umlauts); }) << false << QStringList{umlauts};
    QTest::newRow("other error, UTF-8")
        << Work([umlauts] { throw std::runtime_error(umlauts.toStdString()); }) << false
        << QStringList{umlauts};
    QTest::newRow("out of memory")
        << Work([] { throw std::bad_alloc(); }) << false << QStringList{"Out of memory"};
}

void TestErrorBoundary::failures() {
    QFETCH(Work, work);
    QFETCH(bool, ranToItsEnd);
    QFETCH(QStringList, reports);
    QStringList reported;
    ErrorBoundary::setReporter([&](const QString& message) { reported << message; });
    QCOMPARE(ErrorBoundary::Run(work), ranToItsEnd);
    QCOMPARE(reported, reports);
}

void TestErrorBoundary::guardRunsTheWorkWithAnyArguments() {
    QStringList reported;
    ErrorBoundary::setReporter([&](const QString& message) { reported << message; });
    int runs = 0;
    auto guarded = ErrorBoundary::guard([&] {
        if (++runs == 2)
            throw PortError(0, PortErrorText::timeout);
    });
    guarded();
    guarded(true, QStringLiteral("a signal's arguments"));
    QCOMPARE(runs, 2);
    QCOMPARE(reported, QStringList{PortErrorText::timeout});
}

void TestErrorBoundary::reporterFailures() {
    // Without a reporter a failure is logged.
    QTest::ignoreMessage(QtWarningMsg, "Timeout");
    QVERIFY(!ErrorBoundary::Run([] { throw PortError(0, PortErrorText::timeout); }));

    // A reporter that fails (a message box that cannot be shown) is logged with the failure;
    // a report made while reporting (from the message box's event loop) is only logged.
    int calls = 0;
    ErrorBoundary::setReporter([&](const QString& message) {
        ++calls;
        ErrorBoundary::report(QStringLiteral("while reporting"));
        throw std::runtime_error("no screen for " + message.toStdString());
    });
    QTest::ignoreMessage(QtWarningMsg, "while reporting");
    QTest::ignoreMessage(QtWarningMsg,
                         "Timeout (and reporting it failed: no screen for Timeout)");
    QVERIFY(!ErrorBoundary::Run([] { throw PortError(0, PortErrorText::timeout); }));
    QCOMPARE(calls, 1);

    // The boundary still reports afterwards.
    QTest::ignoreMessage(QtWarningMsg, "again (and reporting it failed: no screen for again)");
    ErrorBoundary::report(QStringLiteral("again"));
    QCOMPARE(calls, 2);
}

QTEST_GUILESS_MAIN(TestErrorBoundary)
#include "test_errorboundary.moc"
