#include "limitsdialog.h"

#include "anylocaletext.h"
#include "dialogs.h"
#include "ui_limitsdialog.h"

#include <QLocale>
#include <QPushButton>

#include <cmath>

namespace {

QString shown(std::optional<double> v) {
    return v ? QLocale().toString(*v, 'g', 10) : QString();
}

// Empty: none. Otherwise a finite number, or false.
bool readNumber(const QString& text, std::optional<double>& out) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        out.reset();
        return true;
    }
    bool ok = false;
    double v = QLocale().toDouble(t, &ok);
    if (!ok) {
        const auto any = AnyLocaleText::number(t);
        ok = any.has_value();
        v = any.value_or(0);
    }
    if (!ok || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

} // namespace

LimitsDialog::LimitsDialog(const QString& function, const QString& unit, const Limits& current,
                           QWidget* parent)
    : QDialog(parent), m_form(std::make_unique<Ui::LimitsDialog>()), m_limits(current) {
    m_form->setupUi(this);
    m_form->functionLabel->setText(
        QStringLiteral("Limits for %1 readings, in %2. They apply whichever range the meter "
                       "is in, and never change what is recorded.")
            .arg(function, unit));
    for (QLabel* label : {m_form->highUnit, m_form->lowUnit, m_form->hysteresisUnit})
        label->setText(unit);
    m_form->highEdit->setText(shown(current.high));
    m_form->lowEdit->setText(shown(current.low));
    m_form->hysteresisEdit->setText(QLocale().toString(current.hysteresis, 'g', 10));
    m_form->beepBox->setChecked(current.beep);
    m_form->stopBox->setChecked(current.stopRecording);
    connect(m_form->buttons, &QDialogButtonBox::accepted, this, &LimitsDialog::accept);
}

LimitsDialog::~LimitsDialog() = default;

std::optional<Limits> LimitsDialog::readBoxes(QString* problem) const {
    Limits l;
    std::optional<double> hysteresis;
    const struct {
        QLineEdit* edit;
        std::optional<double>* out;
    } boxes[] = {{m_form->highEdit, &l.high},
                 {m_form->lowEdit, &l.low},
                 {m_form->hysteresisEdit, &hysteresis}};
    for (const auto& box : boxes) {
        if (!readNumber(box.edit->text(), *box.out)) {
            if (problem)
                *problem = QStringLiteral("%1 is invalid number !").arg(box.edit->text());
            return std::nullopt;
        }
    }
    if (l.high && l.low && *l.low > *l.high) {
        if (problem)
            *problem = QStringLiteral("The low limit is above the high limit.");
        return std::nullopt;
    }
    l.hysteresis = std::abs(hysteresis.value_or(0));
    l.beep = m_form->beepBox->isChecked();
    l.stopRecording = m_form->stopBox->isChecked();
    return l;
}

void LimitsDialog::accept() {
    QString problem;
    const auto read = readBoxes(&problem);
    if (!read) {
        Dialogs::showMessage(this, problem);
        return;
    }
    m_limits = *read;
    QDialog::accept();
}
