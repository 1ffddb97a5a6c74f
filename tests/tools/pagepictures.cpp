// pagepictures make DIR N      writes N page pictures page1.png .. pageN.png
// pagepictures identify FILE...  prints, per scanned file, the page it shows
//                                (0 when none) and how many pixels of the
//                                simulated hand's skin colour it holds.
// pagepictures text DIR        writes page1.png (Chinese) and page2.png
//                                (English) of known sentences, and the text
//                                drawn on each as page1.txt and page2.txt.
// pagepictures accuracy TRUTH READ  prints 1 - edit distance / length of
//                                TRUTH's text, white space ignored.
// scripts/e2e-handsfree.sh uses make and identify: each page has a paper tint
// of its own, a large page number and lines of print, so a scan can be told
// apart. scripts/e2e-ocr.sh uses text and accuracy.
#include "bench/textpage.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

const QColor kTints[] = {{255, 250, 238}, {238, 250, 255}, {250, 255, 238}, {255, 238, 250}, {246, 246, 246},
                         {255, 255, 228}, {232, 244, 236}, {244, 236, 232}};
constexpr int kTintCount = int(sizeof(kTints) / sizeof(kTints[0]));

bool make(const QString &dir, int count)
{
    for (int i = 0; i < count; ++i) {
        QImage img(1240, 1754, QImage::Format_RGB32);
        img.fill(kTints[i % kTintCount]);
        QPainter p(&img);
        QFont font;
        font.setPixelSize(300);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(30, 30, 120));
        p.drawText(QRect(0, 80, 1240, 400), Qt::AlignCenter, QString::number(i + 1));
        unsigned seed = 1234u + unsigned(i) * 777u;
        auto random = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return int((seed >> 8) & 0xFFFF);
        };
        for (int y = 520; y < 1650; y += 34) {
            for (int x = 100; x < 1140;) {
                const int len = std::min(30 + random() % 150, 1140 - x);
                p.fillRect(x, y, len, 16, QColor(40, 40, 40));
                x += len + 18;
            }
            if (random() % 7 == 0)
                y += 30;
        }
        p.end();
        if (!img.save(QString("%1/page%2.png").arg(dir).arg(i + 1))) {
            std::fprintf(stderr, "pagepictures: cannot write into %s\n", qPrintable(dir));
            return false;
        }
    }
    return true;
}

// The tint of the page's top margin picks the page.
int identify(const QImage &img, long &skin)
{
    skin = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            skin += std::abs(qRed(p) - 214) < 14 && std::abs(qGreen(p) - 168) < 14 && std::abs(qBlue(p) - 140) < 14;
        }
    // The page's top margin above its number, in the middle column: there in a
    // cropped scan and in an uncropped one, where desk lies around the page.
    long r = 0, g = 0, b = 0, n = 0;
    for (int y = img.height() * 6 / 100; y < img.height() * 9 / 100; ++y)
        for (int x = img.width() * 9 / 20; x < img.width() * 11 / 20; ++x) {
            const QRgb p = img.pixel(x, y);
            r += qRed(p), g += qGreen(p), b += qBlue(p), ++n;
        }
    if (!n)
        return 0;
    int best = 0, bestDistance = 3 * 6 * 6; // within 6 levels a channel
    for (int i = 0; i < kTintCount; ++i) {
        const int dr = int(r / n) - kTints[i].red(), dg = int(g / n) - kTints[i].green(),
                  db = int(b / n) - kTints[i].blue();
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i + 1;
        }
    }
    return best;
}

// Held out from the recognition suites and the bench: sentences none of
// them prints, so the end-to-end run reads text nothing was tuned on.
const char *const kChinesePage[] = {
    "清晨的码头上，渔民们把昨夜的收获装进木箱。",
    "老师在黑板上写下今天的题目，同学们安静地抄写。",
    "这座桥建于一九五八年，至今仍然每天通行上千辆汽车。",
    "山路两旁开满了野花，远处传来溪水流动的声音。",
    "厨房里飘出米饭的香味，孩子们放下书包跑了进来。",
    "博物馆新展出的瓷器来自南方一个小镇的旧窑址。",
};

const char *const kEnglishPage[] = {
    "The ferry left the harbour at dawn with forty passengers and a crate of oranges.",
    "Our committee agreed to repaint the station benches before the summer festival.",
    "A narrow staircase led from the bakery to a workshop full of broken clocks.",
    "Temperatures in the valley dropped below freezing twice during the first week of May.",
    "The gardener planted seven rows of beans and kept a careful record of each harvest.",
};

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0 && file.flush();
}

// A landscape page, so the camera's 16:9 picture shows it large.
bool writeTextPage(const QString &dir, int number, const QStringList &sentences, const QString &family, bool chinese)
{
    const QSize size(1754, 1240);
    const QFont font = textpage::fontOf(family, 44);
    const int width = size.width() - 2 * size.width() * 6 / 100;
    const textpage::Page page = textpage::draw(size, textpage::wrapped(sentences, font, width, chinese), font);
    QString drawn;
    for (const textpage::Line &line : page.lines)
        drawn += line.text + '\n';
    const QString base = QString("%1/page%2").arg(dir).arg(number);
    if (page.lines.empty() || !page.rgb.save(base + ".png") || !writeText(base + ".txt", drawn)) {
        std::fprintf(stderr, "pagepictures: cannot write %s.png and .txt\n", qPrintable(base));
        return false;
    }
    return true;
}

template <size_t N>
QStringList listOf(const char *const (&sentences)[N])
{
    QStringList list;
    for (const char *sentence : sentences)
        list << QString::fromUtf8(sentence);
    return list;
}

bool readText(const QString &path, QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "pagepictures: cannot read %s\n", qPrintable(path));
        return false;
    }
    text = QString::fromUtf8(file.readAll());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == "make")
        return make(args.at(2), args.at(3).toInt()) ? 0 : 1;
    if (args.size() >= 3 && args.at(1) == "identify") {
        for (int i = 2; i < args.size(); ++i) {
            const QImage img(args.at(i));
            long skin = 0;
            const int page = img.isNull() ? 0 : identify(img, skin);
            std::printf("%d %ld\n", page, skin);
        }
        return 0;
    }
    if (args.size() == 3 && args.at(1) == "text")
        return writeTextPage(args.at(2), 1, listOf(kChinesePage), "WenQuanYi Micro Hei", true) &&
                       writeTextPage(args.at(2), 2, listOf(kEnglishPage), "DejaVu Sans", false)
                   ? 0
                   : 1;
    if (args.size() == 4 && args.at(1) == "accuracy") {
        QString truth, read;
        if (!readText(args.at(2), truth) || !readText(args.at(3), read))
            return 1;
        std::printf("%.3f\n", textpage::accuracy(read, truth));
        return 0;
    }
    std::fprintf(stderr, "usage: pagepictures make DIR N | identify FILE... | text DIR | accuracy TRUTH READ\n");
    return 2;
}
