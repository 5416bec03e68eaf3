#include "aboutbox.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QtGlobal>

#include <qcustomplot.h>

#ifndef QL350_VERSION
#define QL350_VERSION ""
#endif

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Dialog) {
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("About Mendalux for Multimeter"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(303, 93);
    setAutoFillBackground(true);

    // A thin frame, since the box has no window border of its own.
    setStyleSheet(QStringLiteral("AboutBox { border: 1px solid palette(dark); }"));

    programNameLabel = new QLabel(QStringLiteral("Mendalux for Multimeter"), this);
    programNameLabel->setObjectName(QStringLiteral("Label3"));
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(20);
    title.setBold(true);
    title.setItalic(true);
    programNameLabel->setFont(title);
    programNameLabel->setStyleSheet(QStringLiteral("color: blue;"));
    programNameLabel->setGeometry(12, 8, 280, 28);

    progressLabel = new QLabel(this);
    progressLabel->setObjectName(QStringLiteral("Label4"));
    progressLabel->setGeometry(12, 38, 280, 18);

    QFont bold = font();
    bold.setBold(true);
    versionCaption = new QLabel(QStringLiteral("Version:"), this);
    versionCaption->setObjectName(QStringLiteral("Label1"));
    versionCaption->setFont(bold);
    versionCaption->setGeometry(12, 64, 60, 20);

    versionLabel = new QLabel(versionText(), this);
    versionLabel->setObjectName(QStringLiteral("Label2"));
    versionLabel->setFont(bold);
    versionLabel->setGeometry(74, 64, 120, 20);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(216, 60, 75, 25);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    versionCaption->installEventFilter(this);
    versionLabel->installEventFilter(this);
}

QString AboutBox::versionText() {
    return QStringLiteral(QL350_VERSION);
}

QString AboutBox::detailsText() {
    return QStringLiteral("Licence: GPL-3.0-or-later (GNU General Public License, version 3 or "
                          "any later version); no warranty.\n"
                          "Qt %1 (built with %2), QCustomPlot %3.")
        .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR),
             QStringLiteral(QCUSTOMPLOT_VERSION_STR));
}

void AboutBox::showDetails() {
    if (detailsLabel)
        return;
    detailsLabel = new QLabel(detailsText(), this);
    detailsLabel->setObjectName(QStringLiteral("detailsLabel"));
    detailsLabel->setWordWrap(true);
    const int width = 280;
    const int height = detailsLabel->heightForWidth(width);
    detailsLabel->setGeometry(12, 92, width, height);
    setFixedSize(303, 92 + height + 10);
    detailsLabel->show();
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == versionCaption || watched == versionLabel) && event->type() == QEvent::MouseButtonPress) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AboutBox::mousePressEvent(QMouseEvent* event) {
    accept();
    event->accept();
}
