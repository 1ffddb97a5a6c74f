#include "core/textrecognizer.h"

#include "pdf/decodedjpeg.h"
#include "core/greyshrink.h"
#include "core/textlinescale.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <QImage>

#include <dlfcn.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

namespace {

// A resolution that matches text brought to the best line height (about
// 10 pt print at 300 dpi); without one Tesseract guesses and says so on stderr.
constexpr int kAssumedDpi = 300;

bool isSet(const std::atomic<bool> *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// What Tesseract calls back between words: the caller's stop flag and
// progress handler.
struct Monitor : tesseract::ETEXT_DESC
{
    const std::atomic<bool> *stop = nullptr;
    const std::function<void(int)> *progressHandler = nullptr;
    int reported = -1;

    Monitor(const std::atomic<bool> *cancelFlag, const std::function<void(int)> &handler)
        : stop(cancelFlag), progressHandler(handler ? &handler : nullptr)
    {
        cancel = &stopRequested;
        cancel_this = this;
        progress_callback2 = &progressed;
    }

    static bool stopRequested(void *monitor, int)
    {
        return isSet(static_cast<const Monitor *>(monitor)->stop);
    }

    static bool progressed(tesseract::ETEXT_DESC *base, int, int, int, int)
    {
        auto *monitor = static_cast<Monitor *>(base);
        if (monitor->progressHandler && monitor->progress != monitor->reported) {
            monitor->reported = monitor->progress;
            (*monitor->progressHandler)(monitor->progress);
        }
        return true;
    }
};

// A weighted grey in one pass; Qt's conversion goes through 32-bit pixels and
// takes several times longer on a full-size capture.
QImage greyOf(const unsigned char *rgb, int width, int height)
{
    QImage grey(width, height, QImage::Format_Grayscale8);
    if (grey.isNull())
        return grey;
    for (int y = 0; y < height; ++y) {
        const unsigned char *in = rgb + size_t(y) * size_t(width) * 3;
        uchar *out = grey.scanLine(y);
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = uchar((in[0] * 77 + in[1] * 150 + in[2] * 29) >> 8);
    }
    return grey;
}

} // namespace

// Numbers in Tesseract's data and parameters are read the C way; Qt sets
// every category from the environment.
void TextRecognizer::useCNumbers()
{
    const char *numeric = std::setlocale(LC_NUMERIC, nullptr);
    if (numeric && (std::strcmp(numeric, "C") == 0 || std::strcmp(numeric, "POSIX") == 0))
        return;
    qDebug("text recognition: number locale %s set to C for Tesseract", numeric ? numeric : "(unknown)");
    std::setlocale(LC_NUMERIC, "C");
}

namespace {

// Debian's Tesseract runs parts of its networks on OpenMP teams of four,
// which would take every core from the program. No nested or outer team for
// the calling thread: looked up at run time, since a build without OpenMP
// has no such function (and OMP_THREAD_LIMIT is read only when the OpenMP
// library loads, before any of our code runs).
void keepToCallingThread()
{
    using SetMaxActiveLevels = void (*)(int);
    static const auto setMaxActiveLevels =
        reinterpret_cast<SetMaxActiveLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
    if (setMaxActiveLevels)
        setMaxActiveLevels(0);
}

std::vector<std::string> split(const std::string &languages)
{
    std::vector<std::string> parts;
    std::stringstream stream(languages);
    std::string part;
    while (std::getline(stream, part, '+'))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

int floorTo(double value, int limit)
{
    return std::clamp(int(std::floor(value)), 0, limit);
}

int ceilTo(double value, int limit)
{
    return std::clamp(int(std::ceil(value)), 0, limit);
}

} // namespace

TextRecognizer::TextRecognizer(const std::string &languages)
    : m_languages(languages), m_targetLineHeight(TextLineScale::kBestLineHeight)
{
}

TextRecognizer::~TextRecognizer() = default;

const std::string &TextRecognizer::error() const
{
    return m_error;
}

void TextRecognizer::setProgressHandler(std::function<void(int)> handler)
{
    m_progress = std::move(handler);
}

void TextRecognizer::setTargetLineHeight(int pixels)
{
    m_targetLineHeight = pixels;
}

double TextRecognizer::lastScale() const
{
    return m_lastScale;
}

std::string TextRecognizer::missingLanguages()
{
    // Only on failure: each language is tried alone to name the absent ones.
    std::string missing;
    for (const std::string &language : split(m_languages)) {
        tesseract::TessBaseAPI probe;
        if (probe.Init(nullptr, language.c_str()) != 0)
            missing += (missing.empty() ? "" : ", ") + language;
    }
    return missing.empty() ? m_languages : missing;
}

bool TextRecognizer::load()
{
    if (m_api)
        return true;
    if (m_loadFailed)
        return false;
    useCNumbers();
    if (split(m_languages).empty()) {
        m_loadFailed = true;
        m_error = "no language named";
        qWarning("text recognition: no language named");
        return false;
    }
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    const bool started = api->Init(nullptr, m_languages.c_str()) == 0;
    std::vector<std::string> loaded;
    if (started)
        api->GetLoadedLanguagesAsVector(&loaded);
    std::string missing;
    if (!started) {
        api.reset();
        missing = missingLanguages();
    } else {
        // Tesseract carries on without a missing second language.
        for (const std::string &language : split(m_languages))
            if (std::find(loaded.begin(), loaded.end(), language) == loaded.end())
                missing += (missing.empty() ? "" : ", ") + language;
    }
    if (!missing.empty()) {
        m_loadFailed = true;
        m_error = "language data missing: " + missing;
        qWarning("text recognition: %s (Tesseract's data folder, or TESSDATA_PREFIX, lacks it; "
                 "the messages above are Tesseract's own)",
                 m_error.c_str());
        return false;
    }
    m_error.clear();
    m_api = std::move(api);
    return true;
}

TextRecognizer::Result TextRecognizer::recognizeFile(const QString &jpegPath, PageText &out,
                                                     const std::atomic<bool> *cancel)
{
    out = PageText();
    if (isSet(cancel))
        return Result::Cancelled;
    QImage grey;
    {
        // The colour pixels go as soon as the grey copy is made.
        const DecodedJpeg decoded = decodeJpegFile(jpegPath);
        if (decoded.isNull()) {
            m_error = "cannot read or decode " + jpegPath.toStdString();
            qWarning("text recognition: %s; page left without text", m_error.c_str());
            return Result::Unreadable;
        }
        grey = greyOf(decoded.pixels.get(), int(decoded.width), int(decoded.height));
    }
    return recognizeGrey(grey, out, cancel);
}

TextRecognizer::Result TextRecognizer::recognize(const unsigned char *rgb, int width, int height, PageText &out,
                                                 const std::atomic<bool> *cancel)
{
    out = PageText();
    if (!rgb || width <= 0 || height <= 0) {
        m_error = "no picture";
        qWarning("text recognition: empty picture (%d x %d); page left without text", width, height);
        return Result::Unreadable;
    }
    if (isSet(cancel))
        return Result::Cancelled;
    return recognizeGrey(greyOf(rgb, width, height), out, cancel);
}

TextRecognizer::Result TextRecognizer::recognizeGrey(QImage grey, PageText &out, const std::atomic<bool> *cancel)
{
    if (grey.isNull()) {
        m_error = "no memory for a grey copy";
        qWarning("text recognition: no memory for a grey copy of the picture; page left without text");
        return Result::Unreadable;
    }
    if (!load())
        return Result::LanguagesMissing;
    const int width = grey.width(), height = grey.height();
    const int lineHeight = TextLineScale::medianLineHeight(grey.constBits(), width, height, grey.bytesPerLine());
    m_lastScale = TextLineScale::scaleFor(lineHeight, m_targetLineHeight);
    if (m_lastScale < 1.0)
        grey = shrinkGrey(grey, std::max(1, int(std::lround(width * m_lastScale))),
                          std::max(1, int(std::lround(height * m_lastScale))));
    if (isSet(cancel))
        return Result::Cancelled;

    keepToCallingThread();
    m_api->SetImage(grey.constBits(), grey.width(), grey.height(), 1, grey.bytesPerLine());
    m_api->SetSourceResolution(kAssumedDpi);
    Monitor monitor(cancel, m_progress);
    const int status = m_api->Recognize(&monitor);
    if (isSet(cancel)) {
        m_api->Clear();
        qDebug("text recognition: cancelled");
        return Result::Cancelled;
    }
    if (status != 0) {
        m_api->Clear();
        m_error = "Tesseract could not read the picture";
        qWarning("text recognition: %s (%d x %d)", m_error.c_str(), width, height);
        return Result::Unreadable;
    }
    readResults(double(width) / grey.width(), double(height) / grey.height(), width, height, out);
    m_api->Clear();
    if (out.isEmpty())
        qDebug("text recognition: no text found on the %d x %d picture", width, height);
    return Result::Recognized;
}

void TextRecognizer::readResults(double toOriginalX, double toOriginalY, int width, int height, PageText &out)
{
    out.width = width;
    out.height = height;
    std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
    if (!it)
        return;
    TextLine line;
    const auto finishLine = [&] {
        std::stable_sort(line.words.begin(), line.words.end(),
                         [](const TextWord &a, const TextWord &b) { return a.left < b.left; });
        if (!line.words.empty())
            out.lines.push_back(std::move(line));
        line = TextLine();
    };
    do {
        if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
            finishLine();
        if (it->Empty(tesseract::RIL_WORD))
            continue;
        const std::unique_ptr<char[]> raw(it->GetUTF8Text(tesseract::RIL_WORD));
        const QString text = raw ? QString::fromUtf8(raw.get()).trimmed() : QString();
        int left = 0, top = 0, right = 0, bottom = 0;
        if (text.isEmpty() || !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
            continue;
        TextWord word;
        word.text = text.toStdString();
        word.left = floorTo(left * toOriginalX, width);
        word.top = floorTo(top * toOriginalY, height);
        word.width = std::max(1, ceilTo(right * toOriginalX, width) - word.left);
        word.height = std::max(1, ceilTo(bottom * toOriginalY, height) - word.top);
        line.words.push_back(std::move(word));
    } while (it->Next(tesseract::RIL_WORD));
    finishLine();
}
