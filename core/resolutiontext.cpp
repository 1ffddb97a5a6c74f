#include "core/resolutiontext.h"

#include "camera/camsdk.h"

#include <QDebug>

namespace ResolutionText {

QString format(long width, long height)
{
    return QString("%1x%2").arg(width).arg(height);
}

QStringList listForDevice(long device)
{
    QStringList list;
    long count = 0;
    if (Cam_GetCameraResolutionCount(device, 0, &count) != ORVIX_OK || count < 0)
        count = 0;
    qDebug("GetCameraResolution is %d\n", int(count));
    for (long j = 0; j < count; ++j) {
        long width = 0;
        long height = 0;
        if (Cam_GetCameraResolutionName(j, &width, &height) != ORVIX_OK) {
            qDebug("resolution %ld of device %ld could not be read, skipped", j, device);
            continue;
        }
        qDebug("GetCameraResolutionName Width is %d,Height is %d\n", int(width), int(height));
        list.append(format(width, height));
    }
    return list;
}

} // namespace ResolutionText

bool parseResolution(const QString &text, int *width, int *height)
{
    const QStringList parts = text.split('x');
    if (parts.size() != 2)
        return false;
    bool okW = false;
    bool okH = false;
    const int w = parts.at(0).toInt(&okW, 10);
    const int h = parts.at(1).toInt(&okH, 10);
    if (!okW || !okH || w <= 0 || h <= 0)
        return false;
    if (width)
        *width = w;
    if (height)
        *height = h;
    return true;
}
