#pragma once

#include <QList>

#include <functional>
#include <memory>

class QPrinter;
class QString;
class QWidget;

// The program's printing: one printer for every printout (its page set up in Printer Setup,
// kept for the program's lifetime) and the print dialog every printout asks first. Printouts
// draw; this class chooses where and whether.
//
// Printer Setup is a page setup dialog (paper, orientation, margins): it chooses no output
// and prints nothing. Each print dialog starts without an output file, so "print to file"
// asks for its file every time instead of overwriting the one printed to last time, and with
// every page chosen; its page range and copies are honoured (pageSequence()).
//
// The dialog step goes through a hook so that tests can answer it without a person: the hook
// gets the printer (to point it at a PDF file, say) and returns true to go on. It stands for
// the page setup dialog in setUp() and for the print dialog in print(). Without a hook the
// system's dialogs are shown.
class Printing {
public:
    Printing();
    ~Printing();
    Printing(const Printing&) = delete;
    Printing& operator=(const Printing&) = delete;

    using DialogHook = std::function<bool(QPrinter&)>;
    // Installs a hook (an empty one restores the dialogs) and returns the previous one.
    DialogHook setDialogHook(DialogHook hook);

    QPrinter& printer() { return *m_printer; }

    // Printer Setup: the page setup dialog; nothing is printed. Returns true when the user
    // accepted.
    bool setUp(QWidget* parent);

    // One printout: the print dialog, then `printout` on the printer if the user accepted.
    // A printout may change the printer's resolution for its page; the printer has its own
    // back afterwards, and forgets the output file, also when `printout` throws (the error is
    // passed on). Returns true when the printout ran.
    bool print(QWidget* parent, const std::function<void(QPrinter&)>& printout);

    // The pages a printout of `pageCount` pages puts on paper, in order, numbered from 0:
    // the pages fromPage..toPage (numbered from 1 as the dialog shows them; 0 for both means
    // all, a range past the end is cut to it), `copies` times: copy after copy when
    // `collate`, else each page its copies in a row.
    static QList<int> pageSequence(int pageCount, int fromPage, int toPage, int copies,
                                   bool collate);
    // The same for the choices made in the print dialog. A printer that makes its copies
    // itself (a real printer) gets each page once; a file (PDF) gets every copy.
    static QList<int> pageSequence(const QPrinter& printer, int pageCount);

private:
    std::unique_ptr<QPrinter> m_printer;
    DialogHook m_hook;
};
