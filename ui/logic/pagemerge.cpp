#include "pagemerge.h"

#include "decodedjpeg.h"
#include "hpdfoperation.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>

#include <cstdio>
#include <limits>

int mergeJpegPages(const QStringList &entries, const QString &pdfPath)
{
    hpdfoperation pdfop;
    const QByteArray destFile = pdfPath.toUtf8();
    int pages = 0;
    for (const QString &entry : entries) {
        // Any length: the UTF-8 copy is as long as the path.
        const QByteArray jpgPath = entry.toUtf8();
        printf("jpgPath is %s\n", jpgPath.constData());
        if (entry.right(3) != QLatin1String("jpg"))
            continue;

        QFile file(entry);
        const QByteArray pData = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const DecodedJpeg page = decodeJpegBytes(pData);
        printf("Cam_readBufFromJpeg width is %d,height is %d\n", int(page.width), int(page.height));
        if (page.isNull() || page.width > std::numeric_limits<int>::max() ||
            page.height > std::numeric_limits<int>::max()) {
            qDebug() << "merge stopped after" << pages << "pages: cannot read or decode" << entry;
            break;
        }
        // The writer rewrites the whole document each time, so the file on
        // disk always holds every page added so far.
        const int written = pdfop.rgb2pdf(page.pixels.get(), int(page.width), int(page.height),
                                          destFile.constData(), 0, int(pData.size()));
        if (written == 0)
            ++pages;
        else
            qDebug() << "merge: page" << entry << "not written to" << pdfPath << "code" << written;
    }
    fflush(stdout);
    return pages;
}
