// Pages of known text lines drawn with the system's fonts, optionally as a
// camera sees paper on a desk, and the character accuracy a reading of them
// is judged by. Shared by the recognition bench and its suite.
#ifndef QUILLO_BENCH_TEXTPAGE_H
#define QUILLO_BENCH_TEXTPAGE_H

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <random>
#include <vector>

namespace textpage {

struct Line {
    QString text;
    QRect box; // from the font's ascent to its descent, as wide as the text
};

struct Page {
    QImage rgb; // Format_RGB888
    std::vector<Line> lines;
};

// How a camera sees the page: paper inset on a darker desk, light falling
// off towards one corner, a soft focus and sensor noise.
struct Look {
    bool onDesk = false;
    int shading = 0; // darkening at the far corner, 0..255
    int blurPasses = 0;
    int noise = 0; // largest change per pixel
};

inline QFont fontOf(const QString &family, int pixelSize)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    return font;
}

// Sentences cut into lines no wider than `width`: English at spaces,
// Chinese between any two characters.
inline QStringList wrapped(const QStringList &sentences, const QFont &font, int width, bool chinese)
{
    const QFontMetrics metrics(font);
    QStringList lines;
    QString line;
    for (const QString &sentence : sentences) {
        const QStringList pieces = chinese ? sentence.split(QString(), Qt::SkipEmptyParts) : sentence.split(' ');
        for (const QString &piece : pieces) {
            const QString joined = line.isEmpty() || chinese ? line + piece : line + ' ' + piece;
            if (!line.isEmpty() && metrics.horizontalAdvance(joined) > width) {
                lines << line;
                line = piece;
            } else {
                line = joined;
            }
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

inline void blurOnce(QImage &image)
{
    const QImage source = image.copy();
    const int bpl = source.bytesPerLine();
    for (int y = 1; y + 1 < image.height(); ++y) {
        const uchar *above = source.constScanLine(y - 1), *row = source.constScanLine(y),
                    *below = source.constScanLine(y + 1);
        uchar *out = image.scanLine(y);
        for (int x = 3; x + 3 < bpl && x + 3 < image.width() * 3; ++x)
            out[x] = uchar((above[x] + below[x] + row[x - 3] + row[x + 3] + 4 * row[x]) / 8);
    }
}

// `lines` of `font`, one and a half lines apart, from the top left of the
// paper's margin (6 % of the width); lines that do not fit are left out.
inline Page draw(const QSize &size, const QStringList &lines, const QFont &font, const Look &look = Look())
{
    Page page;
    page.rgb = QImage(size, QImage::Format_RGB888);
    page.rgb.fill(look.onDesk ? QColor(92, 84, 76) : QColor(250, 250, 248));
    QPainter painter(&page.rgb);
    const QRect paper = look.onDesk ? QRect(size.width() / 20, size.height() / 30, size.width() * 9 / 10,
                                            size.height() * 14 / 15)
                                    : QRect(QPoint(0, 0), size);
    painter.fillRect(paper, QColor(246, 244, 236));
    painter.setFont(font);
    painter.setPen(QColor(28, 28, 32));
    const QFontMetrics metrics(font);
    const int margin = size.width() * 6 / 100;
    int baseline = paper.top() + margin / 2 + metrics.ascent();
    for (const QString &text : lines) {
        if (baseline + metrics.descent() > paper.bottom() - margin / 2)
            break;
        const QPoint origin(paper.left() + margin, baseline);
        painter.drawText(origin, text);
        page.lines.push_back({text, QRect(origin.x(), baseline - metrics.ascent(), metrics.horizontalAdvance(text),
                                          metrics.ascent() + metrics.descent())});
        baseline += metrics.lineSpacing() * 3 / 2;
    }
    if (look.shading > 0) {
        QLinearGradient light(QPointF(0, 0), QPointF(size.width(), size.height()));
        light.setColorAt(0, QColor(0, 0, 0, 0));
        light.setColorAt(1, QColor(0, 0, 0, look.shading));
        painter.fillRect(QRect(QPoint(0, 0), size), light);
    }
    painter.end();
    for (int i = 0; i < look.blurPasses; ++i)
        blurOnce(page.rgb);
    if (look.noise > 0) {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> change(-look.noise, look.noise);
        for (int y = 0; y < size.height(); ++y) {
            uchar *row = page.rgb.scanLine(y);
            for (int x = 0; x < size.width() * 3; ++x)
                row[x] = uchar(std::clamp(row[x] + change(random), 0, 255));
        }
    }
    return page;
}

inline QString withoutSpace(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

// 1 - edit distance / length of `truth`, white space ignored; 0 at worst.
inline double accuracy(const QString &read, const QString &truth)
{
    const QString a = withoutSpace(read), b = withoutSpace(truth);
    if (b.isEmpty())
        return a.isEmpty() ? 1.0 : 0.0;
    std::vector<int> row(size_t(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int up = row[size_t(j)];
            row[size_t(j)] = std::min({up + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return std::max(0.0, 1.0 - double(row[size_t(b.size())]) / b.size());
}

} // namespace textpage

#endif
