#include "ui/scankeyfilter.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

ScanKeyFilter::ScanKeyFilter(QWidget *window) : QObject(window), m_window(window)
{
    m_clock.start();
}

ScanKeyFilter::Role ScanKeyFilter::roleOf(const QKeyEvent &key)
{
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return Role::None; // leave shortcuts such as Ctrl+A alone
    switch (key.key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Role::ScanOrButton;
    case Qt::Key_PageDown:
    case Qt::Key_WebCam: // a camera's snapshot button under X
    case Qt::Key_Camera: // the same elsewhere
        return Role::Scan;
    case Qt::Key_A:
        return Role::AutoCapture;
    case Qt::Key_B:
        return Role::BookMode;
    default:
        return Role::None;
    }
}

quint32 ScanKeyFilter::timeOf(const QKeyEvent &key) const
{
    return key.timestamp() ? quint32(key.timestamp()) : quint32(m_clock.elapsed());
}

bool ScanKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ApplicationDeactivate) {
        // Keys released in another program never reach us.
        m_scanKeys.forgetHeldKeys();
        m_autoCaptureKey.forgetHeldKeys();
        m_bookModeKey.forgetHeldKeys();
        return false;
    }
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWidgetType())
        return false;
    const auto &key = *static_cast<QKeyEvent *>(event);
    const Role role = roleOf(key);
    if (role == Role::None)
        return false;
    HeldKeyGate &gate = role == Role::AutoCapture ? m_autoCaptureKey
                        : role == Role::BookMode  ? m_bookModeKey
                                                  : m_scanKeys;
    // Every window's keys count for what is held: a key may go down here
    // and come up over a box that opened meanwhile.
    if (type == QEvent::KeyRelease) {
        gate.release(timeOf(key), key.isAutoRepeat());
        return false;
    }
    const bool newPress = gate.press(timeOf(key), key.isAutoRepeat());
    auto *receiver = static_cast<QWidget *>(watched);
    if (receiver->window() != m_window)
        return false;
    if (newPress)
        onPress(receiver, role);
    return true;
}

void ScanKeyFilter::onPress(QWidget *receiver, Role role)
{
    if (role == Role::AutoCapture) {
        emit signalAutoCaptureKeyPressed();
        return;
    }
    if (role == Role::BookMode) {
        emit signalBookModeKeyPressed();
        return;
    }
    // Keys go to the focus widget: a push button here has it.
    auto *button = qobject_cast<QPushButton *>(receiver);
    if (role == Role::ScanOrButton && button && button->isEnabled())
        emit signalFocusedButtonKeyPressed(button);
    else
        emit signalScanKeyPressed();
}
