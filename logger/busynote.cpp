#include "busynote.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWindow>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

BusyNote::BusyNote(const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("QL350"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    m_message = new QLabel(text, this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    QFont f = m_message->font();
    f.setBold(true);
    m_message->setFont(f);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addWidget(m_message);
    setFixedSize(320, 80);
}

BusyNote::~BusyNote() = default;

void BusyNote::showNow() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    showPainted(this);
}

void BusyNote::showPainted(QWidget* window) {
    window->show();
    window->raise();
    QElapsedTimer waited;
    waited.start();
    // Mapping the window takes a round trip to the window system; its expose event arrives
    // through the event loop.
    while (!(window->windowHandle() && window->windowHandle()->isExposed()) &&
           waited.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    window->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void BusyNote::setText(const QString& text) {
    m_message->setText(text);
}

QString BusyNote::text() const {
    return m_message->text();
}
