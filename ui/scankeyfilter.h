#ifndef SCANKEYFILTER_H
#define SCANKEYFILTER_H

#include "core/heldkeygate.h"

#include <QElapsedTimer>
#include <QObject>

class QKeyEvent;
class QPushButton;
class QWidget;

// Watches the keys typed into one window, whichever of its widgets has the
// focus, before that widget sees them. Page Down and the camera's snapshot
// button ask for a scan; Space, Return and Enter press the push button that
// has the keyboard focus and otherwise ask for a scan too (a foot pedal
// sends one of them); A switches automatic capture. A held key acts once,
// and a key acts again only after it has been up for a moment (see
// HeldKeyGate), however quickly the first scan's save ended. Keys for other
// windows (a settings window, a message box) pass untouched.
class ScanKeyFilter : public QObject
{
    Q_OBJECT

public:
    explicit ScanKeyFilter(QWidget *window);

signals:
    void signalScanKeyPressed();
    void signalFocusedButtonKeyPressed(QPushButton *button);
    void signalAutoCaptureKeyPressed();
    void signalBookModeKeyPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Role { None, Scan, ScanOrButton, AutoCapture, BookMode };
    static Role roleOf(const QKeyEvent &key);
    quint32 timeOf(const QKeyEvent &key) const;
    void onPress(QWidget *receiver, Role role);

    QWidget *m_window;
    // Event times where the platform gives them (X does); this clock otherwise.
    QElapsedTimer m_clock;
    HeldKeyGate m_scanKeys;
    HeldKeyGate m_autoCaptureKey;
    HeldKeyGate m_bookModeKey;
};

#endif
