#pragma once

class QMdiArea;
class QMdiSubWindow;
class QWidget;

// The frames of the main window's child windows.
enum class ChildWindowStyle {
    FixedSingle, // title bar with system menu and minimise button, fixed size
    Captionless, // no title bar and no border; moved by dragging its face
    Sizeable,    // a normal resizable child window
};

// Wraps the content into a child window of the area, with a client area of exactly the
// content's size, and shows it. The child window is deleted when closed (and the content with
// it). The caption is the content's window title. A sizeable child window keeps the content's
// minimum size (or its layout's minimum) as its own.
QMdiSubWindow* addChildWindow(QMdiArea* area, QWidget* content, ChildWindowStyle style);

// The child window that holds the widget, or nullptr when it lies in none.
QMdiSubWindow* childWindowOf(const QWidget* widget);

// Closes or minimises the child window that holds the content (the content's own window when
// it lies in none).
void closeChildWindow(QWidget* content);
void minimiseChildWindow(QWidget* content);
