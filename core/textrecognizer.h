// Reads the text of a page picture with Tesseract: lines in reading order,
// words left to right, boxes in the picture's own pixels. Made for one
// low-priority worker thread; one instance per thread.
#ifndef TEXTRECOGNIZER_H
#define TEXTRECOGNIZER_H

#include "pdf/pagetext.h"
#include "thread/pagetextreader.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

class TextRecognizer : public PageTextReader
{
public:
    // "chi_sim+eng" by default. Nothing is loaded until the first use.
    explicit TextRecognizer(const std::string &languages = "chi_sim+eng");
    ~TextRecognizer() override;
    TextRecognizer(const TextRecognizer &) = delete;
    TextRecognizer &operator=(const TextRecognizer &) = delete;

    // Loads the language data once; false when any of it is missing (error() says which).
    // A failure is kept: this recogniser does not try again, a new one does.
    bool load() override;

    // The page picture a scan wrote (a JPEG file of any size).
    Result recognizeFile(const QString &jpegPath, PageText &out, const std::atomic<bool> *cancel = nullptr) override;

    // R,G,B rows back to back.
    Result recognize(const unsigned char *rgb, int width, int height, PageText &out,
                     const std::atomic<bool> *cancel = nullptr);

    const std::string &error() const override;

    // Sets the number locale to C when it is not. setlocale is not safe
    // beside other threads: a program calls it on its main thread before a
    // recogniser runs elsewhere (load() calls it too).
    static void useCNumbers();

    // Called on the recognising thread as the words of a page are read
    // (percent of the page, rising); for a progress display.
    void setProgressHandler(std::function<void(int percent)> handler);

    // The line height the picture is brought to before reading (pixels);
    // TextLineScale::kBestLineHeight unless changed (the bench tunes it).
    void setTargetLineHeight(int pixels);
    // The factor the last picture was shrunk by (1 when read at full size).
    double lastScale() const;

private:
    Result recognizeGrey(QImage grey, PageText &out, const std::atomic<bool> *cancel);
    std::string missingLanguages();
    void readResults(double toOriginalX, double toOriginalY, int width, int height, PageText &out);

    std::string m_languages;
    std::string m_error;
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    std::function<void(int)> m_progress;
    int m_targetLineHeight;
    double m_lastScale = 1.0;
    bool m_loadFailed = false;
};

#endif
