// What the recognition worker reads a page's text with. The worker knows no
// recognition engine: its owner (core/pagerecognition) hands it one.
#ifndef PAGETEXTREADER_H
#define PAGETEXTREADER_H

#include "pdf/pagetext.h"

#include <QString>

#include <atomic>
#include <string>

class PageTextReader
{
public:
    enum class Result { Recognized, LanguagesMissing, Unreadable, Cancelled };

    virtual ~PageTextReader() = default;

    // Loads what reading needs once; false when it is missing (error() says what).
    virtual bool load() = 0;
    // The page picture a scan wrote (a JPEG file of any size).
    virtual Result recognizeFile(const QString &jpegPath, PageText &out,
                                 const std::atomic<bool> *cancel = nullptr) = 0;
    virtual const std::string &error() const = 0;
};

#endif
