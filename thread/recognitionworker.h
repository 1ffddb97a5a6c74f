// Reads the text of stored pages, one at a time, on a thread of its own at
// low priority, and writes each PDF again with its text beside the
// old one. Renaming it over the old one is left to the owner of the page
// list: only it knows whether the page is still listed.
#ifndef RECOGNITIONWORKER_H
#define RECOGNITIONWORKER_H

#include "pdf/pagetext.h"
#include "thread/pagetextreader.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

struct RecognitionJob
{
    quint64 pageKey = 0;
    QString pagePath;   // the JPEG the text is read from
    QString pdfPath;    // the PDF to write again with the text; empty: text only
    bool jpegPages = false; // the PDF carries the JPEG as it is, else its pixels
};

struct RecognitionResult
{
    enum class Outcome {
        Written,          // text found and a PDF with it waits in temporaryPath
        TextOnly,         // text found (or none on the page); no PDF to write
        LanguagesMissing, // nothing read: the language data is not installed
        Unreadable,       // the page image is gone or damaged
        NotWritten,       // text found, but the PDF with it could not be written
        Dropped,          // stopped by closing
    };
    RecognitionJob job;
    Outcome outcome = Outcome::Dropped;
    std::shared_ptr<const PageText> text;
    QString temporaryPath;
    QString detail; // English, for trace lines
};

class RecognitionWorker : public QObject
{
    Q_OBJECT

public:
    // `stop` is set by the owner when closing; a page in progress ends soon
    // after. The reader is used on the worker's thread only.
    RecognitionWorker(const std::atomic<bool> &stop, std::unique_ptr<PageTextReader> reader,
                      QObject *parent = nullptr);

public slots:
    void recognize(const RecognitionJob &job);

signals:
    void recognized(const RecognitionResult &result);

private:
    RecognitionResult run(const RecognitionJob &job);
    bool writePdf(const RecognitionJob &job, const PageText &text, QString &temporaryPath, QString &detail) const;

    const std::atomic<bool> &m_stop;
    std::unique_ptr<PageTextReader> m_recognizer;
    bool m_languagesMissing = false;
    bool m_loweredPriority = false;
};

Q_DECLARE_METATYPE(RecognitionJob)
Q_DECLARE_METATYPE(RecognitionResult)

#endif
