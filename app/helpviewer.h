#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QTextBrowser;

// Help > Contents (F1): the program's help document in a window of its own, with the
// document's links followed inside it. One viewer for the whole run: asking again brings it
// to the front.
//
// The document is looked for where the program is installed (share/ql350 beside the
// program's bin folder, then the system's data folders) and next to the program, where the
// build tree keeps it. When it is nowhere the viewer says so and where it looked, instead of
// showing nothing.
class HelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // The help document's file name and the places it may be, in the order they are tried.
    static const QString documentName;
    static QStringList searchPaths();
    // The first of `paths` that is a readable file, or an empty string.
    static QString findDocument(const QStringList& paths);

    QTextBrowser* browser() const { return m_browser; }
    // The document shown, or empty when none was found.
    QString documentPath() const { return m_path; }

private:
    QTextBrowser* m_browser;
    QString m_path;
};
