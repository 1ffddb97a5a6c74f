#include "thread/recognitionworker.h"

#include "pdf/jpegpage.h"
#include "pdf/streamedpdf.h"

#include <QDebug>
#include <QFile>

#include <utility>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kRecognitionNice = 10;

// Nice 10 for this thread only (Linux keeps a nice value per thread): the
// preview and the saves come first. Not 19: on a busy machine a thread at 19
// gets next to nothing, and a close waits for the part of a page Tesseract
// cannot stop (its layout step, loading its data) for half a minute or more;
// a user cannot raise it back.
void lowerThisThreadsPriority()
{
    const pid_t thread = pid_t(::syscall(SYS_gettid));
    if (::setpriority(PRIO_PROCESS, id_t(thread), kRecognitionNice) != 0)
        qDebug("text recognition: cannot lower the thread's priority, it runs at normal priority");
}

} // namespace

RecognitionWorker::RecognitionWorker(const std::atomic<bool> &stop, std::unique_ptr<PageTextReader> reader,
                                     QObject *parent)
    : QObject(parent), m_stop(stop), m_recognizer(std::move(reader))
{
}

void RecognitionWorker::recognize(const RecognitionJob &job)
{
    if (!m_loweredPriority) {
        lowerThisThreadsPriority();
        m_loweredPriority = true;
    }
    emit recognized(run(job));
}

RecognitionResult RecognitionWorker::run(const RecognitionJob &job)
{
    RecognitionResult result;
    result.job = job;
    if (m_stop.load()) {
        result.detail = QStringLiteral("closing");
        return result;
    }
    // Missing language data stays missing for the rest of the run.
    if (m_languagesMissing || !m_recognizer->load()) {
        m_languagesMissing = true;
        result.outcome = RecognitionResult::Outcome::LanguagesMissing;
        result.detail = QString::fromStdString(m_recognizer->error());
        return result;
    }
    auto text = std::make_shared<PageText>();
    switch (m_recognizer->recognizeFile(job.pagePath, *text, &m_stop)) {
    case PageTextReader::Result::Recognized:
        break;
    case PageTextReader::Result::Cancelled:
        result.detail = QStringLiteral("closing");
        return result;
    case PageTextReader::Result::LanguagesMissing:
        m_languagesMissing = true;
        result.outcome = RecognitionResult::Outcome::LanguagesMissing;
        result.detail = QString::fromStdString(m_recognizer->error());
        return result;
    case PageTextReader::Result::Unreadable:
        result.outcome = RecognitionResult::Outcome::Unreadable;
        result.detail = QString::fromStdString(m_recognizer->error());
        return result;
    }
    result.text = text;
    // A page without text keeps the PDF it has.
    if (job.pdfPath.isEmpty() || text->isEmpty()) {
        result.outcome = RecognitionResult::Outcome::TextOnly;
        return result;
    }
    result.outcome = writePdf(job, *text, result.temporaryPath, result.detail)
                         ? RecognitionResult::Outcome::Written
                         : RecognitionResult::Outcome::NotWritten;
    return result;
}

bool RecognitionWorker::writePdf(const RecognitionJob &job, const PageText &text, QString &temporaryPath,
                                 QString &detail) const
{
    QFile file(job.pagePath);
    const QByteArray jpeg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    StreamedPdf pdf(QFile::encodeName(job.pdfPath).toStdString());
    // The PDF as the scan wrote it: the JPEG as it is, or its decoded pixels.
    const jpegpage::Added how = !pdf.open()      ? jpegpage::Added::NotWritten
                                : job.jpegPages ? jpegpage::add(pdf, jpeg, job.pagePath, &text)
                                                : jpegpage::addDecoded(pdf, jpeg, job.pagePath, &text);
    const bool added = how == jpegpage::Added::AsJpeg || how == jpegpage::Added::AsPixels;
    if (!added || !pdf.finishAsTemporary()) {
        detail = QStringLiteral("pdf with text not written: %1")
                     .arg(pdf.error().empty() ? QStringLiteral("page image unreadable")
                                              : QString::fromStdString(pdf.error()));
        return false;
    }
    temporaryPath = QFile::decodeName(QByteArray::fromStdString(pdf.temporaryPath()));
    return true;
}
