#pragma once

#include "datafileprogress.h"

#include <QElapsedTimer>
#include <QPointer>

#include <functional>

class QObject;
class RangeProgressDialog;

// A range-and-progress dialog as the progress of a long step that runs on the GUI thread (a
// save, an open, a list graph).
//
// advance() is called once per row. It tests the dialog's Cancel every time, but shows the
// count and lets the user interface service its input (repaint, the Cancel button) only every
// few tens of milliseconds: a million rows must not mean a million repaints. The step's data
// may belong to a window the user closes meanwhile; once the watched object is gone, advance()
// stops the step as Cancel would, before the step touches the data again.
class DialogProgress : public DataFileProgress {
public:
    // `show` writes a count into the dialog; `watched` is the object whose data the step
    // reads or fills. Without `cancellable`, Cancel is not offered and not honoured.
    DialogProgress(RangeProgressDialog* dialog, QObject* watched, std::function<void(qint64)> show,
                   bool cancellable = true);

    static constexpr int IntervalMs = 40;

    bool advance(qint64 done) override;
    // Shows the last count (the step ends between two services).
    void finish();
    bool stopped() const { return m_stopped; }

private:
    bool cancelled() const;

    QPointer<RangeProgressDialog> m_dialog;
    QPointer<QObject> m_watched;
    std::function<void(qint64)> m_show;
    bool m_cancellable;
    bool m_stopped = false;
    qint64 m_last = 0;
    QElapsedTimer m_since;
};
