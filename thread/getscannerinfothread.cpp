#include "getscannerinfothread.h"

GetScannerInfoThread::GetScannerInfoThread(IMAGEPARAM _img, QString _filePath, QString _FilePDFPath,
                                           int _nFormatType, QObject *parent)
    : QObject(parent), m_img(_img), filePath(_filePath), FilePDFPath(_FilePDFPath), nFormatType(_nFormatType)
{
}

GetScannerInfoThread::~GetScannerInfoThread() = default;

void GetScannerInfoThread::slotSaveImg()
{
    emit signalOver();
}
