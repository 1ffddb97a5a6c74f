#include "core/pagerecognition.h"

#include "core/textrecognizer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>

#include <cstdio>

PageRecognition::PageRecognition(StoredPages &pages, QObject *parent) : QObject(parent), m_pages(pages)
{
    qRegisterMetaType<RecognitionJob>("RecognitionJob");
    qRegisterMetaType<RecognitionResult>("RecognitionResult");
    m_worker = new RecognitionWorker(m_stop, std::make_unique<TextRecognizer>());
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &RecognitionWorker::recognized, this, &PageRecognition::onRecognized);
    m_thread.setObjectName(QStringLiteral("text recognition"));
}

PageRecognition::~PageRecognition()
{
    finish(0);
}

void PageRecognition::add(quint64 pageKey, const QString &pagePath, const QString &pdfPath, bool jpegPages)
{
    if (m_finished)
        return;
    if (!m_thread.isRunning()) {
        TextRecognizer::useCNumbers();
        m_thread.start();
    }
    RecognitionJob job;
    job.pageKey = pageKey;
    job.pagePath = pagePath;
    job.pdfPath = pdfPath;
    job.jpegPages = jpegPages;
    ++m_pending[pagePath];
    QMetaObject::invokeMethod(m_worker, "recognize", Qt::QueuedConnection, Q_ARG(RecognitionJob, job));
}

const PageText *PageRecognition::textOf(const QString &pagePath) const
{
    const auto found = m_texts.constFind(pagePath);
    return found == m_texts.constEnd() ? nullptr : found.value().get();
}

int PageRecognition::pendingCount() const
{
    int count = 0;
    for (const int pending : m_pending)
        count += pending;
    return count;
}

void PageRecognition::waitFor(const QStringList &pagePaths, const std::function<void(int, int)> &progress)
{
    auto waiting = [&] {
        int count = 0;
        for (const QString &path : pagePaths)
            count += isPending(path) ? 1 : 0;
        return count;
    };
    const int total = waiting();
    if (total == 0)
        return;
    QEventLoop loop;
    const auto step = connect(this, &PageRecognition::pageDone, &loop, [&] {
        const int left = waiting();
        if (progress)
            progress(total - left, total);
        if (left == 0)
            loop.quit();
    });
    if (progress)
        progress(0, total);
    loop.exec();
    disconnect(step);
}

void PageRecognition::finish(int graceMs)
{
    if (m_finished)
        return;
    m_finished = true;
    // Only our own results are taken meanwhile: a close may come from a
    // window's destructor, where no other event may be delivered.
    const QDeadlineTimer deadline(graceMs);
    while (m_thread.isRunning() && pendingCount() > 0 && !deadline.hasExpired()) {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        if (pendingCount() > 0)
            QThread::msleep(20);
    }
    m_stop.store(true);
    m_thread.quit();
    m_thread.wait();
    // Its thread has ended, or never started: nothing else can reach it.
    delete m_worker;
    m_worker = nullptr;
    // What the worker said before it ended is still in our queue.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (!m_dropped.isEmpty())
        qDebug("text recognition: closing, dropped for %s; their PDFs stay without text\n",
               qUtf8Printable(m_dropped.join(QStringLiteral(", "))));
}

bool PageRecognition::stillListed(const RecognitionJob &job) const
{
    const int row = m_pages.rowOf(job.pageKey);
    return row >= 0 && m_pages.at(row).shownPath == job.pdfPath && QFile::exists(job.pdfPath);
}

void PageRecognition::replacePdf(const RecognitionResult &result)
{
    const QByteArray temporary = QFile::encodeName(result.temporaryPath);
    if (!stillListed(result.job)) {
        // Deleted meanwhile: it stays deleted.
        ::remove(temporary.constData());
        qDebug("text recognition: %s is no longer listed, its text is not written\n",
               qUtf8Printable(result.job.pdfPath));
        return;
    }
    if (::rename(temporary.constData(), QFile::encodeName(result.job.pdfPath).constData()) != 0) {
        ::remove(temporary.constData());
        qDebug("text recognition: cannot replace %s, it stays without text\n", qUtf8Printable(result.job.pdfPath));
        return;
    }
    qDebug("text recognition: %s carries its text\n", qUtf8Printable(result.job.pdfPath));
    emit textWritten(result.job.pdfPath);
}

void PageRecognition::onRecognized(const RecognitionResult &result)
{
    const QString &page = result.job.pagePath;
    if (--m_pending[page] <= 0)
        m_pending.remove(page);
    if (result.text)
        m_texts.insert(page, result.text);
    switch (result.outcome) {
    case RecognitionResult::Outcome::Written:
        replacePdf(result);
        break;
    case RecognitionResult::Outcome::TextOnly:
        break;
    case RecognitionResult::Outcome::LanguagesMissing:
        qDebug("text recognition unavailable for %s: %s\n", qUtf8Printable(page), qUtf8Printable(result.detail));
        if (!m_missingSaid) {
            m_missingSaid = true;
            emit languagesMissing();
        }
        break;
    case RecognitionResult::Outcome::Unreadable:
    case RecognitionResult::Outcome::NotWritten:
        qDebug("text recognition of %s gave no searchable PDF: %s\n", qUtf8Printable(page),
               qUtf8Printable(result.detail));
        break;
    case RecognitionResult::Outcome::Dropped:
        m_dropped << (result.job.pdfPath.isEmpty() ? page : result.job.pdfPath);
        break;
    }
    emit pageDone(page);
}
