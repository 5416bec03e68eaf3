#include "rateeditor.h"

#include <QFont>
#include <QFontMetrics>

namespace {
constexpr QChar kBlank = u'_';
}

RateEditor::RateEditor(QWidget* parent) : QLineEdit(parent) {
    setInputMask(QStringLiteral("  99 : 99  ;") + kBlank);
    QFont f(QStringLiteral("Arial"));
    f.setBold(true);
    setFont(f);
    const int width = QFontMetrics(f).horizontalAdvance(QStringLiteral("  00 : 00  "));
    setFixedWidth(width + 12);
}

QString RateEditor::rateText() const {
    QString t = displayText();
    t.replace(kBlank, u' ');
    return t;
}

void RateEditor::setRateText(const QString& text) {
    const int cursor = cursorPosition();
    setText(text);
    setCursorPosition(cursor);
}
