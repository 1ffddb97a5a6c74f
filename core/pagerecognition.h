// The text of this run's pages: what was found, what is still being read,
// and the PDFs that get their text once it is found. Recognition runs on a
// thread of its own; the results come back here, on the thread of the page
// list, which is where a PDF is replaced by the same PDF with its text, and
// only while its page is still listed.
#ifndef PAGERECOGNITION_H
#define PAGERECOGNITION_H

#include "core/storedpages.h"
#include "pdf/pagetext.h"
#include "thread/recognitionworker.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

class PageRecognition : public QObject
{
    Q_OBJECT

public:
    // How long a close gives the pages still being read.
    static constexpr int kCloseGraceMs = 3000;

    explicit PageRecognition(StoredPages &pages, QObject *parent = nullptr);
    // Drops what is still being read, at once.
    ~PageRecognition() override;

    // Reads the text of the page listed under `pageKey` from `pagePath`;
    // when `pdfPath` is given, that PDF is then written again with the text.
    void add(quint64 pageKey, const QString &pagePath, const QString &pdfPath, bool jpegPages);
    // The text found on `pagePath`; null while none was found.
    const PageText *textOf(const QString &pagePath) const;
    bool isPending(const QString &pagePath) const { return m_pending.value(pagePath) > 0; }
    int pendingCount() const;

    // Returns once none of `pagePaths` is being read. The program's events go
    // on meanwhile (the window paints); `progress` hears (done, total) at the
    // start and after each page.
    void waitFor(const QStringList &pagePaths, const std::function<void(int, int)> &progress);
    // Closing: the pages being read get up to `graceMs`, the rest are
    // dropped and named in a trace line; their PDFs stay as they are.
    void finish(int graceMs = kCloseGraceMs);

signals:
    // The language data is missing; said once a run.
    void languagesMissing();
    // `pdfPath` now carries its page's text.
    void textWritten(const QString &pdfPath);
    // A page's reading ended, however.
    void pageDone(const QString &pagePath);

private slots:
    void onRecognized(const RecognitionResult &result);

private:
    void replacePdf(const RecognitionResult &result);
    bool stillListed(const RecognitionJob &job) const;

    StoredPages &m_pages;
    QThread m_thread;
    RecognitionWorker *m_worker = nullptr;
    std::atomic<bool> m_stop{false};
    QHash<QString, std::shared_ptr<const PageText>> m_texts;
    QHash<QString, int> m_pending;
    QStringList m_dropped;
    bool m_missingSaid = false;
    bool m_finished = false;
};

#endif
