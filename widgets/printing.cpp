#include "printing.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QScopeGuard>

#include <algorithm>

namespace {
// The highest page the print dialog's range accepts; the printout cuts it to its own count.
constexpr int kHighestPage = 99999;
} // namespace

Printing::Printing() : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

Printing::~Printing() = default;

Printing::DialogHook Printing::setDialogHook(DialogHook hook) {
    std::swap(hook, m_hook);
    return hook;
}

bool Printing::setUp(QWidget* parent) {
    if (m_hook)
        return m_hook(*m_printer);
    QPageSetupDialog dialog(m_printer.get(), parent);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    return dialog.exec() == QDialog::Accepted;
}

bool Printing::print(QWidget* parent, const std::function<void(QPrinter&)>& printout) {
    // Each printout asks anew where it goes and which pages: nothing of the last one stays.
    const auto forget = qScopeGuard([this] { m_printer->setOutputFileName(QString()); });
    m_printer->setOutputFileName(QString());
    m_printer->setPrintRange(QPrinter::AllPages);
    m_printer->setFromTo(0, 0);
    bool accepted = false;
    if (m_hook) {
        accepted = m_hook(*m_printer);
    } else {
        QPrintDialog dialog(m_printer.get(), parent);
        dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                          QAbstractPrintDialog::PrintCollateCopies |
                          QAbstractPrintDialog::PrintShowPageSize);
        dialog.setMinMax(1, kHighestPage);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted)
        return false;
    const int resolution = m_printer->resolution();
    const auto restoreResolution = qScopeGuard([&] { m_printer->setResolution(resolution); });
    printout(*m_printer);
    return true;
}

QList<int> Printing::pageSequence(int pageCount, int fromPage, int toPage, int copies,
                                  bool collate) {
    int first = 0;
    int last = pageCount - 1;
    if (fromPage > 0 || toPage > 0) {
        first = std::max(fromPage, 1) - 1;
        if (toPage > 0)
            last = std::min(last, toPage - 1);
    }
    QList<int> pages;
    copies = std::max(copies, 1);
    if (collate) {
        for (int c = 0; c < copies; ++c)
            for (int p = first; p <= last; ++p)
                pages << p;
    } else {
        for (int p = first; p <= last; ++p)
            for (int c = 0; c < copies; ++c)
                pages << p;
    }
    return pages;
}

QList<int> Printing::pageSequence(const QPrinter& printer, int pageCount) {
    const bool range = printer.printRange() == QPrinter::PageRange;
    const int copies = printer.supportsMultipleCopies() ? 1 : printer.copyCount();
    return pageSequence(pageCount, range ? printer.fromPage() : 0, range ? printer.toPage() : 0,
                        copies, printer.collateCopies());
}
