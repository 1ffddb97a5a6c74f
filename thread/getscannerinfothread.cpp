#include "thread/getscannerinfothread.h"

#include "pdf/decodedjpeg.h"
#include "pdf/jpegpage.h"
#include "thread/fileformat.h"
#include "thread/pagefolder.h"
#include "pdf/hpdfoperation.h"
#include "pdf/streamedpdf.h"
#include "camera/orvixext.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <limits>

#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Free space below this counts as a full disk when the library's write failed.
constexpr unsigned long long kNearlyFullBytes = 256 * 1024;

// The reason a folder cannot take a new file, as an errno; 0 when it looks fine.
int folderProblem(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::access(path.constData(), W_OK) != 0)
        return errno;
    struct statvfs fs;
    if (::statvfs(path.constData(), &fs) == 0 &&
        (unsigned long long)fs.f_bavail * fs.f_frsize < kNearlyFullBytes)
        return ENOSPC;
    return 0;
}

} // namespace

GetScannerInfoThread::GetScannerInfoThread(IMAGEPARAM _img, QString _filePath, QString _FilePDFPath,
                                           int _nFormatType, QObject *parent)
    : QObject(parent), m_img(_img), filePath(_filePath), FilePDFPath(_FilePDFPath), nFormatType(_nFormatType)
{
    // The caller's text only lives until its slot returns; the capture runs
    // later on another thread, so the record points into our own copy.
    if (_img.szWaterContent) {
        m_waterContent = QByteArray(_img.szWaterContent);
        m_img.szWaterContent = m_waterContent.data();
    }
}

GetScannerInfoThread::~GetScannerInfoThread() = default;

bool GetScannerInfoThread::waitUntilSaved(int ms)
{
    if (!m_saved.tryAcquire(1, ms))
        return false;
    m_saved.release();
    return true;
}

void GetScannerInfoThread::slotSaveImg()
{
    m_outcome = save();
    if (!m_outcome.written)
        qDebug("save of %s failed: %s\n", qUtf8Printable(m_outcome.path), qUtf8Printable(m_outcome.detail));
    // Released after the end is queued to the window, so a window that
    // waited for it finds the end already in its queue.
    emit signalOver();
    m_saved.release();
}

SaveOutcome GetScannerInfoThread::captureFailure(const QString &shownPath, int result) const
{
    const QString detail = QStringLiteral("capture result %1: %2").arg(result).arg(QString::fromUtf8(Orvix_LastError()));
    // The library's file writer hands over the errno of its failed call; a
    // camera that failed leaves none.
    const int writeError = Orvix_LastErrorNumber();
    const int problem = folderProblem(QFileInfo(filePath).absolutePath());
    if (problem)
        return SaveOutcome::failure(shownPath, fileFailureReason(problem), detail);
    if (writeError)
        return SaveOutcome::failure(shownPath, fileFailureReason(writeError), detail);
    return SaveOutcome::failure(shownPath, QStringLiteral("扫描仪未能拍摄页面"), detail);
}

SaveOutcome GetScannerInfoThread::save()
{
    // The scan decided the format; the camera writes a JPEG whatever the
    // name, so the name is not asked again.
    const bool pdf = fileformat::isPdfFormat(nFormatType);
    const QString shownPath = pdf ? FilePDFPath : filePath;

    // A folder picked in an earlier run (or the documents folder on a fresh
    // system) may not exist yet: make it rather than lose the page.
    const QString folder = QFileInfo(shownPath).absolutePath();
    if (!QDir().mkpath(folder))
        return SaveOutcome::failure(shownPath, QStringLiteral("无法创建文件夹 %1").arg(folder),
                                    QStringLiteral("cannot create folder %1").arg(folder));
    QString pageFolderProblem;
    if (pdf && !pagefolder::prepare(&pageFolderProblem))
        return SaveOutcome::failure(shownPath, QStringLiteral("页面缓存文件夹 %1 无法使用").arg(pagefolder::path()),
                                    QStringLiteral("page folder not usable: %1").arg(pageFolderProblem));

    const QByteArray jpegPath = filePath.toUtf8();
    qDebug("filepath is %s\n", jpegPath.constData());
    QStringList pages;
    const int captured = capturePages(jpegPath, pdf, pages);
    const QByteArray pdfPath = FilePDFPath.toUtf8();
    qDebug("pdf is %s\n", pdfPath.constData());
    if (captured != 0 || pages.isEmpty() || !QFileInfo::exists(pages.first()))
        return captureFailure(shownPath, captured);
    if (pages.first() != filePath)
        qDebug("%s was taken meanwhile, the page is %s\n", jpegPath.constData(), qUtf8Printable(pages.first()));
    if (pages.size() > 1)
        qDebug("book spread split into %s and %s\n", qUtf8Printable(pages.at(0)), qUtf8Printable(pages.at(1)));

    if (!pdf) {
        SaveOutcome outcome = SaveOutcome::success(pages.first(), pages.first());
        if (pages.size() > 1)
            outcome.secondPath = outcome.secondPagePath = pages.at(1);
        return outcome;
    }
    const SaveOutcome outcome = writePdfs(pages);
    // A page image no row points to goes at once.
    if (!outcome.written)
        for (const QString &page : pages)
            pagefolder::removePage(page);
    return outcome;
}

