#include "core/autocapturewatch.h"

#include "core/settings.h"
#include "core/settingsfile.h"
#include "core/watchframe.h"

#include <QDebug>

namespace {

// The page outline the camera drew on `frame`, in the pixels of a `reduced`
// copy of it (empty when it saw no page); false when it draws none (cropping
// off, a camera outside the Tarvo family).
bool drawnOutline(const CaptureSession::Frame &frame, const QSize &reduced, QPolygonF &outline)
{
    const QSize space = frame.outlineSpace;
    if (!frame.outlineDrawn || space.width() <= 0 || space.height() <= 0)
        return false;
    outline.clear();
    for (const QPointF &corner : frame.outline)
        outline << QPointF(corner.x() * reduced.width() / space.width(),
                           corner.y() * reduced.height() / space.height());
    return true;
}

// The large grey copy a page at rest is compared on.
QImage detailOf(const QImage &frame)
{
    return frame.isNull() ? QImage() : reduceForWatching(frame, AutoCapture::kDetailWidth);
}

} // namespace

AutoCaptureWatch::AutoCaptureWatch()
{
    // Without a file the table's value: off.
    m_on = SettingsFile().read().values.autoCapture;
    m_clock.start();
}

void AutoCaptureWatch::toggle()
{
    m_on = !m_on;
    m_watcher.reset();
    qDebug("automatic capture %s\n", m_on ? "on" : "off");
    Settings choice;
    choice.autoCapture = m_on;
    SettingsFile().setExtraValue(Settings::Key::AutoCapture, choice);
}

void AutoCaptureWatch::markScanned(const CaptureSession::Frame &frame)
{
    if (m_on)
        m_watcher.markScanned(detailOf(frame.image));
}

bool AutoCaptureWatch::newPageAtRest(const CaptureSession::Frame &frame)
{
    if (!m_on)
        return false;
    const qint64 now = m_clock.elapsed();
    if (!m_watcher.wantsFrame(now) || frame.image.isNull())
        return false;
    const QImage grey = reduceForWatching(frame.image, AutoCapture::kWatchWidth);
    // Where the camera outlines the page, a hand over it breaks the outline.
    QPolygonF outline;
    const bool outlined = drawnOutline(frame, grey.size(), outline);
    return m_watcher.feed(grey, now, outlined ? &outline : nullptr, [&frame] { return detailOf(frame.image); });
}
