#pragma once

#include <functional>
#include <memory>

class QPrinter;
class QString;
class QWidget;

// The program's printing: one printer for every printout (the one chosen in Printer Setup,
// kept for the program's lifetime) and the print dialog every printout asks first. Printouts
// draw; this class chooses where and whether.
//
// The dialog step goes through a hook so that tests can answer it without a person: the hook
// gets the printer (to point it at a PDF file, say) and returns true to print. Without a hook
// the system's print dialog is shown.
class Printing {
public:
    Printing();
    ~Printing();
    Printing(const Printing&) = delete;
    Printing& operator=(const Printing&) = delete;

    using DialogHook = std::function<bool(QPrinter&)>;
    // Installs a hook (an empty one restores the dialog) and returns the previous one.
    DialogHook setDialogHook(DialogHook hook);

    QPrinter& printer() { return *m_printer; }

    // Printer Setup: the print dialog under that title, to choose the printer and its
    // settings; nothing is printed. Returns true when the user accepted.
    bool setUp(QWidget* parent);

    // One printout: the print dialog, then `printout` on the printer if the user accepted.
    // A printout may change the printer's resolution for its page; the printer has its own
    // back afterwards, also when `printout` throws (the error is passed on). Returns true when
    // the printout ran.
    bool print(QWidget* parent, const std::function<void(QPrinter&)>& printout);

private:
    bool ask(QWidget* parent, const QString& title);

    std::unique_ptr<QPrinter> m_printer;
    DialogHook m_hook;
};