SaveOutcome GetScannerInfoThread::writeJpegPdf(const QString &jpegWritten, const QString &pdfPath) const
{
    QFile file(jpegWritten);
    const QByteArray jpeg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    StreamedPdf pdf(QFile::encodeName(pdfPath).toStdString());
    const jpegpage::Added added = pdf.open() ? jpegpage::add(pdf, jpeg, jpegWritten) : jpegpage::Added::NotWritten;
    if (added == jpegpage::Added::Unreadable)
        return SaveOutcome::failure(pdfPath, QStringLiteral("拍摄的页面无法读取"),
                                    QStringLiteral("%1 is missing or not a JPEG").arg(jpegWritten));
    if (added == jpegpage::Added::NotWritten || !pdf.finish())
        return SaveOutcome::failure(pdfPath, fileFailureReason(pdf.errorNumber()),
                                    QStringLiteral("pdf not written: %1").arg(QString::fromStdString(pdf.error())));
    return SaveOutcome::success(QFile::decodeName(QByteArray::fromStdString(pdf.writtenPath())), jpegWritten);
}

int GetScannerInfoThread::capturePages(const QByteArray &jpegPath, bool pdf, QStringList &written) const
{
    // A stamp keeps its length when it moves on, so the names written fit.
    QByteArray used(jpegPath.size() + 1, '\0');
    const int flags = pdf ? ORVIX_FILE_PRIVATE : 0;
    if (!m_bookMode) {
        const int rc = Orvix_CameraCaptureNewFile(0, jpegPath.constData(), m_img, flags, used.data(), used.size());
        if (rc == 0)
            written << QString::fromUtf8(used.constData());
        return rc;
    }
    QByteArray right(jpegPath.size() + 1, '\0');
    int count = 0;
    const int rc = Orvix_CameraCaptureBookFiles(0, jpegPath.constData(), m_img, flags, used.data(), right.data(),
                                                used.size(), &count);
    if (rc == 0 && count >= 1)
        written << QString::fromUtf8(used.constData());
    if (rc == 0 && count >= 2)
        written << QString::fromUtf8(right.constData());
    return rc;
}

SaveOutcome GetScannerInfoThread::writePdfs(const QStringList &jpegs) const
{
    SaveOutcome first = writePdf(jpegs.first(), FilePDFPath);
    if (!first.written || jpegs.size() < 2)
        return first;
    // The right page's PDF is named after its own page image, beside the left's.
    const QString rightPdf = QFileInfo(FilePDFPath).absolutePath() + QLatin1Char('/') +
                             QFileInfo(jpegs.at(1)).completeBaseName() + QStringLiteral(".pdf");
    const SaveOutcome second = writePdf(jpegs.at(1), rightPdf);
    if (!second.written) {
        // Half a spread is not kept: the book is still there to scan again.
        QFile::remove(first.path);
        return second;
    }
    first.secondPath = second.path;
    first.secondPagePath = second.pagePath;
    return first;
}

SaveOutcome GetScannerInfoThread::writePdf(const QString &jpegWritten, const QString &pdfPath) const
{
    if (m_jpegPdfPages)
        return writeJpegPdf(jpegWritten, pdfPath);
    const DecodedJpeg page = decodeJpegFile(jpegWritten);
    if (page.isNull())
        return SaveOutcome::failure(pdfPath, QStringLiteral("拍摄的页面无法读取"),
                                    QStringLiteral("%1 is missing or not a JPEG").arg(jpegWritten));
    if (page.width > std::numeric_limits<int>::max() || page.height > std::numeric_limits<int>::max() ||
        page.width * page.height > std::numeric_limits<int>::max())
        return SaveOutcome::failure(pdfPath, QStringLiteral("页面过大，无法写入PDF"),
                                    QStringLiteral("page too large for a PDF: %1x%2").arg(page.width).arg(page.height));
    hpdfoperation writer;
    writer.setNewFile(true);
    const int w = int(page.width);
    const int h = int(page.height);
    const int result = writer.rgb2pdf(page.pixels.get(), w, h, pdfPath.toUtf8().constData(), 0, w * h);
    if (result != 0)
        return SaveOutcome::failure(pdfPath, fileFailureReason(writer.lastErrno()),
                                    QStringLiteral("pdf not written (%1): %2")
                                        .arg(result)
                                        .arg(QString::fromStdString(writer.lastError())));
    return SaveOutcome::success(QString::fromStdString(writer.writtenPath()), jpegWritten);
}
