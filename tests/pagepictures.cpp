// pagepictures make DIR N      writes N page pictures page1.png .. pageN.png
// pagepictures identify FILE...  prints, per scanned file, the page it shows
//                                (0 when none) and how many pixels of the
//                                simulated hand's skin colour it holds.
// scripts/e2e-handsfree.sh uses it: each page has a paper tint of its own, a
// large page number and lines of print, so a scan can be told apart.
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
    std::fprintf(stderr, "usage: pagepictures make DIR N | pagepictures identify FILE...\n");
    return 2;
}
