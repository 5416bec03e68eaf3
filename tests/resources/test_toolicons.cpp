#include "toolicons.h"

#include <QTest>

class TestToolIcons : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyIconIsDrawnAndDistinct() {
        const ToolIcon all[] = {ToolIcon::OpenFile, ToolIcon::SaveFile, ToolIcon::LoadData,
                                ToolIcon::Print,    ToolIcon::Schedule, ToolIcon::OutputGraph,
                                ToolIcon::Help};
        QList<QImage> seen;
        for (ToolIcon icon : all) {
            const QImage image = toolIconPicture(icon);
            QCOMPARE(image.size(), QSize(ToolIconSize, ToolIconSize));
            int opaque = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    opaque += qAlpha(image.pixel(x, y)) > 128;
            // A picture covers a good part of its square but leaves a transparent margin.
            QVERIFY2(opaque > 150 && opaque < 32 * 32 - 40, qPrintable(QString::number(opaque)));
            QVERIFY(!seen.contains(image));
            seen << image;
        }
    }
};

QTEST_MAIN(TestToolIcons)
#include "test_toolicons.moc"
