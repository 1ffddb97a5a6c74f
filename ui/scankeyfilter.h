#ifndef SCANKEYFILTER_H
#define SCANKEYFILTER_H

#include <QElapsedTimer>
#include <QObject>

class QWidget;

// Watches the keys typed into one window, whichever of its widgets has the
// focus, before that widget sees them: Space, Return, Enter and Page Down ask
// for a scan (a foot pedal sends one of them), A for switching automatic
// capture. Held keys repeat nothing, and a second scan key within a moment
// of the first is one press (a pedal that bounces, a double tap), however
// quickly the first scan's save ended. Keys for other windows (a settings
// window, a message box) pass untouched.
class ScanKeyFilter : public QObject
{
    Q_OBJECT

public:
    explicit ScanKeyFilter(QWidget *window);

signals:
    void signalScanKeyPressed();
    void signalAutoCaptureKeyPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    QElapsedTimer m_lastScanKey;
};

#endif
