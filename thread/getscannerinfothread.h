#ifndef GETSCANNERINFOTHREAD_H
#define GETSCANNERINFOTHREAD_H

#include "camsdk.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// Saves one scan away from the GUI thread: capture to JPEG and, for the
// single-page PDF format, the PDF beside it. Lives on its own QThread.
class GetScannerInfoThread : public QObject
{
    Q_OBJECT

public:
    GetScannerInfoThread(IMAGEPARAM _img, QString _filePath, QString _FilePDFPath, int _nFormatType,
                         QObject *parent = nullptr);
    ~GetScannerInfoThread() override;

signals:
    void signalOver();

public slots:
    void slotSaveImg();

private:
    friend class TestSaveWorker;

    ImageParam m_img;
    QString filePath;
    QString FilePDFPath;
    int nFormatType;
    // The watermark text the record points into, owned for the capture's life.
    QByteArray m_waterContent;
};

#endif
