// Reading back what a session left on disk, with readers independent of the
// code that wrote it (poppler for PDFs).
#ifndef SESSIONFILES_H
#define SESSIONFILES_H

#include <QDir>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QSize>
#include <QStringList>

#include <poppler-qt5.h>

#include <memory>

namespace sessionfiles {

inline bool isStampedName(const QString &name, const QString &extension)
{
    static const QRegularExpression pattern("^\\d{17}\\.([a-z]+)$");
    const QRegularExpressionMatch match = pattern.match(name);
    return match.hasMatch() && match.captured(1) == extension;
}

// Names of the stored files in `folder` with the 17-digit stamp and
// `extension`, oldest stamp first.
inline QStringList stampedFiles(const QString &folder, const QString &extension)
{
    QStringList names;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name))
        if (isStampedName(name, extension))
            names << name;
    return names;
}

// Visible entries of `folder` that are neither stored files nor `allowed`.
inline QStringList unexpectedEntries(const QString &folder, const QStringList &allowed)
{
    QStringList names;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (allowed.contains(name) || isStampedName(name, "jpg") || isStampedName(name, "pdf"))
            continue;
        names << name;
    }
    return names;
}

inline QByteArray magic(const QString &path, int length)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(length) : QByteArray();
}

struct PdfFacts
{
    bool readable = false;
    QString error;
    QList<QSize> pageSizes; // in points, rounded
};

inline PdfFacts readPdf(const QString &path)
{
    PdfFacts facts;
    std::unique_ptr<Poppler::Document> document(Poppler::Document::load(path));
    if (!document) {
        facts.error = "poppler cannot open " + path;
        return facts;
    }
    if (document->isLocked()) {
        facts.error = path + " is locked";
        return facts;
    }
    for (int i = 0; i < document->numPages(); ++i) {
        std::unique_ptr<Poppler::Page> page(document->page(i));
        if (!page) {
            facts.error = QString("page %1 of %2 cannot be read").arg(i).arg(path);
            return facts;
        }
        facts.pageSizes << page->pageSizeF().toSize();
    }
    facts.readable = true;
    return facts;
}

} // namespace sessionfiles

#endif
