#include "ui/scankeyfilter.h"

#include <QDebug>
#include <QKeyEvent>
#include <QWidget>

namespace {
// Two scan keys closer than this are one press.
constexpr qint64 kSamePressMs = 250;
} // namespace

ScanKeyFilter::ScanKeyFilter(QWidget *window) : QObject(window), m_window(window) {}

bool ScanKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    if (static_cast<QWidget *>(watched)->window() != m_window)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return false; // leave shortcuts such as Ctrl+A alone
    switch (key->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_PageDown:
        if (key->isAutoRepeat())
            return true;
        if (m_lastScanKey.isValid() && m_lastScanKey.elapsed() < kSamePressMs) {
            qDebug("scan key ignored: %d ms after the last, the same press\n", int(m_lastScanKey.elapsed()));
            return true;
        }
        m_lastScanKey.start();
        emit signalScanKeyPressed();
        return true;
    case Qt::Key_A:
        if (!key->isAutoRepeat())
            emit signalAutoCaptureKeyPressed();
        return true;
    default:
        return false;
    }
}
