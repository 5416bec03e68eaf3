#include "aboutbox.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

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

    Label3 = new QLabel(QStringLiteral("Mendalux for Multimeter"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(20);
    title.setBold(true);
    title.setItalic(true);
    Label3->setFont(title);
    Label3->setStyleSheet(QStringLiteral("color: blue;"));
    Label3->setGeometry(12, 8, 280, 28);

    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(12, 38, 280, 18);

    QFont bold = font();
    bold.setBold(true);
    Label1 = new QLabel(QStringLiteral("Version:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(bold);
    Label1->setGeometry(12, 64, 60, 20);

    Label2 = new QLabel(VersionText(), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(bold);
    Label2->setGeometry(74, 64, 120, 20);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(216, 60, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    Label1->installEventFilter(this);
    Label2->installEventFilter(this);
}

QString AboutBox::VersionText() {
    return QStringLiteral(QL350_VERSION);
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Label1 || watched == Label2) && event->type() == QEvent::MouseButtonPress) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AboutBox::mousePressEvent(QMouseEvent* event) {
    accept();
    event->accept();
}
