#pragma once

#include "discovery.h"
#include "portidentity.h"

#include <QObject>
#include <QString>
#include <QTimer>

class LiveLink;
class QComboBox;
class QWidget;

// The port box on the tool bar and what choosing a port means: the list of the system's ports
// with the simulator last, a typed path acted on once the user has settled on it, switching
// the live link to the chosen port, and the start-up search that finds the meter.
//
// A port change is made once per user action (an item picked, a typed path confirmed with
// Enter or by leaving the box), never per keystroke, and never inside a running step of the
// live link: it waits until the link is idle. Why a port could not be opened is said, not left
// to look like a silent meter.
class PortSelector : public QObject, public DiscoveryHost {
    Q_OBJECT
public:
    // The box is created as a child of `parent` (the tool bar places it).
    PortSelector(LiveLink& link, QWidget* parent);

    QComboBox* box() const { return m_box; }

    // The system's ports and the simulator; item 0 shown unless it is the simulator, which
    // only the user ever picks. The link's device follows the shown item.
    void fillPortList();
    // Calls the meter on every real port (the box waits meanwhile) and hands the line to the
    // live link.
    void searchMeter();
    // The port chosen as if the user had typed `text` into the box and pressed Enter.
    void choosePort(const QString& text);
    int currentIndex() const;
    // The list index of a port remembered by its name or path, or -1. A path that is not in
    // the system's list (a pseudo-terminal, a /dev/serial/by-id link) but still exists joins
    // the list before the simulator, so that the search calls it too; one that is gone is
    // left out.
    //
    // With a known identity the port of that adapter is preferred, even when it came back
    // under another name than the one remembered (ttyUSB1 for ttyUSB0); the name stays when it
    // still leads to the adapter (a by-id link always does). Where no listed port reports the
    // identity, the name decides as it does without one.
    int indexOfRemembered(const QString& nameOrPath, const PortIdentity& identity = {});

    // DiscoveryHost
    void showProgress(const QString& text) override;
    int portCount() const override;
    QString portName(int index) const override;
    void selectPort(int index) override;
    QString portText() const override;

Q_SIGNALS:
    // A line for the start-up screen while the search runs.
    void progress(const QString& text);
    // Why the chosen port could not be opened (for status bar panel 0).
    void openFailed(const QString& reason);
    // The live link now uses another device.
    void portChanged(const QString& path);

private:
    void onUserChoice();
    // The live link opened its meter's adapter again under another name: the box shows it.
    void followMovedPort(const QString& path);
    int indexOfRememberedName(const QString& nameOrPath);
    void applyPortChange();
    void switchPort();
    int addTypedPath(const QString& path);

    LiveLink& m_link;
    QComboBox* m_box;
    QTimer m_settle;            // collects the box's requests of one moment
    bool m_switching = false;   // a port change is under way
    bool m_switchAgain = false; // another one was asked for meanwhile
};
