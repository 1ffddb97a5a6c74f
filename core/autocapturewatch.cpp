#include "core/autocapturewatch.h"

#include "camera/orvixext.h"
#include "core/capturesession.h"
#include "core/settings.h"
#include "core/settingsfile.h"
#include "core/watchframe.h"

#include <QDebug>
#include <QMutexLocker>

namespace {

// The page outline the camera draws on the preview, in the pixels of a
// `reduced` copy of the frame (empty when it sees no page); false when it
// draws none (cropping off, a camera outside the Tarvo family).
bool drawnOutline(const QSize &reduced, QPolygonF &outline)
{
    double xy[8];
    int width = 0, height = 0;
    const int seen = Orvix_PreviewOutline(xy, &width, &height);
    if (seen < 0 || width <= 0 || height <= 0)
        return false;
    outline.clear();
    if (seen == 1)
        for (int i = 0; i < 4; ++i)
            outline << QPointF(xy[2 * i] * reduced.width() / width, xy[2 * i + 1] * reduced.height() / height);
    return true;
}

// The large grey copy a page at rest is compared on, from the frame now in view.
QImage detailOfFrame()
{
    QMutexLocker locker(&MutexCamDataBuffLock);
    return g_Camimage ? reduceForWatching(*g_Camimage, AutoCapture::kDetailWidth) : QImage();
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

void AutoCaptureWatch::markScanned()
{
    if (m_on)
        m_watcher.markScanned(detailOfFrame());
}

bool AutoCaptureWatch::newPageAtRest()
{
    if (!m_on)
        return false;
    const qint64 now = m_clock.elapsed();
    if (!m_watcher.wantsFrame(now))
        return false;
    QImage grey;
    {
        QMutexLocker locker(&MutexCamDataBuffLock);
        if (!g_Camimage)
            return false;
        grey = reduceForWatching(*g_Camimage, AutoCapture::kWatchWidth);
    }
    // Where the camera outlines the page, a hand over it breaks the outline.
    QPolygonF outline;
    const bool outlined = drawnOutline(grey.size(), outline);
    return m_watcher.feed(grey, now, outlined ? &outline : nullptr, detailOfFrame);
}
