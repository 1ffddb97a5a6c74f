// What became of one scan's save, as the save worker reports it to the
// window: written, or not and why. Display-free so that the rule "a failed
// save leaves no trace but a message" can be checked without widgets.
#ifndef SAVEOUTCOME_H
#define SAVEOUTCOME_H

#include <QMetaType>
#include <QString>

struct SaveOutcome
{
    bool written = false;
    QString path;   // the file the user asked for (the PDF for the PDF format); when
                    // written, the name used, which a taken stamp moves on
    QString pagePath; // when written, the page image a merge takes
    // Book mode: the right page of a spread, stored beside the left one
    // (path) as a file of its own; empty when the scan gave one page.
    QString secondPath;
    QString secondPagePath;
    QString reason; // Chinese, shown to the user; empty when written
    QString detail; // English, for trace lines

    static SaveOutcome success(const QString &path, const QString &pagePath);
    bool twoPages() const { return written && !secondPath.isEmpty(); }
    static SaveOutcome failure(const QString &path, const QString &reason, const QString &detail);

    // The message of the error box: the file and the reason.
    QString message() const;
};

// The user's words for a failed file operation, from its errno (0 when the
// cause is not a system call).
QString fileFailureReason(int err);

Q_DECLARE_METATYPE(SaveOutcome)

#endif
