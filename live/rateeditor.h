#pragma once

#include <QLineEdit>

// The rate editor of the recorder and of its schedule: an 11-character masked field
// "  mm : ss  " (two blanks, two minute digits, " : ", two second digits, two blanks) in
// bold Arial, in which only the four digit places can be typed over.
class RateEditor : public QLineEdit {
    Q_OBJECT
public:
    explicit RateEditor(QWidget* parent = nullptr);

    // The text with every place shown, empty digit places as blanks (always 11 characters).
    QString rateText() const;
    // Shows a rate text, keeping the cursor where it was.
    void setRateText(const QString& text);
};
