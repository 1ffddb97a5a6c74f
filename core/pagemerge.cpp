#include "core/pagemerge.h"

#include "pdf/decodedjpeg.h"
#include "pdf/jpegpage.h"
#include "pdf/streamedpdf.h"
#include "pdf/hpdfoperation.h"
#include "thread/saveoutcome.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>

#include <cstdio>
#include <functional>
#include <limits>

QString MergeResult::message(const QString &pdfPath) const
{
    if (!stoppedEarly())
        return QString();
    if (pagesWritten == 0)
        return QStringLiteral("合并失败：%1，未生成PDF文件（共 %2 页）。").arg(reason).arg(pagesWanted);
    return QStringLiteral("合并未完成：%1。文件 %2 只包含前 %3 页（共 %4 页）。")
        .arg(reason, pdfPath)
        .arg(pagesWritten)
        .arg(pagesWanted);
}

namespace {

int jpegPageCount(const QList<StoredPages::Page> &pages)
{
    int count = 0;
    for (const StoredPages::Page &page : pages) {
        if (page.jpegPage)
            ++count;
    }
    return count;
}

void stopAt(MergeResult &result, const QString &entry, const QString &reason)
{
    result.stopEntry = entry;
    result.reason = reason;
}

QString unreadableReason(const QString &entry)
{
    return QFile::exists(entry) ? QStringLiteral("页面 %1 无法读取").arg(entry)
                                : QStringLiteral("页面 %1 已不存在").arg(entry);
}

} // namespace

MergeResult mergeJpegPages(const QList<StoredPages::Page> &pages, const QString &pdfPath, fileio::FileOps &ops,
                           QString *writtenPath)
{
    MergeResult result;
    result.pagesWanted = jpegPageCount(pages);

    hpdfoperation pdfop(ops);
    pdfop.setNewFile(true);
    const QByteArray destFile = pdfPath.toUtf8();
    for (const StoredPages::Page &stored : pages) {
        const QString &entry = stored.pagePath;
        // Any length: the UTF-8 copy is as long as the path.
        const QByteArray jpgPath = entry.toUtf8();
        printf("jpgPath is %s\n", jpgPath.constData());
        // The scan knows what it wrote; the name is not asked.
        if (!stored.jpegPage)
            continue;

        QFile file(entry);
        const QByteArray pData = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const DecodedJpeg page = decodeJpegBytes(pData);
        printf("Cam_readBufFromJpeg width is %d,height is %d\n", int(page.width), int(page.height));
        if (page.isNull() || page.width > std::numeric_limits<int>::max() ||
            page.height > std::numeric_limits<int>::max()) {
            qDebug() << "merge stopped after" << result.pagesWritten << "pages: cannot read or decode" << entry;
            stopAt(result, entry, unreadableReason(entry));
            break;
        }
        // The writer replaces the whole file each time, so the file on disk
        // always holds every page added so far; after a failed page it keeps
        // the earlier ones and refuses the rest, so the loop ends there.
        const int written = pdfop.rgb2pdf(page.pixels.get(), int(page.width), int(page.height),
                                          destFile.constData(), 0, int(pData.size()));
        if (written != 0) {
            qDebug() << "merge stopped after" << result.pagesWritten << "pages: page" << entry << "not written to"
                     << pdfPath << "code" << written << QString::fromStdString(pdfop.lastError());
            stopAt(result, entry, fileFailureReason(pdfop.lastErrno()));
            break;
        }
        ++result.pagesWritten;
    }
    if (writtenPath && !pdfop.writtenPath().empty())
        *writtenPath = QString::fromStdString(pdfop.writtenPath());
    fflush(stdout);
    return result;
}

MergeResult mergeJpegPagesAsIs(const QList<StoredPages::Page> &pages, const QString &pdfPath, fileio::FileOps &ops,
                               QString *writtenPath)
{
    return mergePagesWithText(pages, pdfPath, nullptr, true, ops, writtenPath);
}

MergeResult mergePagesWithText(const QList<StoredPages::Page> &pages, const QString &pdfPath,
                               const std::function<const PageText *(const StoredPages::Page &)> &textOf,
                               bool jpegPages, fileio::FileOps &ops, QString *writtenPath)
{
    MergeResult result;
    result.pagesWanted = jpegPageCount(pages);
    StreamedPdf pdf(QFile::encodeName(pdfPath).toStdString(), ops);
    // Made with the first JPEG page: a list without one writes nothing.
    bool opened = false;
    bool complete = true;
    for (const StoredPages::Page &stored : pages) {
        const QString &entry = stored.pagePath;
        printf("jpgPath is %s\n", entry.toUtf8().constData());
        if (!stored.jpegPage)
            continue;
        if (!opened && !(opened = pdf.open())) {
            stopAt(result, pdfPath, fileFailureReason(pdf.errorNumber()));
            complete = false;
            break;
        }
        QFile file(entry);
        const QByteArray jpeg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const PageText *text = textOf ? textOf(stored) : nullptr;
        const jpegpage::Added added = jpegPages ? jpegpage::add(pdf, jpeg, entry, text)
                                                : jpegpage::addDecoded(pdf, jpeg, entry, text);
        if (added == jpegpage::Added::Unreadable || added == jpegpage::Added::NotWritten) {
            stopAt(result, entry, added == jpegpage::Added::Unreadable ? unreadableReason(entry)
                                                                       : fileFailureReason(pdf.errorNumber()));
            complete = false;
            break;
        }
    }
    if (opened && complete && !pdf.finish()) {
        stopAt(result, pdfPath, fileFailureReason(pdf.errorNumber()));
        complete = false;
    }
    if (complete) {
        result.pagesWritten = result.pagesWanted;
        if (writtenPath && opened)
            *writtenPath = QFile::decodeName(QByteArray::fromStdString(pdf.writtenPath()));
    } else {
        qDebug() << "merge wrote no file:" << result.reason << QString::fromStdString(pdf.error());
    }
    fflush(stdout);
    return result;
}
