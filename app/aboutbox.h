#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box, which also serves as the start-up screen: no title bar, always on top, the
// program's name, a status line and the version. A click on the box, on "Version:" or on the
// version closes it.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

    QLabel* programNameLabel;       // program name
    QLabel* progressLabel;       // status line while the box is the start-up screen
    QLabel* versionCaption;       // "Version:"
    QLabel* versionLabel;       // version text
    QPushButton* okButton; // OK
    QLabel* detailsLabel = nullptr; // licence and library versions (Help > About only)

    // The version text of this build ("4.2.0.0" for this release).
    static QString versionText();
    // The licence and the versions of Qt (built with and running) and QCustomPlot, as Help >
    // About shows them under the version.
    static QString detailsText();
    // Makes the box the Help > About box: the details below the version, and a box tall
    // enough for them.
    void showDetails();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
