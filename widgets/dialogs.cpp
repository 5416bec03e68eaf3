#include "dialogs.h"

#include <QApplication>
#include <QFileDialog>

namespace Dialogs {

namespace {
Answerer& answerer() {
    static Answerer a;
    return a;
}
FileChoiceAnswerer& fileAnswerer() {
    static FileChoiceAnswerer a;
    return a;
}
} // namespace

void setAnswerer(Answerer a) {
    answerer() = std::move(a);
}

QMessageBox::StandardButton ask(QWidget* parent, const Request& request) {
    if (answerer())
        return answerer()(request);
    QMessageBox box(request.icon,
                    request.title.isEmpty() ? QApplication::applicationName() : request.title,
                    request.text, request.buttons, parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void showError(QWidget* parent, const QString& text) {
    ask(parent, {QMessageBox::Critical, QString(), text, QMessageBox::Ok});
}

void showMessage(QWidget* parent, const QString& text) {
    ask(parent, {QMessageBox::Information, QString(), text, QMessageBox::Ok});
}

void setFileAnswerer(FileAnswerer a) {
    if (!a) {
        fileAnswerer() = nullptr;
        return;
    }
    fileAnswerer() = [a = std::move(a)](const FileRequest& request) {
        return FileChoice{a(request), QString()};
    };
}

void setFileChoiceAnswerer(FileChoiceAnswerer a) {
    fileAnswerer() = std::move(a);
}

QString filterForDialog(const QString& barFilter) {
    const QStringList parts = barFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        // "*.*" means every file, also one without an extension.
        if (patterns.trimmed() == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

QString suffixOfFilter(const QString& dialogFilter) {
    // "CSV File (*.csv)": the extension of its first pattern, unless that is every file.
    const qsizetype open = dialogFilter.lastIndexOf(u'(');
    const qsizetype close = dialogFilter.lastIndexOf(u')');
    if (open < 0 || close < open)
        return QString();
    const QString first = dialogFilter.mid(open + 1, close - open - 1)
                              .section(u' ', 0, 0, QString::SectionSkipEmpty);
    if (!first.startsWith(QLatin1String("*.")))
        return QString();
    const QString suffix = first.mid(2);
    return suffix.contains(u'*') ? QString() : suffix;
}

QString askFile(QWidget* parent, const FileRequest& request) {
    return chooseFile(parent, request).path;
}

FileChoice chooseFile(QWidget* parent, const FileRequest& request) {
    if (fileAnswerer())
        return fileAnswerer()(request);
    QFileDialog dialog(parent, request.title, request.folder, filterForDialog(request.filter));
    if (request.kind == FileRequest::Kind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.suggestedName.isEmpty())
        dialog.selectFile(request.suggestedName);
    if (request.kind == FileRequest::Kind::Save) {
        // A name typed without an extension takes the chosen filter's: "data" saved as CSV
        // becomes data.csv (and is written with commas), not a tab-separated data.txt.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, &request](const QString& filter) {
                             const QString suffix = suffixOfFilter(filter);
                             dialog.setDefaultSuffix(suffix.isEmpty() ? request.defaultSuffix
                                                                      : suffix);
                         });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    // The system dialog's filter back in the bar form: the entry whose dialog form it is.
    const QStringList parts = request.filter.split(u'|');
    QString chosen;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        if (filterForDialog(parts[i] + u'|' + parts[i + 1]) == dialog.selectedNameFilter())
            chosen = parts[i];
    return {dialog.selectedFiles().constFirst(), chosen};
}

} // namespace Dialogs
