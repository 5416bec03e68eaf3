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

    rangeBox = new QGroupBox(this);
    rangeBox->setGeometry(8, 4, 321, 76);
    allRowsButton = new QRadioButton(QStringLiteral("&All"), rangeBox);
    allRowsButton->setGeometry(12, 12, 120, 20);
    allRowsButton->setChecked(true);
    rowRangeButton = new QRadioButton(QStringLiteral("&Select"), rangeBox);
    rowRangeButton->setGeometry(12, 44, 70, 20);
    fromLabel = new QLabel(QStringLiteral("&from"), rangeBox);
    fromLabel->setGeometry(88, 46, 36, 16);
    fromEdit = new QLineEdit(rangeBox);
    fromEdit->setGeometry(126, 42, 76, 22);
    fromLabel->setBuddy(fromEdit);
    toLabel = new QLabel(QStringLiteral("&to"), rangeBox);
    toLabel->setGeometry(210, 46, 24, 16);
    toEdit = new QLineEdit(rangeBox);
    toEdit->setGeometry(236, 42, 76, 22);
    toLabel->setBuddy(toEdit);
    rangeBox->hide();

    okButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                               QStringLiteral("OK"), this);
    okButton->setGeometry(88, 86, 75, 25);
    okButton->setDefault(true);
    cancelButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                   QStringLiteral("Cancel"), this);
    cancelButton->setGeometry(174, 86, 75, 25);

    statusLabel = new QLabel(QStringLiteral("bytes received"), this);
    statusLabel->setGeometry(16, 16, 110, 18);
    bytesReceivedLabel = new QLabel(this);
    bytesReceivedLabel->setGeometry(130, 16, 190, 18);
    totalBytesCaption = new QLabel(QStringLiteral("total bytes"), this);
    totalBytesCaption->setGeometry(16, 40, 110, 18);
    totalBytesLabel = new QLabel(this);
    totalBytesLabel->setGeometry(130, 40, 190, 18);

    progressBar = new QProgressBar(this);
    progressBar->setGeometry(0, ClientHeight - 18, ClientWidth, 18);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);

    for (QWidget* w :
         std::initializer_list<QWidget*>{okButton, cancelButton, statusLabel, totalBytesCaption,
                                         bytesReceivedLabel, totalBytesLabel, progressBar})
        w->hide();

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

RangeProgressDialog::~RangeProgressDialog() = default;

void RangeProgressDialog::clearResult() {
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
