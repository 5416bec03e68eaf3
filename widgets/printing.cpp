#include "printing.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QScopeGuard>

Printing::Printing() : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

Printing::~Printing() = default;

Printing::DialogHook Printing::setDialogHook(DialogHook hook) {
    std::swap(hook, m_hook);
    return hook;
}

bool Printing::ask(QWidget* parent, const QString& title) {
    if (m_hook)
        return m_hook(*m_printer);
    QPrintDialog dialog(m_printer.get(), parent);
    if (!title.isEmpty())
        dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}

bool Printing::setUp(QWidget* parent) {
    return ask(parent, QStringLiteral("Printer Setup"));
}

bool Printing::print(QWidget* parent, const std::function<void(QPrinter&)>& printout) {
    if (!ask(parent, QString()))
        return false;
    const int resolution = m_printer->resolution();
    const auto restoreResolution = qScopeGuard([&] { m_printer->setResolution(resolution); });
    printout(*m_printer);
    return true;
}
