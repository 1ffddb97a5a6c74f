#ifndef GETSCANNERINFOTHREAD_H
#define GETSCANNERINFOTHREAD_H

#include "camera/camsdk.h"
#include "thread/saveoutcome.h"

#include <QByteArray>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QStringList>

// Saves one scan away from the GUI thread: capture to JPEG and, for the
// single-page PDF format, the PDF beside it. Lives on its own QThread.
class GetScannerInfoThread : public QObject
{
    Q_OBJECT

public:
    // `_nFormatType`: a format code of thread/fileformat.h; only the
    // single-page PDF's makes a PDF, else the JPEG is the result.
    GetScannerInfoThread(IMAGEPARAM _img, QString _filePath, QString _FilePDFPath, int _nFormatType,
                         QObject *parent = nullptr);
    // Book mode: the open book is split into its left and right pages.
    void setBookMode(bool on) { m_bookMode = on; }
    ~GetScannerInfoThread() override;

    // Whether the file the user asked for was written, and why not. Valid
    // once signalOver() was emitted (or waitUntilSaved returned true).
    SaveOutcome outcome() const { return m_outcome; }
    // Blocks the caller until the save has ended; false on timeout (ms < 0: none).
    bool waitUntilSaved(int ms = -1);
    // The PDF's page carries the captured JPEG as it is (set before the start).
    void setJpegPdfPages(bool on) { m_jpegPdfPages = on; }
    // The processing record the capture is handed; its watermark text is the worker's own copy.
    const ImageParam &record() const { return m_img; }

signals:
    void signalOver();

public slots:
    void slotSaveImg();

private:
    SaveOutcome save();
    // The pages the camera wrote, left first; the shown path's result on failure.
    int capturePages(const QByteArray &jpegPath, bool pdf, QStringList &written) const;
    SaveOutcome writePdf(const QString &jpegWritten, const QString &pdfPath) const;
    SaveOutcome writePdfs(const QStringList &jpegs) const;
    SaveOutcome writeJpegPdf(const QString &jpegWritten, const QString &pdfPath) const;
    SaveOutcome captureFailure(const QString &shownPath, int result) const;

    ImageParam m_img;
    QString filePath;
    QString FilePDFPath;
    int nFormatType;
    bool m_jpegPdfPages = false;
    bool m_bookMode = false;
    // The watermark text the record points into, owned for the capture's life.
    QByteArray m_waterContent;
    SaveOutcome m_outcome;
    QSemaphore m_saved;
};

#endif
