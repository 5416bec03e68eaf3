// The chart commands of the main window on real child windows: Fit to Data and Cursors follow
// the active chart, Export Chart through the file dialog and the size dialog, and Edit > Copy of
// table rows as tab-separated text or of the chart as a picture.

#include "chart.h"
#include "chartcommands.h"
#include "childwindow.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "exportsizedialog.h"
#include "filecommands.h"
#include "listgraphwindow.h"
#include "listwindow.h"
#include "settingsstore.h"
#include "stringgrid.h"

#include <qcustomplot.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSpinBox>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestChartCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void actionsExportAndCopy();
};

void TestChartCommands::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // The fit choice is remembered in the settings: a store of the test's own, empty at start.
    QStandardPaths::setTestModeEnabled(true);
    settingsStore().remove(QStringLiteral("Charts"));
}

void TestChartCommands::actionsExportAndCopy() {
    QTemporaryDir dir;
    QString nextFile;
    QStringList asked;
    Dialogs::setFileAnswerer([&](const Dialogs::FileRequest& r) {
        asked << r.filter;
        return nextFile;
    });
    QStringList messages;
    Dialogs::setAnswerer([&](const Dialogs::Request& r) {
        messages << r.text;
        return QMessageBox::Ok;
    });
    ErrorBoundary::setReporter([&](const QString& message) { messages << message; });
    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    FileCommands files(&area, &area);
    files.attach({});
    ChartCommands charts(files, &area);
    QObject::connect(&area, &QMdiArea::subWindowActivated, &charts, &ChartCommands::updateActions);

    // A list of temperatures from 21 to 67 °C, one a minute.
    auto* list = new ListWindow;
    const int n = 47;
    list->recordTable->setRowCount(n + 1);
    for (int r = 1; r <= n; ++r)
        list->recordTable->setRow(
            r, {QString::number(r), QStringLiteral("05/04/2026"),
                QTime(8, 0).addSecs(60 * (r - 1)).toString(QStringLiteral("HH:mm:ss")),
                QString::number(20 + r), QStringLiteral("°C")});
    list->setWindowTitle(QStringLiteral("temperatures.txt"));
    QMdiSubWindow* listSub = addChildWindow(&area, list, ChildWindowStyle::Sizeable);
    area.setActiveSubWindow(listSub);
    QVERIFY(!charts.exportChartAction->isEnabled());
    QVERIFY(!charts.cursorsAction->isEnabled());
    QVERIFY(charts.copyAction->isEnabled());

    // Edit > Copy on the list: the selected rows under the caption row, tab-separated.
    list->recordTable->selectRow(3, 0, 4);
    list->recordTable->selectionModel()->select(
        QItemSelection(list->recordTable->model()->index(3, 0),
                       list->recordTable->model()->index(3, 4)),
        QItemSelectionModel::Select);
    list->recordTable->setFocus();
    charts.copyAction->trigger();
    const QString header = QStringList{list->recordTable->cells(0, 0), list->recordTable->cells(1, 0),
                                       list->recordTable->cells(2, 0), list->recordTable->cells(3, 0),
                                       list->recordTable->cells(4, 0)}
                               .join(u'\t');
    QCOMPARE(QApplication::clipboard()->text(),
             header + QStringLiteral("\n3\t05/04/2026\t08:02:00\t23\t°C\n"
                                     "4\t05/04/2026\t08:03:00\t24\t°C\n"));

    // The list graph: the fixed scale leaves 21..67 readable, so it opens on it.
    ListGraphWindow* graph = nullptr;
    QObject::connect(&files, &FileCommands::graphMade, [&](ListGraphWindow* g) { graph = g; });
    files.graphList();
    QVERIFY(graph);
    QTRY_VERIFY_WITH_TIMEOUT(area.activeSubWindow() && area.activeSubWindow()->widget() == graph,
                             20000);
    Chart* chart = graph->chart;
    QVERIFY(charts.exportChartAction->isEnabled());
    QCOMPARE(charts.fitToDataAction->isChecked(), chart->fittedToData());
    charts.fitToDataAction->trigger();
    QVERIFY(chart->fittedToData());
    QVERIFY(chart->plot()->yAxis->range().size() < 1.1 * 46);
    charts.fitToDataAction->trigger();
    QVERIFY(!chart->fittedToData());
    // A double click on the chart fits it, and the action follows.
    QTRY_VERIFY_WITH_TIMEOUT(chart->plot()->axisRect()->rect().width() > 100, 20000);
    QTest::mouseDClick(chart->plot(), Qt::LeftButton, Qt::NoModifier,
                       chart->plot()->axisRect()->rect().center());
    QVERIFY(chart->fittedToData());
    QVERIFY(charts.fitToDataAction->isChecked());

    // The user's choice is kept for list graphs (not for the other kinds of chart): the next
    // graph of the same readable list opens fitted, and after unchecking Fit to Data on the
    // fixed scale again.
    ListGraphWindow* const first = graph;
    const auto nextGraph = [&]() -> ListGraphWindow* {
        area.setActiveSubWindow(listSub);
        ListGraphWindow* before = graph;
        files.graphList();
        return graph != before ? graph : nullptr;
    };
    ListGraphWindow* second = nextGraph();
    QVERIFY(second);
    QVERIFY(second->chart->fittedToData());
    for (const char* kind : {"Recorder", "DataLogger"}) {
        Chart other;
        other.setScaleMemoryKey(QString::fromLatin1(kind));
        QVERIFY2(!other.remembersFitToData(), kind);
    }
    charts.fitToDataAction->trigger();
    QVERIFY(!second->chart->fittedToData());
    ListGraphWindow* third = nextGraph();
    QVERIFY(third);
    QVERIFY(!third->chart->fittedToData());
    QVERIFY(chart->fittedToData()); // an open chart keeps its own scale
    delete childWindowOf(second);
    delete childWindowOf(third);
    graph = first;
    area.setActiveSubWindow(childWindowOf(first));

    charts.cursorsAction->trigger();
    QVERIFY(chart->cursorsShown());
    // Back on the list, the actions show that window's (none); on the graph again, its own.
    area.setActiveSubWindow(listSub);
    QVERIFY(!charts.cursorsAction->isChecked() && !charts.cursorsAction->isEnabled());
    area.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(graph->parentWidget()));
    QVERIFY(charts.cursorsAction->isChecked());

    // File > Export Chart: the file, then the size.
    nextFile = dir.filePath(QStringLiteral("graph.svg"));
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* sizes = qobject_cast<ExportSizeDialog*>(QApplication::activeModalWidget())) {
            answer.stop();
            sizes->findChild<QSpinBox*>(QStringLiteral("widthBox"))->setValue(640);
            sizes->findChild<QSpinBox*>(QStringLiteral("heightBox"))->setValue(480);
            sizes->accept();
        }
    });
    answer.start(5);
    QSignalSpy sizeChanged(&charts, &ChartCommands::exportSizeChanged);
    charts.exportChartAction->trigger();
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked[0].contains(QStringLiteral("*.svg")) && asked[0].contains(QStringLiteral("*.pdf")));
    QSvgRenderer svg(nextFile);
    QVERIFY(svg.isValid());
    QCOMPARE(svg.viewBox(), QRect(0, 0, 640, 480));
    QCOMPARE(sizeChanged.count(), 1);
    QCOMPARE(charts.exportSize(), QSize(640, 480));

    // A folder that does not exist: the user is told, nothing is written.
    nextFile = dir.filePath(QStringLiteral("missing/graph.png"));
    answer.start(5);
    charts.exportChartAction->trigger();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(nextFile), qPrintable(messages[0]));

    // Edit > Copy on the graph: the chart as a picture.
    QApplication::clipboard()->clear();
    charts.copyAction->trigger();
    const QImage image = QApplication::clipboard()->image();
    QCOMPARE(image.size(), chart->plot()->size());

    Dialogs::setFileAnswerer({});
    Dialogs::setAnswerer({});
    ErrorBoundary::setReporter(nullptr);
}

QTEST_MAIN(TestChartCommands)
#include "test_chartcommands.moc"
