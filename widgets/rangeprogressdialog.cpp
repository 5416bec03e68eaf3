#include "rangeprogressdialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

RangeProgressDialog::RangeProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Print Range"));
    // Fixed pixel sizes, whatever the screen's text size.
    setFixedSize(ClientWidth, ClientHeight);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(8, 4, 321, 76);
    radAll = new QRadioButton(QStringLiteral("&All"), GroupBox1);
    radAll->setGeometry(12, 12, 120, 20);
    radAll->setChecked(true);
    radNo = new QRadioButton(QStringLiteral("&Select"), GroupBox1);
    radNo->setGeometry(12, 44, 70, 20);
    Label1 = new QLabel(QStringLiteral("&from"), GroupBox1);
    Label1->setGeometry(88, 46, 36, 16);
    edtSelFrom = new QLineEdit(GroupBox1);
    edtSelFrom->setGeometry(126, 42, 76, 22);
    Label1->setBuddy(edtSelFrom);
    Label2 = new QLabel(QStringLiteral("&to"), GroupBox1);
    Label2->setGeometry(210, 46, 24, 16);
    edtSelTo = new QLineEdit(GroupBox1);
    edtSelTo->setGeometry(236, 42, 76, 22);
    Label2->setBuddy(edtSelTo);
    GroupBox1->hide();

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              QStringLiteral("OK"), this);
    BitBtn1->setGeometry(88, 86, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QStringLiteral("Cancel"), this);
    BitBtn2->setGeometry(174, 86, 75, 25);

    SText1 = new QLabel(QStringLiteral("bytes received"), this);
    SText1->setGeometry(16, 16, 110, 18);
    lblBytesReceived = new QLabel(this);
    lblBytesReceived->setGeometry(130, 16, 190, 18);
    SText2 = new QLabel(QStringLiteral("total bytes"), this);
    SText2->setGeometry(16, 40, 110, 18);
    lblTotalBytes = new QLabel(this);
    lblTotalBytes->setGeometry(130, 40, 190, 18);

    Progress1 = new QProgressBar(this);
    Progress1->setGeometry(0, ClientHeight - 18, ClientWidth, 18);
    Progress1->setRange(0, 100);
    Progress1->setValue(0);

    for (QWidget* w : std::initializer_list<QWidget*>{BitBtn1, BitBtn2, SText1, SText2,
                                                      lblBytesReceived, lblTotalBytes, Progress1})
        w->hide();

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

RangeProgressDialog::~RangeProgressDialog() = default;

void RangeProgressDialog::ClearResult() {
    m_cancelled = false;
    setResult(0);
}

int RangeProgressDialog::exec() {
    m_modal = true;
    const int result = QDialog::exec();
    m_modal = false;
    return result;
}

void RangeProgressDialog::done(int result) {
    if (result == QDialog::Rejected)
        m_cancelled = true;
    if (m_modal) {
        QDialog::done(result);
        return;
    }
    // A progress window only records the answer; its owner decides when it goes.
    setResult(result);
}

void RangeProgressDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_centred || event->spontaneous())
        return;
    m_centred = true;
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}
