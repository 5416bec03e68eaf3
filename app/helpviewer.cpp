#include "helpviewer.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

const QString HelpViewer::documentName = QStringLiteral("QL350_Help.htm");

QStringList HelpViewer::searchPaths() {
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList paths{
        QDir::cleanPath(programDir + QStringLiteral("/../share/ql350/") + documentName)};
    for (const QString& dataDir :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        paths << QDir::cleanPath(dataDir + QStringLiteral("/ql350/") + documentName);
    paths << QDir::cleanPath(programDir + u'/' + documentName);
    paths.removeDuplicates();
    return paths;
}

QString HelpViewer::findDocument(const QStringList& paths) {
    for (const QString& path : paths) {
        const QFileInfo file(path);
        if (file.isFile() && file.isReadable())
            return path;
    }
    return QString();
}

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("helpViewer"));
    setWindowTitle(QStringLiteral("QL350 Help"));
    setModal(false);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(760, 600);

    const QStringList paths = searchPaths();
    m_path = findDocument(paths);
    if (!m_path.isEmpty()) {
        m_browser->setSource(QUrl::fromLocalFile(m_path));
        return;
    }
    QStringList places;
    for (const QString& path : paths)
        places << QStringLiteral("<li><code>%1</code></li>")
                      .arg(QDir::toNativeSeparators(path).toHtmlEscaped());
    m_browser->setHtml(
        QStringLiteral("<h2>The help document is missing</h2>"
                       "<p>The program's help document (%1) was not found. It was looked "
                       "for in:</p><ul>%2</ul><p>Reinstalling the program puts it back. The "
                       "manual page (<code>man ql350</code>) describes the program too.</p>")
            .arg(documentName.toHtmlEscaped(), places.join(QString())));
}
