#pragma once

// A child window that may hold data the user has not saved. The main window asks every such
// window before anything closes (its close box, File > Exit), and a window asks by itself when
// it alone is closed; any answer of Cancel keeps the program and every window open.
class ClosingQuestion {
public:
    virtual ~ClosingQuestion() = default;
    // Asks about the unsaved data, if there is any, and saves it when the user says so. True
    // when the window may close now: nothing to ask, a successful save, or the data discarded;
    // false on Cancel or a save that did not happen.
    virtual bool askToClose() = 0;

protected:
    ClosingQuestion() = default;
    ClosingQuestion(const ClosingQuestion&) = default;
    ClosingQuestion& operator=(const ClosingQuestion&) = default;
};
